// hold_file.exe <path> <milliseconds> <text>: a writer that creates the file, writes the text
// and a line end, and holds it open without sharing for that long before closing it, as a slow
// program writing into a hot folder does. Prints "holding" once the file is open and written.
#include "common/win32/windows_support.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fputs("usage: hold_file <path> <milliseconds> <text>\n", stderr);
    return 2;
  }
  varnell::win32::ScopedFileHandle file(CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr,
                                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    std::fprintf(stderr, "cannot create the file: error %lu\n", GetLastError());
    return 1;
  }
  const std::wstring wide(argv[3]);
  const std::string text = std::string(wide.begin(), wide.end()) + "\n";  // ASCII text here
  DWORD written = 0;
  if (!WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
    std::fprintf(stderr, "cannot write the file: error %lu\n", GetLastError());
    return 1;
  }
  std::puts("holding");
  std::fflush(stdout);
  // The writer is busy for this long: the span is the scenario, not a wait for anything.
  Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
  return 0;
}
