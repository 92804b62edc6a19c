// The main window's own handlers: showing a printer's slot, the slot and log controls, the
// number boxes and resizing.
#include <cstdint>
#include <exception>
#include <limits>

#include "common/text.h"
#include "corvale/engine/errors.h"
#include "corvale/platform/dialogs.h"
#include "corvale/platform/event_loop.h"
#include "corvale/platform/file_system.h"
#include "corvale/platform/system_info.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

TForm1::TForm1(CorvalePlatform& platform)
    : Log(platform.files, platform.clock, platform.system, platform.loop),
      Folders(platform.files, Engine),
      InputFolderDialog(platform.folders, platform.files),
      DoneFolderDialog(platform.folders, platform.files),
      SaveDialog1(platform.dialogs),
      platform_(platform) {
  btnStop.SetEnabled(false);
  edtMB.SetEnabled(false);
  cbLogDeleteByDay.SetEnabled(false);
  edtDays.SetEnabled(false);
  BindHandlers();
}

TForm1::~TForm1() {
  platform_.loop.SetHandlerBoundary(nullptr);
  Notifier.reset();
  // Runners still finishing their jobs use this window's state.
  std::unique_lock lock(Engine.RunMutex);
  Engine.RunnersDone.wait(lock, [&] { return Engine.ActiveRunners == 0; });
}

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
  Timer1.OnTimer = [this] { Timer1Timer(); };
  Timer2.OnTimer = [this] { Timer2Timer(); };
  Timer3.OnTimer = [this] { Timer3Timer(); };
  TimerAutoRun.OnTimer = [this] { TimerAutoRunTimer(); };

  WatchedFolders::Actions folders;
  folders.StartWatching = [this](const std::string& folder) { Notifier->AddFolder(folder); };
  folders.StopWatching = [this](const std::string& folder) { Notifier->RemoveFolder(folder); };
  folders.Scan = [this](int, const std::string& folder) {
    ScanInputFolder(Notifier.get(), TFileChanges{}, folder);
  };
  folders.SlotIdle = [this](int n) { return Engine.JobsInFlight[n] == 0; };
  folders.Log = [this](const std::string& message) { WriteLog(message, "Shell"); };
  folders.ErrorText = [this](uint32_t error) { return platform_.files.ErrorText(error); };
  Folders.SetActions(std::move(folders));
}

int TForm1::SelectedSlot() const {
  int index = cmbPrinter.ItemIndex();
  return index >= 0 ? index + 1 : 0;
}

std::string TForm1::ProgramFolder() const {
  return ExtractFileDir(platform_.system.ProgramPath());
}

void TForm1::WriteLog(const std::string& message, const std::string& category) {
  try {
    Log.WriteLog(message, category);
  } catch (const LogWriteError& e) {
    SetStatusText("The log file " + e.Path() + " cannot be written: " + e.what());
  }
}

void TForm1::ShowSlot(const std::string& printer_name) {
  for (int n = 1; n <= Engine.SlotCount; ++n) {
    if (Engine.Slots[n].PrinterName != printer_name) continue;
    // Copy first: each control's handler writes its value back into the selected slot.
    const TRec slot = Engine.Slots[n];
    cbEnableEmulation.SetChecked(slot.EnableIPDSEmulation);
    edtInputFolder.SetText(slot.InputFolder);
    edtDoneFolder.SetText(slot.DoneFolder);
    cbDeleteAFP.SetChecked(slot.DeleteInputFileWhenDone);
    edtQueueDepth.SetText(std::to_string(slot.QueueDepth));
    return;
  }
}

void TForm1::cmbPrinterSelect() {
  ShowSlot(cmbPrinter.Text());
}

void TForm1::cbEnableEmulationClick() {
  if (int n = SelectedSlot()) Engine.Slots[n].EnableIPDSEmulation = cbEnableEmulation.Checked();
}

void TForm1::cbDeleteAFPClick() {
  if (int n = SelectedSlot()) Engine.Slots[n].DeleteInputFileWhenDone = cbDeleteAFP.Checked();
  Label3.SetEnabled(!cbDeleteAFP.Checked());
  edtDoneFolder.SetEnabled(!cbDeleteAFP.Checked());
}

void TForm1::edtInputFolderChange() {
  FolderBoxChanged(edtInputFolder, /*input=*/true);
}

void TForm1::edtDoneFolderChange() {
  FolderBoxChanged(edtDoneFolder, /*input=*/false);
}

void TForm1::FolderBoxChanged(EditBox& box, bool input) {
  const std::string folder = varnell::Trim(box.Text());
  if (folder.empty()) return;  // an emptied box keeps the slot's folder
  const int selected = SelectedSlot();
  for (int k = 1; k <= Engine.SlotCount; ++k) {
    if (k == selected) continue;
    const TRec& other = Engine.Slots[k];
    if ((input ? other.InputFolder : other.DoneFolder) != folder) continue;
    platform_.dialogs.ShowMessage(std::to_string(cmbPrinter.ItemIndex()) + "\r\n" +
                                  std::to_string(k) + "\r\n" +
                                  (input ? "The input folder " : "The done folder ") + folder +
                                  " has already been assigned to " + other.PrinterName + ".\r\n" +
                                  "Please use another folder.");
    box.SetText("");
    return;
  }
  if (selected)
    (input ? Engine.Slots[selected].InputFolder : Engine.Slots[selected].DoneFolder) = folder;
}

void TForm1::edtLogFileChange() {
  Log.SetCurrentLogFile(varnell::Trim(edtLogFile.Text()));
}

void TForm1::cbLogClick() {
  Log.SetEnabled(cbLog.Checked());
  edtLogFile.SetEnabled(cbLog.Checked());
  btnBrowseLogFile.SetEnabled(cbLog.Checked());
}

void TForm1::cbLogDeleteBySizeClick() {
  LogOptions.KeepLogFileSmall = cbLogDeleteBySize.Checked();
  edtMB.SetEnabled(cbLogDeleteBySize.Checked());
}

void TForm1::cbTimeStampClick() {
  LogOptions.AppendLogDate = cbTimeStamp.Checked();
  cbLogDeleteByDay.SetEnabled(cbTimeStamp.Checked());
}

void TForm1::cbLogDeleteByDayClick() {
  LogOptions.DeleteLogFile = cbLogDeleteByDay.Checked();
  edtDays.SetEnabled(cbLogDeleteByDay.Checked());
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
  if (target) *target = static_cast<int32_t>(value);
}

void TForm1::edtQueueDepthExit() {
  const int n = SelectedSlot();
  NumberBoxExit(edtQueueDepth,
                "Invalid queue depth!\r\nQueue depth should be an integer value and larger than "
                "zero.",
                n ? &Engine.Slots[n].QueueDepth : nullptr);
}

void TForm1::edtMBExit() {
  NumberBoxExit(edtMB,
                "Invalid value!\r\nThis threshold value should be an integer value and larger "
                "than zero.",
                &LogOptions.KeepLogFileSize);
}

void TForm1::edtDaysExit() {
  NumberBoxExit(edtDays,
                "Invalid value!\r\nThis value should be an integer value and larger than zero.",
                &LogOptions.DeleteLogFileDays);
}

void TForm1::FormCanResize(int& NewWidth, int& NewHeight, bool& Resize) {
  // The window keeps its size: every request is answered with the current one.
  NewWidth = Width;
  NewHeight = Height;
  Resize = true;
}

}  // namespace corvale
