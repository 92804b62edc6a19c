// Start-up and finalisation of the monitor: the printer list, ThreadBuffer with one worker
// record per local printer, the shared lock and the workers. Main thread (inside the activity
// window's messages); each worker reads its own record and writes only its Running field.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "pennock/activity_log.h"
#include "pennock/platform/platform.h"

namespace pennock {

// The size of one record as the start-up log reports it: ten 32-bit fields.
inline constexpr std::uint32_t kReportedRecordSize = 40;
inline constexpr std::string_view kSeparatorLine =
    "--------------------------------------------------------------------";

struct WorkerRecord {
  std::uint32_t ThreadID = 0;
  std::uint32_t ThreadHandle = 0;
  // -1 while the worker runs; the worker sets it back to 0 when it ends by itself.
  std::atomic<std::int32_t> Running{0};
  std::int32_t Count = 0;
  CriticalSection* Lock = nullptr;
  WorkerRecord* Param = nullptr;
  std::int32_t NameLength = 0;
  std::int32_t LogNameLength = 0;
  std::string Name;
  std::string LogName;
};

// `name` with every space replaced by "_", followed by ".log".
std::string LogNameOf(std::string_view name);

class NotificationThreads {
 public:
  NotificationThreads(Platform& platform, ActivityLog& log);
  ~NotificationThreads();

  // True only when the workers' creation loop ran to its end.
  bool InitNotificationThreads();
  // True when terminating the last worker of the table succeeded.
  bool FInitnotificationThreads();

 private:
  void Add(std::string_view text) { log_.AddActivityLine(text); }
  void StartWorkers();

  Platform& platform_;
  ActivityLog& log_;
  std::unique_ptr<CriticalSection> lock_;
  std::unique_ptr<WorkerRecord[]> threadBuffer_;
};

}  // namespace pennock
