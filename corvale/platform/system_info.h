// The program's own place and command line, the process's WOW64 state, the clock and the
// user's regional separators.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvale {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

enum class Wow64Answer { kNotAvailable, kCallFailed, kNo, kYes };

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  virtual std::string ProgramPath() = 0;             // full path of the program file
  virtual std::vector<std::string> Arguments() = 0;  // without the program name
  // The account the process runs as, and the logon session it runs in.
  virtual std::string UserName() = 0;
  virtual uint32_t SessionId() = 0;
  // IsWow64Process looked up in kernel32 by name and called for the current process.
  virtual Wow64Answer IsWow64Process() = 0;
  // The major version of Windows as the system tells it, whatever the program's manifest says
  // (10 on Windows 10 and 11).
  virtual uint32_t WindowsMajorVersion() = 0;
  virtual char DateSeparator() = 0;
  virtual char TimeSeparator() = 0;
  // UTF-8 text in the system's 8-bit (ANSI) code page; a character it cannot spell becomes "?".
  // Safe for use from any thread.
  virtual std::string ToAnsiCodePage(const std::string& text) = 0;
};

// Safe for use from any thread.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
  // The current time as a FILETIME value (100 ns intervals since 1601-01-01 UTC).
  virtual int64_t NowUtcFileTime() = 0;
  // A steady count in the same 100 ns units, for intervals: setting the clock changes nothing
  // of it.
  virtual int64_t Ticks() = 0;
};

}  // namespace corvale
