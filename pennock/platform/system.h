// Small system services of the monitor: debugger output, the local clock and the user's time
// separator, pausing, and the command line. Any thread may call them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pennock {

// GetLocalTime's fields that the monitor shows.
struct LocalTime {
  int Year = 0;
  int Month = 0;
  int Day = 0;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
};

class System {
 public:
  virtual ~System() = default;
  // OutputDebugStringA: one call per line, without line end.
  virtual void WriteDebugOutput(const std::string& text) = 0;
  virtual LocalTime GetLocalTime() = 0;
  // The LOCALE_STIME value of the user's regional settings; empty when they give none.
  virtual std::string TimeSeparator() = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // The arguments after the program's name, split by the usual Windows quoting rules.
  virtual std::vector<std::string> CommandLineArguments() = 0;
};

}  // namespace pennock
