// exit_code_child.exe <code> | error-mode | wait: a program for the shell's tests that ends with
// the exit code given, ends with its own error mode as exit code (the mode it inherited), or
// runs until it is ended.
#include "common/win32/windows_support.h"

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string what = argv[1];
  if (what == "error-mode") return static_cast<int>(GetErrorMode());
  if (what == "wait") {
    Sleep(INFINITE);
    return 0;
  }
  return static_cast<int>(std::strtoul(what.c_str(), nullptr, 10));
}
