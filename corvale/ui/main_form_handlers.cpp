// The main window's own handlers: showing a printer's slot, the slot and log controls, the
// number boxes and resizing. Every edit goes into Config and is put in force at once.
#include <cstdint>
#include <exception>
#include <limits>

#include "common/text.h"
#include "corvale/engine/errors.h"
#include "corvale/platform/dialogs.h"
#include "corvale/platform/system_info.h"
#include "corvale/settings/settings_store.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

TForm1::TForm1(CorvalePlatform& platform)
    : Server(platform, *this),
      InputFolderDialog(platform.folders, platform.files),
      DoneFolderDialog(platform.folders, platform.files),
      SaveDialog1(platform.dialogs),
      platform_(platform) {
  btnStop.SetEnabled(false);
  btnPrintAgain.SetEnabled(false);
  edtMB.SetEnabled(false);
  cbLogDeleteByDay.SetEnabled(false);
  edtDays.SetEnabled(false);
  BindHandlers();
}

TForm1::~TForm1() = default;

std::vector<Control*> TForm1::AllControls() {
  return {&Label1,
          &cmbPrinter,
          &cbEnableEmulation,
          &btnWizard,
          &Label5,
          &lblJobStatus,
          &GroupBox1,
          &Label2,
          &edtInputFolder,
          &btnBrowseInputFolder,
          &cbDeleteAFP,
          &Label3,
          &edtDoneFolder,
          &btnBrowseDoneFolder,
          &Label4,
          &edtQueueDepth,
          &cbLog,
          &cbAutoRun,
          &GroupBox2,
          &Label6,
          &edtLogFile,
          &btnBrowseLogFile,
          &cbLogDeleteBySize,
          &edtMB,
          &lblMB,
          &cbTimeStamp,
          &cbLogDeleteByDay,
          &edtDays,
          &lblDays,
          &btnStart,
          &btnStop,
          &btnPrintAgain,
          &btnExportSettings,
          &btnImportSettings,
          &btnHelp,
          &btnAbout,
          &statBar,
          &Timer1,
          &Timer2,
          &Timer3,
          &TimerAutoRun};
}

void TForm1::BindHandlers() {
  cmbPrinter.OnSelect = [this] { cmbPrinterSelect(); };
  cbEnableEmulation.OnClick = [this] { cbEnableEmulationClick(); };
  cbDeleteAFP.OnClick = [this] { cbDeleteAFPClick(); };
  edtInputFolder.OnChange = [this] { edtInputFolderChange(); };
  edtDoneFolder.OnChange = [this] { edtDoneFolderChange(); };
  edtLogFile.OnChange = [this] { edtLogFileChange(); };
  cbLog.OnClick = [this] { cbLogClick(); };
  cbLogDeleteBySize.OnClick = [this] { cbLogDeleteBySizeClick(); };
  cbTimeStamp.OnClick = [this] { cbTimeStampClick(); };
  cbLogDeleteByDay.OnClick = [this] { cbLogDeleteByDayClick(); };
  edtQueueDepth.OnExit = [this] { edtQueueDepthExit(); };
  edtMB.OnExit = [this] { edtMBExit(); };
  edtDays.OnExit = [this] { edtDaysExit(); };
  btnBrowseInputFolder.OnClick = [this] { btnBrowseInputFolderClick(); };
  btnBrowseDoneFolder.OnClick = [this] { btnBrowseDoneFolderClick(); };
  btnBrowseLogFile.OnClick = [this] { btnBrowseLogFileClick(); };
  btnWizard.OnClick = [this] { btnWizardClick(); };
  btnHelp.OnClick = [this] { btnHelpClick(); };
  btnAbout.OnClick = [this] { btnAboutClick(); };
  btnStart.OnClick = [this] { btnStartClick(); };
  btnStop.OnClick = [this] { btnStopClick(); };
  btnPrintAgain.OnClick = [this] { btnPrintAgainClick(); };
  btnExportSettings.OnClick = [this] { btnExportSettingsClick(); };
  btnImportSettings.OnClick = [this] { btnImportSettingsClick(); };
  Timer1.OnTimer = [this] { Timer1Timer(); };
  Timer2.OnTimer = [this] { Timer2Timer(); };
  Timer3.OnTimer = [this] { Timer3Timer(); };
  TimerAutoRun.OnTimer = [this] { TimerAutoRunTimer(); };
}

void TForm1::SettingsEdited() {
  if (!service_console_) return Server.ApplySettings(Config);
  // The service's settings: saved at once, for its next Start.
  if (!service_edits_allowed_ || Config == Server.SettingsInForce()) return;
  SaveSettings(platform_.registry, Config, Server.Engine().RegistryViewFlag);
  Server.ApplySettings(Config);
  saved_while_serving_ = saved_while_serving_ || service_up_;
  ShowService();
}

int TForm1::SelectedSlot() const {
  int index = cmbPrinter.ItemIndex();
  return index >= 0 ? index + 1 : 0;
}

std::string TForm1::ProgramFolder() const {
  return ExtractFileDir(platform_.system.ProgramPath());
}

void TForm1::ShowSlot(const std::string& printer_name) {
  for (int n = 1; n <= Config.SlotCount(); ++n) {
    if (Config.Slots[n].PrinterName != printer_name) continue;
    // Copy first: each control's handler writes its value back into the selected slot. The
    // folders shown are the slot's own, not the operator's typing: they raise no box (two
    // printers on one folder are refused at Start).
    const TRec slot = Config.Slots[n];
    showing_slot_ = true;
    struct Shown {
      bool& showing;
      ~Shown() { showing = false; }
    } shown{showing_slot_};
    cbEnableEmulation.SetChecked(slot.EnableIPDSEmulation);
    edtInputFolder.SetText(slot.InputFolder);
    edtDoneFolder.SetText(slot.DoneFolder);
    cbDeleteAFP.SetChecked(slot.DeleteInputFileWhenDone);
    edtQueueDepth.SetText(std::to_string(slot.QueueDepth));
    // Whether this printer has failed jobs to print again.
    Server.CountFailedJobs(n);
    ReleasePrinterPolicy();
    ShowPolicy();
    return;
  }
}

void TForm1::cmbPrinterSelect() {
  ShowSlot(cmbPrinter.Text());
}

void TForm1::cbEnableEmulationClick() {
  if (int n = SelectedSlot()) {
    Config.Slots[n].EnableIPDSEmulation = cbEnableEmulation.Checked();
    SettingsEdited();
  }
}

void TForm1::cbDeleteAFPClick() {
  if (int n = SelectedSlot()) {
    Config.Slots[n].DeleteInputFileWhenDone = cbDeleteAFP.Checked();
    SettingsEdited();
  }
  Label3.SetEnabled(!cbDeleteAFP.Checked());
  edtDoneFolder.SetEnabled(!cbDeleteAFP.Checked());
  GreyPolicyControls();
}

void TForm1::edtInputFolderChange() {
  FolderBoxChanged(edtInputFolder, /*input=*/true);
}

void TForm1::edtDoneFolderChange() {
  FolderBoxChanged(edtDoneFolder, /*input=*/false);
}

void TForm1::FolderBoxChanged(EditBox& box, bool input) {
  std::string folder = varnell::Trim(box.Text());
  if (folder.empty()) return;  // an emptied box keeps the slot's folder
  if (service_console_ && !showing_slot_ && !ServiceFolderText(box, folder)) return;
  const int selected = SelectedSlot();
  for (int k = 1; k <= Config.SlotCount() && !showing_slot_; ++k) {
    if (k == selected) continue;
    const TRec& other = Config.Slots[k];
    if ((input ? other.InputFolder : other.DoneFolder) != folder) continue;
    platform_.dialogs.ShowMessage(std::to_string(cmbPrinter.ItemIndex()) + "\r\n" +
                                  std::to_string(k) + "\r\n" +
                                  (input ? "The input folder " : "The done folder ") + folder +
                                  " has already been assigned to " + other.PrinterName + ".\r\n" +
                                  "Please use another folder.");
    box.SetText("");
    return;
  }
  if (!selected) return;
  (input ? Config.Slots[selected].InputFolder : Config.Slots[selected].DoneFolder) = folder;
  SettingsEdited();
}

void TForm1::edtLogFileChange() {
  Config.LogFile = edtLogFile.Text();
  SettingsEdited();
}

void TForm1::cbLogClick() {
  Config.LogEnabled = cbLog.Checked();
  SettingsEdited();
  edtLogFile.SetEnabled(cbLog.Checked());
  btnBrowseLogFile.SetEnabled(cbLog.Checked());
  GreyPolicyControls();
}

void TForm1::cbLogDeleteBySizeClick() {
  Config.Log.KeepLogFileSmall = cbLogDeleteBySize.Checked();
  SettingsEdited();
  edtMB.SetEnabled(cbLogDeleteBySize.Checked());
  GreyPolicyControls();
}

void TForm1::cbTimeStampClick() {
  Config.Log.AppendLogDate = cbTimeStamp.Checked();
  SettingsEdited();
  cbLogDeleteByDay.SetEnabled(cbTimeStamp.Checked());
  GreyPolicyControls();
}

void TForm1::cbLogDeleteByDayClick() {
  Config.Log.DeleteLogFile = cbLogDeleteByDay.Checked();
  SettingsEdited();
  edtDays.SetEnabled(cbLogDeleteByDay.Checked());
  GreyPolicyControls();
}

namespace {

// A positive number without leading zeros: every character a decimal digit, the first not "0".
bool IsPositiveNumberText(const std::string& text) {
  if (text.empty() || text[0] == '0') return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

void TForm1::NumberBoxExit(EditBox& box, const std::string& message, int32_t* target) {
  const std::string text = varnell::Trim(box.Text());
  if (text.empty()) return;
  if (!IsPositiveNumberText(text)) {
    platform_.dialogs.ShowMessage(message);
    box.SetText("");
    return;
  }
  // Too many digits for a 32-bit signed integer: an error, the box and the value as they were.
  int64_t value = 0;
  for (char c : text) {
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<int32_t>::max())
      throw Error("'" + text + "' is not a valid integer value");
  }
  if (!target) return;
  *target = static_cast<int32_t>(value);
  SettingsEdited();
}

void TForm1::edtQueueDepthExit() {
  const int n = SelectedSlot();
  NumberBoxExit(edtQueueDepth,
                "Invalid queue depth!\r\nQueue depth should be an integer value and larger than "
                "zero.",
                n ? &Config.Slots[n].QueueDepth : nullptr);
}

void TForm1::edtMBExit() {
  NumberBoxExit(edtMB,
                "Invalid value!\r\nThis threshold value should be an integer value and larger "
                "than zero.",
                &Config.Log.KeepLogFileSize);
}

void TForm1::edtDaysExit() {
  NumberBoxExit(edtDays,
                "Invalid value!\r\nThis value should be an integer value and larger than zero.",
                &Config.Log.DeleteLogFileDays);
}

void TForm1::FormCanResize(int& NewWidth, int& NewHeight, bool& Resize) {
  // The window keeps its size: every request is answered with the current one.
  NewWidth = Width;
  NewHeight = Height;
  Resize = true;
}

}  // namespace corvale
