// Stopping and starting the print spooler service, with its active dependents, by polling its
// status against fixed time limits. Used on Falcrest's single thread; blocks while it waits.
#pragma once

#include <cstdint>
#include <memory>

#include "falcrest/platform/clock.h"
#include "falcrest/platform/console.h"
#include "falcrest/platform/services.h"

namespace falcrest {

// Longest time a stop may take, and separately the stop of the active dependents.
constexpr uint32_t kStopTimeBudgetMs = 30000;

// Pause between two status polls of a pending service: a tenth of its wait hint, kept within
// 1 to 10 seconds.
uint32_t PollPause(uint32_t wait_hint);

class SpoolerServiceControl {
 public:
  SpoolerServiceControl(ServiceManagerApi& services, Clock& clock, Console& console);

  // Stops the spooler, first stopping every active service that depends on it, and waits for
  // the stop. Reports on the console only.
  void StopSpoolerService();
  // Starts the spooler, first waiting for a pending stop to finish, and waits for the start.
  // Reports on the console only.
  void StartSpoolerService();
  // Stops each active dependent of the spooler in turn and waits for it; true when all stopped
  // or there were none. Works on the two handles StopSpoolerService has open; prints nothing.
  bool StopActiveDependents();

  // Open only while one of the operations above runs; both are closed before it returns.
  std::unique_ptr<ServiceControlManager> ServiceControlManagerHandle;
  std::unique_ptr<Service> SpoolerServiceHandle;
  // The last status read or reported, of the spooler or of a dependent being stopped.
  ServiceStatus Status;

 private:
  bool OpenSpooler(uint32_t access);
  void CloseSpooler();
  bool QuerySpooler();
  void StopOpenSpooler(uint32_t start);
  void StartOpenSpooler();
  uint32_t ElapsedSince(uint32_t start);

  ServiceManagerApi& services_;
  Clock& clock_;
  Console& console_;
};

}  // namespace falcrest
