// What each Windows operation a job or a status tick makes costs on this system: the time per
// call, averaged over many calls, through the same platform classes the server uses.
// Usage: win32_op_costs <scratch folder> <printer> [calls [print utility]]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "corvale/platform/win32/win32_file_system.h"
#include "corvale/platform/win32/win32_printers.h"
#include "corvale/platform/win32/win32_registry.h"
#include "corvale/platform/win32/win32_shell.h"

namespace {

void Row(const char* what, int calls, const std::function<void(int)>& call) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < calls; ++i) call(i);
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  std::printf("%-58s %8.3f ms\n", what, static_cast<double>(us) / calls / 1000.0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: win32_op_costs <scratch folder> <printer> [calls]\n");
    return 2;
  }
  const std::string scratch = argv[1];
  const std::string printer = argv[2];
  const int calls = argc > 3 ? std::atoi(argv[3]) : 200;
  corvale::Win32FileSystem files;
  corvale::win32::Win32Printers printers;
  corvale::win32::Win32Registry registry;

  const std::string a = scratch + "\\a", b = scratch + "\\b";
  files.CreateDirectories(a);
  files.CreateDirectories(b);
  for (int i = 0; i < calls; ++i) files.AppendToFile(a + "\\f" + std::to_string(i) + ".afp", "x");
  const std::string log = scratch + "\\costs.log";
  const std::string line(90, 'x');

  Row("log line (open, append, close)", calls, [&](int) { files.AppendToFile(log, line); });
  Row("FileExists", calls,
      [&](int i) { files.FileExists(a + "\\f" + std::to_string(i) + ".afp"); });
  Row("MoveFile to another folder", calls, [&](int i) {
    const std::string name = "\\f" + std::to_string(i) + ".afp";
    files.MoveFile(a + name, b + name);
  });
  Row("MoveFileNoReplace back", calls, [&](int i) {
    const std::string name = "\\f" + std::to_string(i) + ".afp";
    files.MoveFileNoReplace(b + name, a + name);
  });
  Row("ShortPath", calls, [&](int i) { files.ShortPath(a + "\\f" + std::to_string(i) + ".afp"); });
  Row("FolderIdentity", calls, [&](int) { files.FolderIdentity(a); });
  Row("DirectoryExists", calls, [&](int) { files.DirectoryExists(a); });
  Row("ListFolder of the scratch folder", calls / 10 + 1, [&](int) { files.ListFolder(a); });
  Row("registry: open HKCU key, set a string", calls, [&](int) {
    if (auto key = registry.OpenKey(corvale::RegistryHive::kCurrentUser,
                                    "Software\\Varnell\\OpCosts", corvale::kKeyAllAccess, true))
      key->SetString("LOGOP", "TRUE");
  });
  Row("DefaultPrinter", calls, [&](int) { printers.DefaultPrinter(); });
  Row("DevicesNamed", calls, [&](int) { printers.DevicesNamed(printer); });
  const std::vector<corvale::PrinterDevice> devices = printers.DevicesNamed(printer);
  if (!devices.empty()) {
    const corvale::PrinterDevice& d = devices.back();
    Row("WriteDefaultDevice", calls,
        [&](int) { printers.WriteDefaultDevice(d.device + "," + d.driver + "," + d.port); });
  }
  Row("broadcast of the windows section, synchronous", calls / 4 + 1,
      [&](int) { printers.BroadcastWindowsSectionChange(true); });
  Row("thread started and joined", calls, [&](int) { std::thread([] {}).join(); });
  if (argc > 4) {
    // The print utility on one file, as a runner starts it and as a plain CreateProcess does.
    const std::string utility = argv[4];
    const std::string job = scratch + "\\job.afp";
    files.AppendToFile(job, "x\r\n");
    const int runs = calls / 4 + 1;
    corvale::win32::Win32Shell shell;
    Row("print utility started hidden (ShellExecuteEx) and waited for", runs, [&](int) {
      uint32_t error = 0;
      std::thread([&] {
        if (auto started = shell.StartHidden(utility, job + "  /N /P", error))
          started->WaitForExit(60000);
      }).join();
    });
    Row("print utility started by CreateProcess and waited for", runs, [&](int) {
      std::string command = "\"" + utility + "\" " + job + "  /N /P";
      STARTUPINFOA startup = {};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION process = {};
      if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &process)) {
        WaitForSingleObject(process.hProcess, 60000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
      }
    });
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Varnell\\OpCosts");
  return 0;
}
