// The Windows Event Log: Corvale's events in the Application log, under the event source
// "Corvale" that the setup registers.
#pragma once

#include <cstdint>
#include <string>

namespace corvale {

enum class EventKind { kInformation, kWarning, kError };

// Each event is a message of corvale.exe's message table that holds one text.
enum class EventId : uint32_t {
  kServerStarted = 1,
  kServerStopped = 2,
  kPrintFailed = 3,
  kConditionBegins = 4,
  kConditionEnds = 5,
  kStartRefused = 6,
};

// Safe for use from any thread.
class EventLog {
 public:
  virtual ~EventLog() = default;
  // False when the event cannot be written: the source is not registered, or the log refuses it.
  virtual bool Write(EventKind kind, EventId id, const std::string& text) = 0;
};

}  // namespace corvale
