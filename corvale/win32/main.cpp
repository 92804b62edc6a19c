// corvale.exe: the service (/Service), the service's commands (/InstallService, /RemoveService,
// /StartService, /StopService), print again for scripts (/PrintFailedAgain [printer]), the
// settings file (/ExportSettings, /ImportSettings), closing every Corvale for an upgrade (/Close,
// /Reopen), or the window: wires the Win32 platform into the window model and runs the message
// loop.
#include "common/win32/windows_support.h"

#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "corvale/platform/win32/close_request.h"
#include "corvale/platform/win32/win32_event_log.h"
#include "corvale/platform/win32/win32_event_loop.h"
#include "corvale/platform/win32/win32_file_system.h"
#include "corvale/platform/win32/win32_folder_watch.h"
#include "corvale/platform/win32/win32_printers.h"
#include "corvale/platform/win32/win32_registry.h"
#include "corvale/platform/win32/win32_running_corvales.h"
#include "corvale/platform/win32/win32_shell.h"
#include "corvale/platform/win32/single_instance.h"
#include "corvale/platform/win32/wide_text.h"
#include "corvale/platform/win32/win32_service_manager.h"
#include "corvale/platform/win32/win32_system.h"
#include "corvale/service/print_again_command.h"
#include "corvale/service/close_command.h"
#include "corvale/service/service_commands.h"
#include "corvale/service/settings_commands.h"
#include "corvale/win32/console_text.h"
#include "corvale/win32/server_parts.h"
#include "corvale/win32/service_main.h"
#include "corvale/ui/server_main_unit.h"
#include "corvale/ui/win32/main_window.h"
#include "corvale/ui/win32/win32_folder_browser.h"

namespace {

// C:\ProgramData, as the system names it.
std::string CommonAppDataFolder() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
    return "C:\\ProgramData";
  return corvale::win32::Utf8(folder);
}

std::string ErrorText(uint32_t code) {
  return corvale::win32::SystemErrorTextUtf8(code);
}

// How long a script waits for the running Corvale to put the failed jobs back.
constexpr UINT kPrintAgainWaitMs = 120000;

int PrintFailedAgain(const std::vector<std::string>& args) {
  using namespace corvale;
  const std::string printer = PrintAgainPrinter(args);
  if (HWND running = FindWindowA("TForm1", "Corvale")) {
    COPYDATASTRUCT data = {kPrintAgainRequest, static_cast<DWORD>(printer.size()),
                           const_cast<char*>(printer.data())};
    DWORD_PTR reply = 0;
    if (SendMessageTimeoutA(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                            SMTO_ABORTIFHUNG, kPrintAgainWaitMs, &reply)) {
      const CommandOutcome outcome =
          DescribePrintAgainReply(static_cast<uint32_t>(reply), printer);
      win32::WriteConsoleText(outcome.text);
      return outcome.exit_code;
    }
    // A window that does not answer: the moves are safe from here as well.
    win32::WriteConsoleText("The running Corvale does not answer; the failed jobs are put back from here.");
  }
  win32::ServerParts parts;
  ServerPlatform platform = parts.Platform();
  const CommandOutcome outcome = PrintFailedAgainHere(platform, printer);
  win32::WriteConsoleText(outcome.text);
  return outcome.exit_code;
}

// A file named on the command line, as a full path: the console's current folder is the base.
std::string FullPath(const std::string& path) {
  const std::wstring wide = corvale::win32::Wide(path);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return corvale::win32::Utf8(full);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  {
    corvale::win32::Win32SystemInfo system;
    const std::vector<std::string> args = system.Arguments();
    if (args.size() == 1 && varnell::EqualsIgnoreCase(args[0], "/Service"))
      return corvale::win32::RunAsService();
    if (corvale::IsPrintAgainCommand(args)) return PrintFailedAgain(args);
    if (corvale::IsCloseCommand(args)) {
      corvale::win32::Win32RunningCorvales corvales;
      corvale::Win32FileSystem files;
      // Machine-wide, not beside the program: a setup runs the /Close of its new corvale.exe
      // from wherever it unpacked it.
      const std::string reopen_file = CommonAppDataFolder() + "\\Varnell\\Corvale.reopen";
      const corvale::CommandOutcome outcome =
          corvale::RunCloseCommand(args, corvales, files, reopen_file);
      corvale::win32::WriteConsoleText(outcome.text);
      return outcome.exit_code;
    }
    if (corvale::IsServiceCommand(args)) {
      corvale::win32::Win32ServiceManager services;
      corvale::win32::Win32Registry registry;
      corvale::Win32FileSystem files;
      const std::string program = system.ProgramPath();
      const corvale::CommandOutcome outcome = corvale::RunServiceCommand(
          args, services, registry, {program, files.ShortPath(program)}, ErrorText);
      corvale::win32::WriteConsoleText(outcome.text);
      return outcome.exit_code;
    }
    if (corvale::IsSettingsCommand(args)) {
      std::vector<std::string> command = args;
      if (command.size() == 2) command[1] = FullPath(command[1]);
      corvale::win32::Win32Registry registry;
      corvale::Win32FileSystem files;
      const corvale::CommandOutcome outcome = corvale::RunSettingsCommand(
          command, registry, files, [] { return corvale::win32::SingleInstance::Running(); });
      corvale::win32::WriteConsoleText(outcome.text);
      return outcome.exit_code;
    }
  }
  // A second Corvale would fight the first over the default printer, the log and the job store.
  corvale::win32::SingleInstance instance;
  if (!instance.First()) {
    corvale::win32::SingleInstance::ActivateRunning("TForm1", "Corvale");
    return 0;
  }
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  using namespace corvale;
  win32::ServerParts parts;
  win32::Win32Dialogs dialogs;
  win32::Win32FolderBrowser folders;
  win32::Win32ServiceManager services;
  CorvalePlatform platform{parts.Platform(), dialogs, folders, services};

  TForm1 form(platform);
  win32::MainWindow window(form, parts.loop, dialogs);
  if (!window.Create()) return 1;
  parts.shell.SetOwnerWindow(window.Handle());
  folders.SetApplicationWindow(window.Handle());
  form.OnMinimize = [&window] { ShowWindow(window.Handle(), SW_MINIMIZE); };
  form.FormCreate();
  window.Show();
  win32::CloseRequestListener close_request;
  close_request.Listen(window.Handle(), win32::kCloseRequestMessage);
  return parts.loop.Run();
}
