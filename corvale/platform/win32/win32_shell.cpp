// ShellExecuteEx with a process handle, the wait for that process and its exit code.
#include "corvale/platform/win32/win32_shell.h"

#include "common/win32/windows_support.h"

#include <objbase.h>
#include <shellapi.h>

#include "corvale/platform/win32/wide_text.h"

namespace corvale::win32 {

namespace {

// A child process inherits its parent's error mode: with these bits a print utility that
// crashes, or meets a drive that is not ready, ends with an exit code instead of waiting for a
// click on a box nobody sees.
constexpr UINT kNoErrorBoxes = SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX;

class Win32StartedProgram : public StartedProgram {
 public:
  explicit Win32StartedProgram(HANDLE process) : process_(process) {}

  bool WaitForExit(uint32_t timeout_ms) override {
    // A wait that fails cannot tell; the process is taken to have ended.
    return WaitForSingleObject(process_.Get(), timeout_ms) != WAIT_TIMEOUT;
  }

  std::optional<uint32_t> ExitCode() override {
    DWORD code = 0;
    if (!GetExitCodeProcess(process_.Get(), &code)) return std::nullopt;
    return code;
  }

  void Terminate(uint32_t exit_code) override { TerminateProcess(process_.Get(), exit_code); }

 private:
  varnell::win32::ScopedKernelHandle process_;
};

}  // namespace

std::unique_ptr<StartedProgram> Win32Shell::StartHidden(const std::string& program,
                                                        const std::string& parameters,
                                                        uint32_t& error) {
  SetErrorMode(GetErrorMode() | kNoErrorBoxes);
  // The shell may use COM; this runs on a runner thread of its own.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const std::wstring file = Wide(program);
  const std::wstring arguments = Wide(parameters);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  // No error box from the shell: a runner of an unattended server must never wait for an
  // operator; the failure is logged instead.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.hwnd = nullptr;
  info.lpVerb = nullptr;
  info.lpFile = file.c_str();
  info.lpParameters = arguments.c_str();
  info.lpDirectory = nullptr;
  info.nShow = SW_HIDE;
  error = 0;
  std::unique_ptr<StartedProgram> started;
  if (!ShellExecuteExW(&info)) {
    error = GetLastError();
    if (error == 0) error = ERROR_FILE_NOT_FOUND;
  } else if (!info.hProcess) {
    // Started through something that gives no process (a document's program already running):
    // nothing tells whether it printed.
    error = ERROR_INVALID_HANDLE;
  } else {
    started = std::make_unique<Win32StartedProgram>(info.hProcess);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return started;
}

bool Win32Shell::StartElevated(const std::string& program, const std::string& parameters) {
  const std::wstring file = Wide(program);
  const std::wstring arguments = Wide(parameters);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.hwnd = static_cast<HWND>(owner_);
  info.lpVerb = L"runas";
  info.lpFile = file.c_str();
  info.lpParameters = arguments.c_str();
  info.nShow = SW_HIDE;
  return ShellExecuteExW(&info) != FALSE;
}

void Win32Shell::OpenDocument(const std::string& path) {
  ShellExecuteW(static_cast<HWND>(owner_), L"open", Wide(path).c_str(), nullptr, nullptr, SW_SHOW);
}

}  // namespace corvale::win32
