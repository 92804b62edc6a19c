// The Service Control Manager, the local security policy's account rights and the process token,
// through Win32.
#pragma once

#include "corvale/platform/service_manager.h"

namespace corvale::win32 {

class Win32ServiceManager : public ServiceManager {
 public:
  SystemError Install(const ServiceConfig& config) override;
  SystemError Remove(const std::string& name) override;
  SystemError Start(const std::string& name) override;
  SystemError Stop(const std::string& name, uint32_t wait_ms) override;
  ServiceState State(const std::string& name) override;
  std::string Account(const std::string& name) override;
  SystemError GrantServiceLogonRight(const std::string& account) override;
  bool Elevated() override;
};

}  // namespace corvale::win32
