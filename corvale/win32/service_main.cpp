// The service's dispatcher, its control handler and status reports, and the thread that hosts the
// print server: its message loop, a tick every second, and the requests to stop posted to it.
#include "corvale/win32/service_main.h"

#include "common/win32/windows_support.h"

#include <mutex>

#include "corvale/platform/win32/win32_event_log.h"
#include "corvale/platform/win32/win32_event_loop.h"
#include "corvale/platform/win32/win32_file_system.h"
#include "corvale/platform/win32/win32_folder_watch.h"
#include "corvale/platform/win32/win32_printers.h"
#include "corvale/platform/win32/win32_registry.h"
#include "corvale/platform/win32/win32_shell.h"
#include "corvale/platform/win32/win32_system.h"
#include "corvale/platform/win32/wide_text.h"
#include "corvale/service/service_host.h"
#include "corvale/service/service_names.h"
#include "corvale/win32/console_text.h"
#include "corvale/win32/server_parts.h"

namespace corvale::win32 {

namespace {

constexpr UINT kTickMs = 1000;

// The service's thread's loop and host, for the control handler (another thread) and the timer.
std::mutex g_mutex;
Win32EventLoop* g_loop = nullptr;
ServiceHost* g_host = nullptr;

class ScmStatus : public ServiceStatusSink {
 public:
  explicit ScmStatus(SERVICE_STATUS_HANDLE handle) : handle_(handle) {}
  void Report(ServiceReport state, uint32_t wait_hint_ms) override {
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    const bool pending =
        state == ServiceReport::kStartPending || state == ServiceReport::kStopPending;
    switch (state) {
      case ServiceReport::kStartPending:
        status.dwCurrentState = SERVICE_START_PENDING;
        break;
      case ServiceReport::kRunning:
        status.dwCurrentState = SERVICE_RUNNING;
        status.dwControlsAccepted =
            SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN;
        break;
      case ServiceReport::kStopPending:
        status.dwCurrentState = SERVICE_STOP_PENDING;
        break;
      case ServiceReport::kStopped:
        status.dwCurrentState = SERVICE_STOPPED;
        break;
    }
    status.dwCheckPoint = pending ? ++checkpoint_ : 0;
    status.dwWaitHint = wait_hint_ms;
    SetServiceStatus(handle_, &status);
  }

 private:
  SERVICE_STATUS_HANDLE handle_;
  DWORD checkpoint_ = 0;
};

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  ServiceStop reason;
  switch (control) {
    case SERVICE_CONTROL_STOP:
      reason = ServiceStop::kStop;
      break;
    case SERVICE_CONTROL_SHUTDOWN:
      reason = ServiceStop::kShutdown;
      break;
    case SERVICE_CONTROL_PRESHUTDOWN:
      reason = ServiceStop::kPreshutdown;
      break;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
  std::lock_guard lock(g_mutex);
  if (!g_loop) return NO_ERROR;
  g_loop->PostToMain([reason] {
    if (g_host) g_host->End(reason);
    PostQuitMessage(0);
  });
  return NO_ERROR;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_host) g_host->Tick();
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
  SERVICE_STATUS_HANDLE handle =
      RegisterServiceCtrlHandlerExW(Wide(kServiceName).c_str(), Handler, nullptr);
  if (!handle) return;
  ServerParts parts;
  Win32EventLoop& loop = parts.loop;
  ServerPlatform platform = parts.Platform();
  ScmStatus status(handle);
  {
    ServiceHost host(platform, status);
    {
      std::lock_guard lock(g_mutex);
      g_loop = &loop;
      g_host = &host;
    }
    host.Begin();
    const UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, Tick);
    while (!host.Ended()) loop.Run();
    KillTimer(nullptr, timer);
    std::lock_guard lock(g_mutex);
    g_loop = nullptr;
    g_host = nullptr;
  }
}

}  // namespace

int RunAsService() {
  std::wstring name = Wide(kServiceName);
  SERVICE_TABLE_ENTRYW table[] = {{name.data(), ServiceMain}, {nullptr, nullptr}};
  if (StartServiceCtrlDispatcherW(table)) return 0;
  if (GetLastError() == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
    WriteConsoleText(
        "corvale.exe /Service is how Windows starts the Corvale service; it is not started by "
        "hand. Install the service with corvale.exe /InstallService /Account:NAME "
        "/Password:SECRET (in an elevated prompt), then start it with: net start Corvale");
  } else {
    WriteConsoleText("The Corvale service cannot start: " + SystemErrorTextUtf8(GetLastError()));
  }
  return 1;
}

}  // namespace corvale::win32
