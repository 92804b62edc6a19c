#include "corvale/engine/event_reporter.h"

#include <exception>

#include "corvale/platform/system_info.h"
#include "corvale/settings/log_file.h"

namespace corvale {

EventReporter::EventReporter(EventLog& events, Clock& clock, LogFile& log)
    : events_(events), clock_(clock), log_(log) {}

bool EventReporter::Due(const std::string& cause) {
  const int64_t now = clock_.Ticks();
  const auto it = last_written_.find(cause);
  if (it != last_written_.end() && now - it->second < kOneHour) return false;
  last_written_[cause] = now;
  return true;
}

void EventReporter::Report(const std::string& cause, EventKind kind, EventId id,
                           const std::string& text) {
  {
    std::lock_guard lock(mutex_);
    if (!Due(cause)) return;
  }
  Write(kind, id, text);
}

void EventReporter::Begins(const std::string& cause, EventKind kind, const std::string& text) {
  {
    std::lock_guard lock(mutex_);
    if (standing_.count(cause) || !Due(cause)) return;
    standing_[cause] = text;
  }
  Write(kind, EventId::kConditionBegins, text);
}

void EventReporter::Ends(const std::string& cause) {
  std::string text;
  {
    std::lock_guard lock(mutex_);
    const auto it = standing_.find(cause);
    if (it == standing_.end()) return;
    text = "Over: " + it->second;
    standing_.erase(it);
  }
  Write(EventKind::kInformation, EventId::kConditionEnds, text);
}

void EventReporter::ForgetConditions() {
  std::lock_guard lock(mutex_);
  standing_.clear();
}

void EventReporter::Write(EventKind kind, EventId id, const std::string& text) {
  if (events_.Write(kind, id, text)) return;
  {
    std::lock_guard lock(mutex_);
    if (said_unwritable_) return;
    said_unwritable_ = true;
  }
  try {
    log_.WriteLog(
        "Events cannot be written to the Windows Event Log (is the event source Corvale "
        "registered? the setup registers it); Corvale runs on without them",
        "General");
  } catch (const std::exception&) {
    // The log cannot be written either; the server goes on all the same.
  }
}

}  // namespace corvale
