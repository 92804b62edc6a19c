// The activity window's messages and the program's run.
#include "pennock/activity_window.h"

#include "pennock/resource.h"
#include "pennock/save_activity.h"

namespace pennock {

ActivityWindow::ActivityWindow(Platform& platform)
    : platform_(platform),
      log_(platform.window, platform.system),
      threads_(platform, log_),
      arguments_(platform.system.CommandLineArguments()) {}

int ActivityWindow::Run() {
  saveBuffer_.reserve(kSaveBufferSize);
  icon_ = platform_.window.LoadIconResource(IDI_PENNOCK);
  platform_.window.RunModalDialog(IDD_ACTIVITY, *this);
  if (const std::string* file = OutputFile()) {
    SaveActivityText(platform_.files, platform_.system, *file, saveBuffer_);
  }
  saveBuffer_ = std::string();
  return 0;
}

void ActivityWindow::InitDialog(WindowId dialog) {
  platform_.window.SetIcons(dialog, icon_);
  log_.SetActivityWindow(platform_.window.GetDlgItem(dialog, IDC_ACTIVITY));
  if (!threads_.InitNotificationThreads()) {
    log_.AddActivityLine("InitNotificationThreads() failed. No further error code");
  }
}

void ActivityWindow::Size(WindowId dialog) {
  ClientRect rect = platform_.window.GetClientRect(dialog);
  platform_.window.MoveWindow(platform_.window.GetDlgItem(dialog, IDC_ACTIVITY), rect.Left,
                              rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top, true);
}

void ActivityWindow::Close(WindowId dialog) {
  bool finalised = threads_.FInitnotificationThreads();
  log_.DropWorkerLines();
  if (!finalised) {
    log_.AddActivityLine(
        "FInitnotificationThreads() failed ... Windows will force the process/threads to end.");
  }
  CopyWindowText();
  platform_.system.Sleep(kCloseDelayMs);
  platform_.window.EndDialog(dialog, 0);
}

void ActivityWindow::FlushActivity(WindowId) {
  CopyWindowText();
  if (const std::string* file = OutputFile()) {
    SaveActivityText(platform_.files, platform_.system, *file, saveBuffer_);
  }
}

const std::string* ActivityWindow::OutputFile() const {
  return arguments_.size() == 1 ? &arguments_.front() : nullptr;
}

void ActivityWindow::CopyWindowText() {
  saveBuffer_ = platform_.window.GetText(log_.ActivityWindow(), static_cast<int>(kSaveBufferSize));
}

int RunPennock(Platform& platform) {
  ActivityWindow window(platform);
  return window.Run();
}

}  // namespace pennock
