// Program path, command line, WOW64, regional separators and the clock.
#include "corvale/platform/win32/win32_system.h"

#include <cstdlib>

#include "common/win32/windows_support.h"

namespace corvale::win32 {

std::string Win32SystemInfo::ProgramPath() {
  char path[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n);
}

std::vector<std::string> Win32SystemInfo::Arguments() {
  std::vector<std::string> args;
  for (int i = 1; i < __argc; ++i) args.emplace_back(__argv[i]);
  return args;
}

Wow64Answer Win32SystemInfo::IsWow64Process() {
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  HMODULE kernel = GetModuleHandleA("kernel32");
  auto fn = kernel ? reinterpret_cast<IsWow64ProcessFn>(
                         reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")))
                   : nullptr;
  if (!fn) return Wow64Answer::kNotAvailable;
  BOOL wow64 = FALSE;
  if (!fn(GetCurrentProcess(), &wow64)) return Wow64Answer::kCallFailed;
  return wow64 ? Wow64Answer::kYes : Wow64Answer::kNo;
}

static char LocaleSeparator(LCTYPE type, char fallback) {
  char text[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, type, text, sizeof text) > 1 && text[0]) return text[0];
  return fallback;
}

char Win32SystemInfo::DateSeparator() {
  return LocaleSeparator(LOCALE_SDATE, '/');
}

char Win32SystemInfo::TimeSeparator() {
  return LocaleSeparator(LOCALE_STIME, ':');
}

LocalTime Win32Clock::Now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

int64_t Win32Clock::NowUtcFileTime() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

}  // namespace corvale::win32
