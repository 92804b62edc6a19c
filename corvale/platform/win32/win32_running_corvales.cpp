#include "corvale/platform/win32/win32_running_corvales.h"

#include <tlhelp32.h>

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

}  // namespace corvale::win32
