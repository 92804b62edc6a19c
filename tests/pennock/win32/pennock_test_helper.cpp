// Test helper for pennock.exe under Wine:
//   pennock_test_helper printers                          local printers in the spooler's order
//   pennock_test_helper acp                               the ANSI code page
//   pennock_test_helper wait <caption> <text> <n> <ms>    waits until the window's activity
//                                                         control shows <text> n times
//   pennock_test_helper close <caption> <ms>              closes the window (WM_CLOSE) and
//                                                         waits until it is gone
//   pennock_test_helper close-at-once <caption> <ms>      posts WM_CLOSE the moment the window
//                                                         exists, before it has even been shown,
//                                                         and waits until it is gone
#include "common/win32/windows_support.h"

#include <winspool.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kActivityControl = 1000;

int ListPrinters() {
  DWORD needed = 0;
  DWORD count = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed ? needed : 1);
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, buffer.data(), needed, &needed, &count)) {
    return count == 0 ? 0 : 1;
  }
  const auto* printers = reinterpret_cast<const PRINTER_INFO_4A*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) std::printf("%s\n", printers[i].pPrinterName);
  return 0;
}

HWND FindActivityWindow(const char* caption) {
  HWND window = FindWindowA("#32770", caption);
  if (window == nullptr) window = FindWindowA(nullptr, caption);
  return window;
}

std::string ControlText(HWND window) {
  HWND control = GetDlgItem(window, kActivityControl);
  if (control == nullptr) return std::string();
  auto length = static_cast<int>(SendMessageA(control, WM_GETTEXTLENGTH, 0, 0));
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  length = static_cast<int>(
      SendMessageA(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
  return text;
}

int Occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

int WaitForText(const char* caption, const std::string& part, int wanted, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    HWND window = FindActivityWindow(caption);
    if (window != nullptr && IsWindowVisible(window) &&
        Occurrences(ControlText(window), part) >= wanted) {
      std::printf("found %d x \"%s\" after %lu ms\n", wanted, part.c_str(),
                  static_cast<unsigned long>(GetTickCount() - start));
      return 0;
    }
    Sleep(50);
  }
  HWND window = FindActivityWindow(caption);
  std::printf("timed out; window %p shows:\n%s\n", static_cast<void*>(window),
              window ? ControlText(window).c_str() : "");
  return 1;
}

int CloseWindow(const char* caption, DWORD timeoutMs, bool atOnce) {
  HWND window = FindActivityWindow(caption);
  // The dialog exists, hidden, while its start-up runs; a message posted then waits in its queue.
  for (DWORD start = GetTickCount(); atOnce && window == nullptr;
       window = FindActivityWindow(caption)) {
    if (GetTickCount() - start >= timeoutMs) break;
    Sleep(1);
  }
  if (window == nullptr) {
    std::printf("no window \"%s\"\n", caption);
    return 1;
  }
  PostMessageA(window, WM_CLOSE, 0, 0);
  DWORD start = GetTickCount();
  while (IsWindow(window) && GetTickCount() - start < timeoutMs) Sleep(20);
  std::printf("window %s after %lu ms\n", IsWindow(window) ? "still open" : "closed",
              static_cast<unsigned long>(GetTickCount() - start));
  return IsWindow(window) ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "printers" && argc == 2) return ListPrinters();
  if (command == "acp" && argc == 2) {
    std::printf("%u\n", GetACP());
    return 0;
  }
  if (command == "wait" && argc == 6) {
    return WaitForText(argv[2], argv[3], std::atoi(argv[4]),
                       static_cast<DWORD>(std::atol(argv[5])));
  }
  if ((command == "close" || command == "close-at-once") && argc == 4) {
    return CloseWindow(argv[2], static_cast<DWORD>(std::atol(argv[3])), command == "close-at-once");
  }
  std::fprintf(stderr,
               "usage: pennock_test_helper printers | acp | wait <caption> <text> <n> <ms> | "
               "close|close-at-once <caption> <ms>\n");
  return 2;
}
