// falcrest.exe: wires the Win32 platform into the installer and runs it with the command line.
#include <string>
#include <vector>

#include "falcrest/installer_flow.h"
#include "falcrest/platform/win32/win32_platform.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

int wmain(int argc, wchar_t** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));

  falcrest::win32::Win32Environment environment;
  falcrest::win32::Win32Files files;
  falcrest::win32::Win32Registry registry;
  falcrest::win32::Win32Tokens tokens;
  falcrest::win32::Win32Spooler spooler;
  falcrest::win32::Win32ServiceManager services;
  falcrest::win32::Win32Clock clock;
  falcrest::win32::Win32Console console;
  const falcrest::FalcrestPlatform platform{environment, files,    registry, tokens,
                                            spooler,     services, clock,    console};
  return falcrest::RunFalcrest(arguments, platform);
}
