// NotificationWorker: the thread of one local printer. It registers for the printer's change
// notifications with MonitorOptions and, for the printer named "Varnell" only, logs every
// change decoded field by field; it registers again when its change handle stops working. Runs
// on its own thread; reads its record's Name and Lock and writes only its Running field.
#pragma once

#include <cstdint>

#include "pennock/activity_log.h"
#include "pennock/platform/spooler.h"
#include "pennock/platform/system.h"

namespace pennock {

struct WorkerRecord;

// The one notification request of the process, shared by all workers.
extern const NotifyOptions MonitorOptions;

// Worker exit codes.
inline constexpr std::uint32_t kWorkerOpenFailed = 1;
inline constexpr std::uint32_t kWorkerRegisterFailed = 2;
inline constexpr std::uint32_t kWorkerFetchFailed = 3;

// The only printer whose changes are followed beyond the first (compared exactly).
inline constexpr const char* kFollowedPrinter = "Varnell";

// A wait that fails is tried again after a pause. A change handle whose waits keep failing has
// stopped working (the spooler restarted): after this many failed waits in a row the worker
// gives up its registration and printer and opens and registers again, a try a minute.
inline constexpr std::uint32_t kFailedWaitPauseMs = 100;
inline constexpr std::uint32_t kFailedWaitsBeforeRegisteringAgain = 50;
inline constexpr std::uint32_t kRegisterAgainPauseMs = 60000;

struct WorkerContext {
  Spooler& spooler;
  ActivityLog& log;
  System& system;
};

// The worker's run; `param` is its record. Returns the thread's exit code.
std::uint32_t NotificationWorker(WorkerRecord* param, const WorkerContext& context);

}  // namespace pennock
