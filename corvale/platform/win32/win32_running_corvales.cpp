#include "corvale/platform/win32/win32_running_corvales.h"

#include <tlhelp32.h>
#include <userenv.h>
#include <wtsapi32.h>

#include <string>

#include "corvale/platform/win32/close_request.h"
#include "corvale/service/service_names.h"
#include "corvale/platform/win32/wide_text.h"

namespace corvale::win32 {

namespace {

// The process of the Corvale service, which a service stop closes, not /Close; 0 when none runs.
DWORD ServiceProcess() {
  DWORD process = 0;
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return 0;
  if (SC_HANDLE service = OpenServiceW(manager, Wide(kServiceName).c_str(), SERVICE_QUERY_STATUS)) {
    SERVICE_STATUS_PROCESS status = {};
    DWORD size = 0;
    if (QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                             sizeof status, &size))
      process = status.dwProcessId;
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return process;
}

}  // namespace

Win32RunningCorvales::~Win32RunningCorvales() {
  if (request_) CloseHandle(request_);
}

std::vector<RunningCorvale> Win32RunningCorvales::Find() {
  std::vector<RunningCorvale> found;
  const DWORD self = GetCurrentProcessId();
  const DWORD service = ServiceProcess();
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, L"corvale.exe") != 0) continue;
    if (entry.th32ProcessID == self || entry.th32ProcessID == service) continue;
    DWORD session = 0;
    ProcessIdToSessionId(entry.th32ProcessID, &session);
    found.push_back({entry.th32ProcessID, session});
  }
  CloseHandle(snapshot);
  return found;
}

SystemError Win32RunningCorvales::AskToClose() {
  if (!request_) request_ = OpenEventW(EVENT_MODIFY_STATE, FALSE, kCloseRequestName);
  if (!request_) return GetLastError();
  return SetEvent(request_) ? 0 : GetLastError();
}

std::vector<RunningCorvale> Win32RunningCorvales::WaitForEnd(
    const std::vector<RunningCorvale>& running, uint32_t wait_ms) {
  const ULONGLONG deadline = GetTickCount64() + wait_ms;
  std::vector<RunningCorvale> left;
  for (const RunningCorvale& corvale : running) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, corvale.process_id);
    if (!process) continue;  // ended already
    const ULONGLONG now = GetTickCount64();
    const DWORD wait = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    if (WaitForSingleObject(process, wait) != WAIT_OBJECT_0) left.push_back(corvale);
    CloseHandle(process);
  }
  return left;
}

void Win32RunningCorvales::StopAsking() {
  if (request_) ResetEvent(request_);
}

namespace {

struct Started {
  PROCESS_INFORMATION process = {};
  DWORD error = 0;
  ~Started() {
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
  }
};

// As the user of `session`: only the system may ask for that user's token.
bool StartAsSessionUser(uint32_t session, const std::wstring& program, std::wstring command,
                        Started& started) {
  HANDLE token = nullptr;
  if (!WTSQueryUserToken(session, &token)) return false;
  void* environment = nullptr;
  if (!CreateEnvironmentBlock(&environment, token, FALSE)) environment = nullptr;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.lpDesktop = const_cast<wchar_t*>(L"winsta0\\default");
  if (!CreateProcessAsUserW(token, program.c_str(), command.data(), nullptr, nullptr, FALSE,
                            CREATE_UNICODE_ENVIRONMENT, environment, nullptr, &startup,
                            &started.process))
    started.error = GetLastError();
  if (environment) DestroyEnvironmentBlock(environment);
  CloseHandle(token);
  return true;
}

// As the user of this desktop's shell: a setup that runs elevated, with an administrator's
// credentials perhaps, starts the operator's Corvale, not an elevated one of the administrator.
bool StartAsShellUser(const std::wstring& program, std::wstring command, Started& started) {
  DWORD shell_process = 0;
  if (HWND shell = GetShellWindow()) GetWindowThreadProcessId(shell, &shell_process);
  if (!shell_process) return false;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shell_process);
  if (!process) return false;
  HANDLE token = nullptr, primary = nullptr;
  bool started_ok = false;
  if (OpenProcessToken(process, TOKEN_DUPLICATE, &token) &&
      DuplicateTokenEx(token, TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY |
                                  TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID,
                       nullptr, SecurityImpersonation, TokenPrimary, &primary)) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    started_ok = CreateProcessWithTokenW(primary, 0, program.c_str(), command.data(), 0, nullptr,
                                    nullptr, &startup, &started.process) != FALSE;
  }
  if (primary) CloseHandle(primary);
  if (token) CloseHandle(token);
  CloseHandle(process);
  return started_ok;
}

}  // namespace

SystemError Win32RunningCorvales::StartIn(uint32_t session) {
  std::wstring program(32768, L'\0');
  program.resize(GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size())));
  const std::wstring command = L"\"" + program + L"\" /LaunchOnStartup";
  Started started;
  if (StartAsSessionUser(session, program, command, started)) return started.error;
  DWORD own = 0;
  ProcessIdToSessionId(GetCurrentProcessId(), &own);
  if (session != own) return ERROR_ACCESS_DENIED;
  if (StartAsShellUser(program, command, started)) return 0;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::wstring line = command;
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &started.process))
    return GetLastError();
  return 0;
}

}  // namespace corvale::win32
