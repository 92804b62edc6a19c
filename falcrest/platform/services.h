// The service control manager as the installer uses it to stop and start the print spooler.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "falcrest/platform/outcome.h"

namespace falcrest {

constexpr uint32_t kScManagerAllAccess = 0xF003F;
constexpr uint32_t kServiceStop = 0x20;
constexpr uint32_t kServiceQueryStatus = 0x4;
constexpr uint32_t kServiceEnumerateDependents = 0x8;
constexpr uint32_t kServiceAllAccess = 0xF01FF;
constexpr uint32_t kServiceControlStop = 1;
constexpr uint32_t kServiceActive = 1;

constexpr uint32_t kServiceStopped = 1;
constexpr uint32_t kServiceStartPending = 2;
constexpr uint32_t kServiceStopPending = 3;
constexpr uint32_t kServiceRunning = 4;

// The fields of SERVICE_STATUS_PROCESS (and of SERVICE_STATUS) that the installer reads.
struct ServiceStatus {
  uint32_t CurrentState = 0;
  uint32_t Win32ExitCode = 0;
  uint32_t CheckPoint = 0;
  uint32_t WaitHint = 0;  // milliseconds
};

// An open service; CloseServiceHandle when destroyed.
class Service {
 public:
  virtual ~Service() = default;
  // QueryServiceStatusEx at SC_STATUS_PROCESS_INFO; `status` is left as it was on failure.
  virtual Outcome QueryStatus(ServiceStatus& status) = 0;
  // ControlService; `status` receives the reported status on success.
  virtual Outcome SendControl(uint32_t control, ServiceStatus& status) = 0;
  // EnumDependentServicesW into a zeroed heap buffer of `buffer_bytes` (none when 0); `needed`
  // receives the bytes the list takes, `names` the services' names on success.
  virtual Outcome EnumDependents(uint32_t state, uint32_t buffer_bytes, uint32_t& needed,
                                 std::vector<std::u16string>& names) = 0;
  // StartServiceW without arguments.
  virtual Outcome StartWithoutArguments() = 0;
};

// An open connection to the service control manager; CloseServiceHandle when destroyed.
class ServiceControlManager {
 public:
  virtual ~ServiceControlManager() = default;
  // OpenServiceW.
  virtual Outcome OpenServiceByName(const std::u16string& name, uint32_t access,
                                    std::unique_ptr<Service>& service) = 0;
};

class ServiceManagerApi {
 public:
  virtual ~ServiceManagerApi() = default;
  // OpenSCManagerW(NULL, NULL, access).
  virtual Outcome OpenManager(uint32_t access, std::unique_ptr<ServiceControlManager>& manager) = 0;
};

}  // namespace falcrest
