// Fakes of the program's environment: a settable clock, program path, arguments, separators.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "corvale/platform/system_info.h"

namespace corvale::testing {

class FakeSystemInfo : public SystemInfo {
 public:
  std::string program_path = "C:\\Program Files\\Corvale\\corvale.exe";
  std::vector<std::string> arguments;
  std::string user_name = "operator";
  uint32_t session_id = 1;
  Wow64Answer wow64 = Wow64Answer::kNo;
  uint32_t windows_major = 6;
  char date_separator = '/';
  char time_separator = ':';

  std::string ProgramPath() override { return program_path; }
  std::vector<std::string> Arguments() override { return arguments; }
  std::string UserName() override { return user_name; }
  uint32_t SessionId() override { return session_id; }
  Wow64Answer IsWow64Process() override { return wow64; }
  uint32_t WindowsMajorVersion() override { return windows_major; }
  char DateSeparator() override { return date_separator; }
  char TimeSeparator() override { return time_separator; }
  // The code page of the fake is Latin-1: U+0000..U+00FF are one byte each, the rest "?".
  std::string ToAnsiCodePage(const std::string& text) override;
};

// Local time and UTC move together; local time is UTC plus `utc_offset_minutes`.
class FakeClock : public Clock {
 public:
  explicit FakeClock(LocalTime start = {2024, 3, 7, 14, 20, 0, 0}) { Set(start); }

  // Sets the clock, as a user or a time service would: the steady ticks stay where they are.
  void Set(const LocalTime& local) {
    std::lock_guard lock(mutex_);
    now_ = local;
  }
  // Lets whole seconds pass (days, hours and months roll over), on the clock and the ticks.
  void Advance(int64_t seconds);

  LocalTime Now() override {
    std::lock_guard lock(mutex_);
    return now_;
  }
  int64_t NowUtcFileTime() override {
    std::lock_guard lock(mutex_);
    return ToFileTime(now_);
  }
  int64_t Ticks() override {
    std::lock_guard lock(mutex_);
    return ticks_;
  }

  // FILETIME value of a local time (the fake runs at UTC).
  static int64_t ToFileTime(const LocalTime& t);
  static LocalTime FromFileTime(int64_t filetime);

 private:
  std::mutex mutex_;
  LocalTime now_;
  int64_t ticks_ = 1000 * 10000000LL;
};

}  // namespace corvale::testing
