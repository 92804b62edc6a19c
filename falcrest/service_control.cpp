// Stopping and starting the print spooler service.
#include "falcrest/service_control.h"

#include <algorithm>
#include <string>
#include <vector>

#include "falcrest/console_text.h"
#include "falcrest/installer_names.h"

namespace falcrest {

namespace {

constexpr uint32_t kStopSpoolerAccess =
    kServiceStop | kServiceQueryStatus | kServiceEnumerateDependents;
constexpr uint32_t kStopDependentAccess = kServiceStop | kServiceQueryStatus;

}  // namespace

uint32_t PollPause(uint32_t wait_hint) {
  return std::clamp(wait_hint / 10, 1000u, 10000u);
}

SpoolerServiceControl::SpoolerServiceControl(ServiceManagerApi& services, Clock& clock,
                                             Console& console)
    : services_(services), clock_(clock), console_(console) {}

uint32_t SpoolerServiceControl::ElapsedSince(uint32_t start) {
  return static_cast<uint32_t>(clock_.TickCount() - start);
}

bool SpoolerServiceControl::OpenSpooler(uint32_t access) {
  Outcome opened = services_.OpenManager(kScManagerAllAccess, ServiceControlManagerHandle);
  if (!opened) {
    console_.WriteOut(FormatNumber("OpenSCManager failed (%d)\n", opened.Error));
    return false;
  }
  opened = ServiceControlManagerHandle->OpenServiceByName(kSpoolerServiceName, access,
                                                          SpoolerServiceHandle);
  if (!opened) {
    console_.WriteOut(FormatNumber("OpenService failed (%d)\n", opened.Error));
    ServiceControlManagerHandle.reset();
    return false;
  }
  return true;
}

void SpoolerServiceControl::CloseSpooler() {
  SpoolerServiceHandle.reset();
  ServiceControlManagerHandle.reset();
}

bool SpoolerServiceControl::QuerySpooler() {
  const Outcome queried = SpoolerServiceHandle->QueryStatus(Status);
  if (!queried)
    console_.WriteOut(FormatNumber("QueryServiceStatusEx failed (%d)\n", queried.Error));
  return queried.Succeeded;
}

void SpoolerServiceControl::StopSpoolerService() {
  const uint32_t start = clock_.TickCount();
  if (!OpenSpooler(kStopSpoolerAccess)) return;
  StopOpenSpooler(start);
  CloseSpooler();
}

void SpoolerServiceControl::StopOpenSpooler(uint32_t start) {
  if (!QuerySpooler()) return;
  if (Status.CurrentState == kServiceStopped) {
    console_.WriteOut("Service is already stopped.\n");
    return;
  }
  while (Status.CurrentState == kServiceStopPending) {
    console_.WriteOut("Service stop pending...\n");
    clock_.Sleep(PollPause(Status.WaitHint));
    if (!QuerySpooler()) return;
    if (Status.CurrentState == kServiceStopped) {
      console_.WriteOut("Service stopped successfully.\n");
      return;
    }
    if (ElapsedSince(start) > kStopTimeBudgetMs) {
      console_.WriteOut("Service stop timed out.\n");
      return;
    }
  }

  // A dependent that will not stop does not keep the spooler from being asked to stop.
  StopActiveDependents();

  const Outcome sent = SpoolerServiceHandle->SendControl(kServiceControlStop, Status);
  if (!sent) {
    console_.WriteOut(FormatNumber("ControlService failed (%d)\n", sent.Error));
    return;
  }
  while (Status.CurrentState != kServiceStopped) {
    clock_.Sleep(Status.WaitHint);
    if (!QuerySpooler()) return;
    if (Status.CurrentState == kServiceStopped) break;
    if (ElapsedSince(start) > kStopTimeBudgetMs) {
      console_.WriteOut("Wait timed out\n");
      return;
    }
  }
  console_.WriteOut("Service stopped successfully\n");
}

bool SpoolerServiceControl::StopActiveDependents() {
  const uint32_t start = clock_.TickCount();
  uint32_t needed = 0;
  std::vector<std::u16string> dependents;
  Outcome listed = SpoolerServiceHandle->EnumDependents(kServiceActive, 0, needed, dependents);
  // Success with no buffer at all means there is nothing to list.
  if (listed) return true;
  if (listed.Error != kErrorMoreData) return false;
  listed = SpoolerServiceHandle->EnumDependents(kServiceActive, needed, needed, dependents);
  if (!listed) return false;

  for (const std::u16string& name : dependents) {
    std::unique_ptr<Service> dependent;
    if (!ServiceControlManagerHandle->OpenServiceByName(name, kStopDependentAccess, dependent))
      return false;
    if (!dependent->SendControl(kServiceControlStop, Status)) return false;
    while (Status.CurrentState != kServiceStopped) {
      clock_.Sleep(Status.WaitHint);
      if (!dependent->QueryStatus(Status)) return false;
      if (Status.CurrentState == kServiceStopped) break;
      if (ElapsedSince(start) > kStopTimeBudgetMs) return false;
    }
  }
  return true;
}

void SpoolerServiceControl::StartSpoolerService() {
  if (!OpenSpooler(kServiceAllAccess)) return;
  StartOpenSpooler();
  CloseSpooler();
}

void SpoolerServiceControl::StartOpenSpooler() {
  if (!QuerySpooler()) return;
  if (Status.CurrentState != kServiceStopped && Status.CurrentState != kServiceStopPending) {
    console_.WriteOut("Cannot start the service because it is already running\n");
    return;
  }

  // A pending stop may take as long as it keeps advancing its check point; each stall may last
  // up to its wait hint.
  uint32_t start = clock_.TickCount();
  uint32_t last_check_point = Status.CheckPoint;
  while (Status.CurrentState == kServiceStopPending) {
    clock_.Sleep(PollPause(Status.WaitHint));
    if (!QuerySpooler()) return;
    // A stop that has finished reports neither progress nor a wait hint; it is no time-out.
    if (Status.CurrentState != kServiceStopPending) break;
    if (Status.CheckPoint > last_check_point) {
      start = clock_.TickCount();
      last_check_point = Status.CheckPoint;
    } else if (ElapsedSince(start) > Status.WaitHint) {
      console_.WriteOut("Timeout waiting for service to stop\n");
      return;
    }
  }

  const Outcome started = SpoolerServiceHandle->StartWithoutArguments();
  if (!started) {
    console_.WriteOut(FormatNumber("StartService failed (%d)\n", started.Error));
    return;
  }
  console_.WriteOut("Service start pending...\n");
  if (!QuerySpooler()) return;

  start = clock_.TickCount();
  last_check_point = Status.CheckPoint;
  while (Status.CurrentState == kServiceStartPending) {
    clock_.Sleep(PollPause(Status.WaitHint));
    if (!QuerySpooler()) break;
    if (Status.CheckPoint > last_check_point) {
      start = clock_.TickCount();
      last_check_point = Status.CheckPoint;
    } else if (ElapsedSince(start) > Status.WaitHint) {
      break;
    }
  }

  if (Status.CurrentState == kServiceRunning) {
    console_.WriteOut("Service started successfully.\n");
    return;
  }
  console_.WriteOut("Service not started. \n");
  console_.WriteOut(FormatNumber("  Current State: %d\n", Status.CurrentState));
  console_.WriteOut(FormatNumber("  Exit Code: %d\n", Status.Win32ExitCode));
  console_.WriteOut(FormatNumber("  Check Point: %d\n", Status.CheckPoint));
  console_.WriteOut(FormatNumber("  Wait Hint: %d\n", Status.WaitHint));
}

}  // namespace falcrest
