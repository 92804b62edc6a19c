// Debugger output, the local clock and time separator, pausing and the command line.
#include "pennock/platform/win32/win32_platform.h"

#include <cstdlib>

namespace pennock::win32 {

void Win32System::WriteDebugOutput(const std::string& text) {
  OutputDebugStringA(text.c_str());
}

LocalTime Win32System::GetLocalTime() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

std::string Win32System::TimeSeparator() {
  char separator[8] = {};
  int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, sizeof separator);
  return length > 1 ? std::string(separator, static_cast<std::size_t>(length - 1)) : std::string();
}

void Win32System::Sleep(std::uint32_t milliseconds) {
  ::Sleep(milliseconds);
}

std::vector<std::string> Win32System::CommandLineArguments() {
  // The C run-time splits the command line by the usual Windows quoting rules.
  std::vector<std::string> arguments;
  for (int i = 1; i < __argc; ++i) arguments.emplace_back(__argv[i]);
  return arguments;
}

}  // namespace pennock::win32
