// What the print server tells the Windows Event Log: its start and stop, a refused Start, a
// failed print, and each standing condition when it begins and when it ends. At most one event
// an hour of each cause, so that a fault that stands cannot flood the log; a condition's end is
// written only where its beginning was. Safe for use from any thread.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "corvale/platform/event_log.h"

namespace corvale {

class Clock;
class LogFile;

class EventReporter {
 public:
  static constexpr int64_t kOneHour = 36'000'000'000;  // in Clock::Ticks() units

  EventReporter(EventLog& events, Clock& clock, LogFile& log);

  // An event of `cause`, unless one of that cause was written within the hour.
  void Report(const std::string& cause, EventKind kind, EventId id, const std::string& text);
  // A condition that begins to stand, and its end.
  void Begins(const std::string& cause, EventKind kind, const std::string& text);
  void Ends(const std::string& cause);
  // The server stopped: no condition stands any more, and none is told to have ended.
  void ForgetConditions();

 private:
  bool Due(const std::string& cause);  // mutex_
  void Write(EventKind kind, EventId id, const std::string& text);

  EventLog& events_;
  Clock& clock_;
  LogFile& log_;
  std::mutex mutex_;
  std::map<std::string, int64_t> last_written_;    // mutex_
  std::map<std::string, std::string> standing_;    // mutex_: cause, its text as written
  bool said_unwritable_ = false;                   // mutex_
};

}  // namespace corvale
