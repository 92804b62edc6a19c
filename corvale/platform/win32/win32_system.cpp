// Program path, command line, WOW64, regional separators and the clock.
#include "corvale/platform/win32/win32_system.h"

#include "common/win32/windows_support.h"

#include <shellapi.h>

#include <cstdlib>

#include "corvale/platform/win32/wide_text.h"

namespace corvale::win32 {

std::string Win32SystemInfo::ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) return Utf8(std::wstring_view(path.data(), n));
    path.resize(path.size() * 2);
  }
}

std::vector<std::string> Win32SystemInfo::Arguments() {
  std::vector<std::string> args;
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!argv) return args;
  for (int i = 1; i < count; ++i) args.push_back(Utf8(argv[i]));
  LocalFree(argv);
  return args;
}

std::string Win32SystemInfo::UserName() {
  wchar_t name[257] = L"";
  DWORD size = 257;
  if (!GetUserNameW(name, &size)) return std::string();
  return Utf8(name);
}

uint32_t Win32SystemInfo::SessionId() {
  DWORD session = 0;
  if (!ProcessIdToSessionId(GetCurrentProcessId(), &session)) return 0;
  return session;
}

uint32_t Win32SystemInfo::WindowsMajorVersion() {
  // GetVersionEx answers what the manifest allows; ntdll's RtlGetVersion tells the truth.
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  auto fn = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                  : nullptr;
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (!fn || fn(&info) != 0) return 0;
  return info.dwMajorVersion;
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

std::string Win32SystemInfo::ToAnsiCodePage(const std::string& text) {
  return ToAnsiCodePageText(text);
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

int64_t Win32Clock::Ticks() {
  // Milliseconds since the system started, which no change of the clock touches.
  return static_cast<int64_t>(GetTickCount64()) * 10000;
}

}  // namespace corvale::win32
