// A Windows Event Log that keeps what is written to it, or refuses it as a log without Corvale's
// event source does. Safe for use from any thread.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "corvale/platform/event_log.h"

namespace corvale::testing {

class FakeEventLog : public EventLog {
 public:
  struct Event {
    EventKind kind;
    EventId id;
    std::string text;
  };

  bool Write(EventKind kind, EventId id, const std::string& text) override {
    std::lock_guard lock(mutex_);
    if (!registered_) return false;
    events_.push_back({kind, id, text});
    return true;
  }

  void SetRegistered(bool registered) {
    std::lock_guard lock(mutex_);
    registered_ = registered;
  }
  std::vector<Event> Events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
  }

 private:
  mutable std::mutex mutex_;
  bool registered_ = true;
  std::vector<Event> events_;
};

}  // namespace corvale::testing
