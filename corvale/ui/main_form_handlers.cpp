// The main window's own handlers: showing a printer's slot, the slot and log controls.
#include <exception>

#include "common/text.h"
#include "corvale/engine/errors.h"
#include "corvale/platform/dialogs.h"
#include "corvale/platform/event_loop.h"
#include "corvale/platform/system_info.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

TForm1::TForm1(CorvalePlatform& platform)
    : Log(platform.files, platform.clock, platform.system, platform.loop), platform_(platform) {
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
  btnStart.OnClick = [this] { btnStartClick(); };
  btnStop.OnClick = [this] { btnStopClick(); };
  Timer1.OnTimer = [this] { Timer1Timer(); };
  Timer2.OnTimer = [this] { Timer2Timer(); };
  Timer3.OnTimer = [this] { Timer3Timer(); };
  TimerAutoRun.OnTimer = [this] { TimerAutoRunTimer(); };
}

int TForm1::SelectedSlot() const {
  int index = cmbPrinter.ItemIndex();
  return index >= 0 ? index + 1 : 0;
}

std::string TForm1::ProgramFolder() const {
  return ExtractFileDir(platform_.system.ProgramPath());
}

void TForm1::WriteLog(const std::string& message, const std::string& category) {
  Log.WriteLog(message, category);
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

}  // namespace corvale
