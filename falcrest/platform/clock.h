// Milliseconds since system start, and pausing the thread.
#pragma once

#include <cstdint>

namespace falcrest {

class Clock {
 public:
  virtual ~Clock() = default;
  // GetTickCount: wraps around after 2^32 ms, so elapsed times are unsigned differences.
  virtual uint32_t TickCount() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
};

}  // namespace falcrest
