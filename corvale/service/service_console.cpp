// What the window shows of the service.
#include "corvale/service/service_console.h"

#include "common/text.h"

namespace corvale {

bool IsServiceAccount(const std::string& account, const std::string& window_user) {
  std::string name = varnell::Trim(account);
  const size_t at = name.find('@');
  if (at != std::string::npos) name = name.substr(0, at);
  const size_t slash = name.rfind('\\');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  return !name.empty() && varnell::EqualsIgnoreCase(name, varnell::Trim(window_user));
}

ServiceConsoleView DescribeService(ServiceState state, const std::string& account,
                                   const std::string& window_user,
                                   const std::optional<ServiceStatusReport>& report, int64_t now) {
  ServiceConsoleView view;
  view.may_edit = IsServiceAccount(account, window_user);
  view.may_control = view.may_edit;
  const bool fresh = report && IsFresh(*report, now);
  view.up = fresh && report->activity != ServiceActivity::kStopped;
  std::string state_text;
  if (fresh && report->activity == ServiceActivity::kServing) {
    view.running = true;
    view.jobs_in_queue = report->jobs_in_queue;
    state_text = report->status_text.empty() ? "The Corvale service serves." : report->status_text;
  } else if (fresh && report->activity == ServiceActivity::kNotServing) {
    state_text = "The Corvale service runs but does not serve: " + report->status_text;
  } else if (fresh && report->activity == ServiceActivity::kStarting) {
    state_text = "The Corvale service is starting ...";
  } else if (fresh && report->activity == ServiceActivity::kStopping) {
    state_text = "The Corvale service is stopping ...";
  } else if (state == ServiceState::kStartPending) {
    state_text = "The Corvale service is starting ...";
  } else {
    state_text = "The Corvale service is not running.";
  }
  view.status_text = view.may_edit
                         ? state_text
                         : "The Corvale service runs as " + account +
                               "; this window shows its state only. " + state_text;
  return view;
}

}  // namespace corvale
