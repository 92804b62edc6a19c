// Creating, configuring, starting, stopping, asking after and deleting a service; the "log on as a
// service" right through the LSA policy; the token's elevation.
#include "corvale/platform/win32/win32_service_manager.h"

#include "common/win32/windows_support.h"

#include <ntsecapi.h>
#include <sddl.h>

#include <memory>
#include <vector>

#include "corvale/platform/win32/wide_text.h"

namespace corvale::win32 {

namespace {

constexpr DWORD kPollMs = 200;

struct ServiceHandleCloser {
  void operator()(SC_HANDLE handle) const {
    if (handle) CloseServiceHandle(handle);
  }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

ServiceHandle OpenManager(DWORD access) {
  return ServiceHandle(OpenSCManagerW(nullptr, nullptr, access));
}

ServiceHandle OpenService(const std::string& name, DWORD access, SystemError& error) {
  ServiceHandle manager = OpenManager(SC_MANAGER_CONNECT);
  if (!manager) {
    error = GetLastError();
    return nullptr;
  }
  ServiceHandle service(OpenServiceW(manager.get(), Wide(name).c_str(), access));
  error = service ? 0 : GetLastError();
  return service;
}

bool Query(SC_HANDLE service, SERVICE_STATUS_PROCESS& status) {
  DWORD needed = 0;
  return QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof status, &needed) != FALSE;
}

// "a", "b" as the double-NUL-ended list CreateService takes.
std::wstring MultiString(const std::vector<std::string>& items) {
  std::wstring list;
  for (const std::string& item : items) {
    list += Wide(item);
    list += L'\0';
  }
  list += L'\0';
  return list;
}

}  // namespace

SystemError Win32ServiceManager::Install(const ServiceConfig& config) {
  ServiceHandle manager = OpenManager(SC_MANAGER_CREATE_SERVICE | SC_MANAGER_CONNECT);
  if (!manager) return GetLastError();
  const std::wstring dependencies = MultiString(config.dependencies);
  const std::wstring account = Wide(config.account);
  const std::wstring password = Wide(config.password);
  ServiceHandle service(CreateServiceW(
      manager.get(), Wide(config.name).c_str(), Wide(config.display_name).c_str(),
      SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
      Wide(config.command_line).c_str(), nullptr, nullptr, dependencies.c_str(),
      account.empty() ? nullptr : account.c_str(), password.c_str()));
  if (!service) return GetLastError();

  // What follows is refinement: a system that takes less of it still runs the service.
  std::wstring description = Wide(config.description);
  SERVICE_DESCRIPTIONW text = {description.data()};
  ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &text);
  SERVICE_DELAYED_AUTO_START_INFO delayed = {config.delayed_auto_start};
  ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed);
  if (config.restart_delay_ms > 0) {
    SC_ACTION actions[3] = {{SC_ACTION_RESTART, config.restart_delay_ms},
                            {SC_ACTION_RESTART, config.restart_delay_ms},
                            {SC_ACTION_RESTART, config.restart_delay_ms}};
    SERVICE_FAILURE_ACTIONSW failure = {};
    failure.dwResetPeriod = 24 * 60 * 60;
    failure.cActions = 3;
    failure.lpsaActions = actions;
    ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS, &failure);
  }
  if (!config.security.empty()) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(
            Wide(config.security).c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
      SetServiceObjectSecurity(service.get(), DACL_SECURITY_INFORMATION, descriptor);
      LocalFree(descriptor);
    }
  }
  return 0;
}

SystemError Win32ServiceManager::Remove(const std::string& name) {
  SystemError error = 0;
  ServiceHandle service = OpenService(name, DELETE, error);
  if (!service) return error;
  return DeleteService(service.get()) ? 0 : GetLastError();
}

SystemError Win32ServiceManager::Start(const std::string& name) {
  SystemError error = 0;
  ServiceHandle service = OpenService(name, SERVICE_START, error);
  if (!service) return error;
  return StartServiceW(service.get(), 0, nullptr) ? 0 : GetLastError();
}

SystemError Win32ServiceManager::Stop(const std::string& name, uint32_t wait_ms) {
  SystemError error = 0;
  ServiceHandle service = OpenService(name, SERVICE_STOP | SERVICE_QUERY_STATUS, error);
  if (!service) return error;
  SERVICE_STATUS status = {};
  if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) return GetLastError();
  const ULONGLONG end = GetTickCount64() + wait_ms;
  SERVICE_STATUS_PROCESS now = {};
  while (Query(service.get(), now) && now.dwCurrentState != SERVICE_STOPPED) {
    if (GetTickCount64() >= end) return ERROR_TIMEOUT;
    Sleep(kPollMs);
  }
  return 0;
}

ServiceState Win32ServiceManager::State(const std::string& name) {
  SystemError error = 0;
  ServiceHandle service = OpenService(name, SERVICE_QUERY_STATUS, error);
  if (!service)
    return error == ERROR_SERVICE_DOES_NOT_EXIST ? ServiceState::kNotInstalled
                                                 : ServiceState::kOther;
  SERVICE_STATUS_PROCESS status = {};
  if (!Query(service.get(), status)) return ServiceState::kOther;
  switch (status.dwCurrentState) {
    case SERVICE_STOPPED:
      return ServiceState::kStopped;
    case SERVICE_START_PENDING:
      return ServiceState::kStartPending;
    case SERVICE_STOP_PENDING:
      return ServiceState::kStopPending;
    case SERVICE_RUNNING:
      return ServiceState::kRunning;
    default:
      return ServiceState::kOther;
  }
}

std::string Win32ServiceManager::Account(const std::string& name) {
  SystemError error = 0;
  ServiceHandle service = OpenService(name, SERVICE_QUERY_CONFIG, error);
  if (!service) return std::string();
  DWORD needed = 0;
  QueryServiceConfigW(service.get(), nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (needed == 0 || !QueryServiceConfigW(service.get(), config, needed, &needed))
    return std::string();
  return config->lpServiceStartName ? Utf8(config->lpServiceStartName) : std::string();
}

SystemError Win32ServiceManager::GrantServiceLogonRight(const std::string& account) {
  std::wstring name = Wide(account);
  // ".\name" is this computer's account, which LookupAccountName knows by its bare name.
  if (name.rfind(L".\\", 0) == 0) name = name.substr(2);
  DWORD sid_size = 0;
  DWORD domain_size = 0;
  SID_NAME_USE use;
  LookupAccountNameW(nullptr, name.c_str(), nullptr, &sid_size, nullptr, &domain_size, &use);
  if (sid_size == 0) return GetLastError();
  std::vector<BYTE> sid(sid_size);
  std::wstring domain(domain_size, L'\0');
  if (!LookupAccountNameW(nullptr, name.c_str(), sid.data(), &sid_size, domain.data(), &domain_size,
                          &use))
    return GetLastError();
  LSA_OBJECT_ATTRIBUTES attributes = {};
  LSA_HANDLE policy = nullptr;
  NTSTATUS status =
      LsaOpenPolicy(nullptr, &attributes, POLICY_CREATE_ACCOUNT | POLICY_LOOKUP_NAMES, &policy);
  if (status != 0) return LsaNtStatusToWinError(status);
  wchar_t right[] = L"SeServiceLogonRight";
  LSA_UNICODE_STRING rights = {static_cast<USHORT>(sizeof right - sizeof(wchar_t)),
                               static_cast<USHORT>(sizeof right), right};
  status = LsaAddAccountRights(policy, sid.data(), &rights, 1);
  LsaClose(policy);
  return status == 0 ? 0 : LsaNtStatusToWinError(status);
}

bool Win32ServiceManager::Elevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  const bool elevated =
      GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
      elevation.TokenIsElevated;
  CloseHandle(token);
  return elevated;
}

}  // namespace corvale::win32
