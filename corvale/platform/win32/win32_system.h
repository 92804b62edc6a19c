// The program's environment and the clock through Win32.
#pragma once

#include "corvale/platform/system_info.h"

namespace corvale::win32 {

class Win32SystemInfo : public SystemInfo {
 public:
  std::string ProgramPath() override;
  std::vector<std::string> Arguments() override;
  std::string UserName() override;
  uint32_t SessionId() override;
  Wow64Answer IsWow64Process() override;
  uint32_t WindowsMajorVersion() override;
  char DateSeparator() override;
  char TimeSeparator() override;
  std::string ToAnsiCodePage(const std::string& text) override;
};

class Win32Clock : public Clock {
 public:
  LocalTime Now() override;
  int64_t NowUtcFileTime() override;
  int64_t Ticks() override;
};

}  // namespace corvale::win32
