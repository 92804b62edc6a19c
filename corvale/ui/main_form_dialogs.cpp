// The main window's buttons that open other windows: the folder pickers, the save dialog for
// the log file, the help file, About and the setup wizard.
#include "common/text.h"
#include "corvale/platform/dialogs.h"
#include "corvale/platform/file_system.h"
#include "corvale/platform/shell.h"
#include "corvale/settings/settings_store.h"
#include "corvale/ui/server_main_unit.h"
#include "corvale/ui/configure_unit.h"
#include "varnell_version.h"

namespace corvale {

namespace {

constexpr char kPickerCaption[] = "Choose Folder";
constexpr char kProgramName[] = "Corvale";
constexpr char kVersionText[] = VARNELL_CORVALE_FILE_VERSION;

// The folder part of a path: everything before its last "\" (or "/"), or empty.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

void TForm1::BrowseForFolder(TFolderDialog& picker, EditBox& box, const std::string& prompt) {
  const std::string folder = varnell::Trim(box.Text());
  if (!folder.empty() && platform_.files.DirectoryExists(folder)) picker.Directory = folder;
  picker.Caption = kPickerCaption;
  picker.Title = prompt;
  // The box's change handling checks the chosen folder against the other printers'.
  if (picker.Execute()) box.SetText(picker.Directory);
}

void TForm1::btnBrowseInputFolderClick() {
  BrowseForFolder(InputFolderDialog, edtInputFolder, "Please choose a folder to input AFP files");
}

void TForm1::btnBrowseDoneFolderClick() {
  BrowseForFolder(DoneFolderDialog, edtDoneFolder,
                  "Please choose a folder to store printed AFP files");
}

void TForm1::btnBrowseLogFileClick() {
  const std::string folder = FolderOf(varnell::Trim(edtLogFile.Text()));
  if (!folder.empty() && platform_.files.DirectoryExists(folder))
    SaveDialog1.InitialDir = folder + "\\";
  if (SaveDialog1.Execute()) edtLogFile.SetText(SaveDialog1.FileName);
}

void TForm1::btnHelpClick() {
  const std::string corvale_help = ProgramFolder() + "\\Corvale.chm";
  // The older help file's name is tried when ours is missing; a failure is not reported.
  platform_.shell.OpenDocument(
      platform_.files.FileExists(corvale_help) ? corvale_help : ProgramFolder() + "\\Varnell.chm");
}

void TForm1::btnAboutClick() {
  platform_.dialogs.ShowAbout(kProgramName, kVersionText);
}

void TForm1::btnWizardClick() {
  TForm4 wizard(*this);
  wizard.FormCreate();
  if (platform_.dialogs.ShowSetupWizard(wizard) != TModalResult::mrOk) return;
  if (wizard.TickedCount() < 1) return;
  const std::vector<std::string>& printers = wizard.ComboBox1.Items();
  // Entry i of the wizard is slot i + 1; the folders go in without the folder boxes' check, and
  // none is created here.
  for (size_t i = 0; i < printers.size() && static_cast<int>(i) < Config.SlotCount(); ++i) {
    if (!wizard.Ticked[i]) continue;
    TRec& slot = Config.Slots[i + 1];
    const TRec enforced = slot;
    const std::string folder = wizard.FolderForPrinter(printers[i]);
    slot.EnableIPDSEmulation = true;
    slot.InputFolder = folder;
    slot.DoneFolder = folder + "\\Completed Jobs";
    slot.DeleteInputFileWhenDone = true;
    slot.QueueDepth = 2;
    // What the administrator set stays.
    KeepPolicyValues(Config.Policy, static_cast<int>(i) + 1, enforced, slot);
  }
  SettingsEdited();
  ShowSlot(cmbPrinter.Text());
}

}  // namespace corvale
