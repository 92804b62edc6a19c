// The main window as the console of the Corvale service: the service's state in the status bar
// and the job count, Start and Stop for the service (elevated when the user lacks the right), and
// the service's settings saved at once, with folders as the service can reach them.
#include <vector>

#include "corvale/platform/dialogs.h"
#include "corvale/platform/file_system.h"
#include "corvale/platform/service_manager.h"
#include "corvale/platform/shell.h"
#include "corvale/platform/system_info.h"
#include "corvale/service/service_console.h"
#include "corvale/service/service_names.h"
#include "corvale/settings/settings_store.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

namespace {

constexpr SystemError kAccessDenied = 5;
constexpr SystemError kStillStopping = 1460;

}  // namespace

void TForm1::EnterServiceConsoleWhenInstalled() {
  if (platform_.services.State(kServiceName) == ServiceState::kNotInstalled) return;
  service_console_ = true;
  service_account_ = platform_.services.Account(kServiceName);
  service_edits_allowed_ = IsServiceAccount(service_account_, platform_.system.UserName());
  // The service serves; nothing here starts a server, at logon or later.
  TimerAutoRun.SetEnabled(false);
  if (!service_edits_allowed_) {
    for (Control* control : AllControls()) {
      if (control == &btnHelp || control == &btnAbout || control == &statBar ||
          dynamic_cast<Timer*>(control))
        continue;
      control->SetEnabled(false);
    }
  }
  Timer1.SetEnabled(true);
  ShowService();
}

void TForm1::ShowService() {
  const std::string status_file = Server.Engine().JobStoreRoot + "\\" + kServiceStatusFileName;
  const ServiceConsoleView view = DescribeService(
      platform_.services.State(kServiceName), service_account_, platform_.system.UserName(),
      ReadStatusReport(platform_.files, status_file), platform_.clock.NowUtcFileTime());
  service_up_ = view.up;
  if (!view.up) saved_while_serving_ = false;
  std::string text = view.status_text;
  if (saved_while_serving_)
    text += " | Settings saved; the service takes them at its next Start (Stop, then Start).";
  statBar.SetSimpleText(text);
  lblJobStatus.SetCaption(std::to_string(view.jobs_in_queue));
  btnStart.SetEnabled(view.may_control && !view.up);
  btnStop.SetEnabled(view.may_control && view.up);
}

void TForm1::ControlService(bool start) {
  SystemError error =
      start ? platform_.services.Start(kServiceName) : platform_.services.Stop(kServiceName, 0);
  if (error == kAccessDenied) {
    // The user may not: an elevated Corvale asks the system to.
    error = platform_.shell.StartElevated(platform_.system.ProgramPath(),
                                          start ? "/StartService" : "/StopService")
                ? 0
                : kAccessDenied;
  }
  if (error != 0 && error != kStillStopping) {
    statBar.SetSimpleText(
        std::string(start ? "The service cannot be started: " : "The service cannot be stopped: ") +
        platform_.files.ErrorText(error));
    return;
  }
  ShowService();
}

// The service sees no drive letter that only the user's logon maps: such a folder is saved as
// its share's path, or refused when the share cannot be told.
bool TForm1::ServiceFolderText(EditBox& box, std::string& folder) {
  const std::string universal = platform_.files.UniversalPath(folder);
  if (universal.empty()) {
    platform_.dialogs.ShowMessage(
        "The folder " + folder +
        " is on a mapped drive whose share cannot be told.\r\nThe Corvale service sees no mapped "
        "drive letters: give the folder as \\\\server\\share\\...");
    box.SetText("");
    return false;
  }
  if (universal != folder) {
    folder = universal;
    box.SetText(universal);
    return false;  // the box's change handling stores the share's path
  }
  return true;
}

}  // namespace corvale
