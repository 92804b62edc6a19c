// Writing to the console of the program that started corvale.exe.
#include "corvale/win32/console_text.h"

#include "common/win32/windows_support.h"
#include "corvale/platform/win32/wide_text.h"

namespace corvale::win32 {

void WriteConsoleText(const std::string& utf8) {
  const std::string line = utf8 + "\r\n";
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!out || out == INVALID_HANDLE_VALUE) {
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return;
  }
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(out, &mode)) {
    const std::wstring wide = Wide(line);
    WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
}

}  // namespace corvale::win32
