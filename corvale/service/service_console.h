// The window as the console of an installed Corvale service: it runs no server of its own, shows
// the state the service writes, and starts and stops the service. The window of the service's
// account also edits the service's settings; another user's window only shows the state.
#pragma once

#include <optional>
#include <string>

#include "corvale/platform/service_manager.h"
#include "corvale/service/status_file.h"

namespace corvale {

struct ServiceConsoleView {
  bool running = false;      // the service serves (a fresh report says so)
  bool up = false;           // the service's process runs (a fresh report says so)
  bool may_control = false;  // Start and Stop start and stop it
  bool may_edit = false;     // the window's edits are the service's settings
  std::string status_text;
  int32_t jobs_in_queue = 0;
};

// Whether `window_user` (a bare name, as the system gives it) is the service's `account`
// ("DOMAIN\name", ".\name", "name@domain"); names compare without regard to case.
bool IsServiceAccount(const std::string& account, const std::string& window_user);

// What the window shows of the service at `now` (FILETIME, UTC): a stale report, or none, counts
// as "not running" whatever the Service Control Manager says.
ServiceConsoleView DescribeService(ServiceState state, const std::string& account,
                                   const std::string& window_user,
                                   const std::optional<ServiceStatusReport>& report, int64_t now);

}  // namespace corvale
