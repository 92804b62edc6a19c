// The state a running service writes every couple of seconds into the job store for the window
// that shows it: whether it serves, the jobs in queue, the job printing, its latest status text,
// and a heartbeat. Written whole into a file beside it, then moved over the old one, so that a
// reader never sees half of one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "corvale/platform/file_system.h"

namespace corvale {

// What the service is doing, as it says it.
enum class ServiceActivity { kStarting, kServing, kNotServing, kStopping, kStopped };

struct ServiceStatusReport {
  ServiceActivity activity = ServiceActivity::kStopped;
  int32_t jobs_in_queue = 0;
  std::string current_job;
  std::string status_text;
  int64_t heartbeat = 0;  // FILETIME (UTC) of the writing
  std::string account;    // who the service runs as
};

// A heartbeat older than this: the service is not running, whatever the Service Control Manager
// says (under Wine it says RUNNING of a process that is gone).
constexpr int64_t kStaleHeartbeat = 10 * 10000000LL;

// "key=value" lines; values are the texts as they are, line ends taken out.
std::string FormatStatusReport(const ServiceStatusReport& report);
// Nothing when the text is not such a report.
std::optional<ServiceStatusReport> ParseStatusReport(const std::string& text);

SystemError WriteStatusReport(FileSystem& files, const std::string& path,
                              const ServiceStatusReport& report);
std::optional<ServiceStatusReport> ReadStatusReport(FileSystem& files, const std::string& path);

// Whether the report was written recently enough, at `now` (FILETIME, UTC), to be believed.
bool IsFresh(const ServiceStatusReport& report, int64_t now);

}  // namespace corvale
