// Printer enumeration and the default printer through the wide winspool and profile calls.
#include "corvale/platform/win32/win32_printers.h"

#include "common/win32/windows_support.h"
#include "corvale/platform/win32/wide_text.h"

#include <winspool.h>

namespace corvale::win32 {

namespace {

constexpr DWORD kListedPrinters = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;

std::vector<BYTE> ListedPrinters(DWORD level, DWORD& count) {
  DWORD needed = 0;
  count = 0;
  EnumPrintersW(kListedPrinters, nullptr, level, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed);
  if (needed == 0 ||
      !EnumPrintersW(kListedPrinters, nullptr, level, buffer.data(), needed, &needed, &count)) {
    count = 0;
    buffer.clear();
  }
  return buffer;
}

std::string Text(const wchar_t* text) {
  return text ? Utf8(text) : "";
}

}  // namespace

std::vector<std::string> Win32Printers::ListPrinters() {
  DWORD count = 0;
  std::vector<BYTE> buffer = ListedPrinters(4, count);
  auto* info = reinterpret_cast<PRINTER_INFO_4W*>(buffer.data());
  std::vector<std::string> names;
  for (DWORD i = 0; i < count; ++i) names.push_back(Text(info[i].pPrinterName));
  return names;
}

std::string Win32Printers::DefaultPrinter() {
  wchar_t name[1024];
  DWORD size = sizeof name / sizeof name[0];
  return GetDefaultPrinterW(name, &size) ? Utf8(name) : std::string();
}

std::vector<PrinterDevice> Win32Printers::DevicesNamed(const std::string& name) {
  DWORD count = 0;
  // Level 5 holds name and port without the device settings: cheaper, and asked for every job.
  std::vector<BYTE> buffer = ListedPrinters(5, count);
  auto* info = reinterpret_cast<PRINTER_INFO_5W*>(buffer.data());
  std::vector<PrinterDevice> devices;
  for (DWORD i = 0; i < count; ++i) {
    if (Text(info[i].pPrinterName) != name) continue;
    // The profile's device entry names the spooler as the printer's driver.
    devices.push_back({Text(info[i].pPrinterName), "winspool", Text(info[i].pPortName)});
  }
  return devices;
}

void Win32Printers::WriteDefaultDevice(const std::string& entry) {
  WriteProfileStringW(L"windows", L"device", Wide(entry).c_str());
}

void Win32Printers::BroadcastWindowsSectionChange(bool synchronous) {
  static const wchar_t kSection[] = L"windows";
  if (synchronous) {
    // A window elsewhere on the desktop that hangs must not hang the server.
    constexpr UINT kLimitMs = 2000;
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>(kSection),
                        SMTO_ABORTIFHUNG | SMTO_NORMAL, kLimitMs, &result);
  } else {
    PostMessageW(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>(kSection));
  }
}

}  // namespace corvale::win32
