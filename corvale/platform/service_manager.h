// The Service Control Manager as Corvale uses it: its own service installed and removed, started,
// stopped and asked after; the account right a service account needs; whether this process runs
// elevated. Names and accounts are UTF-8. Safe for use from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "corvale/platform/file_system.h"

namespace corvale {

enum class ServiceState { kNotInstalled, kStopped, kStartPending, kStopPending, kRunning, kOther };

struct ServiceConfig {
  std::string name;
  std::string display_name;
  std::string description;
  std::string command_line;  // the program in quotes, then its arguments
  std::string account;       // DOMAIN\name, or .\name for a local account
  std::string password;
  std::vector<std::string> dependencies;
  // Started by itself after the system's start, a while after the other automatic services.
  bool delayed_auto_start = true;
  // Started again this long after it ended without being stopped; 0: not.
  uint32_t restart_delay_ms = 60000;
  // Who may do what with it, in the system's security descriptor language; empty: the default.
  std::string security;
};

class ServiceManager {
 public:
  virtual ~ServiceManager() = default;
  virtual SystemError Install(const ServiceConfig& config) = 0;
  // Marks the service for deletion; it goes once it has stopped.
  virtual SystemError Remove(const std::string& name) = 0;
  virtual SystemError Start(const std::string& name) = 0;
  // Asks it to stop and waits up to `wait_ms` until it has; 1062 when it was not running, 1460
  // when it still runs after the wait.
  virtual SystemError Stop(const std::string& name, uint32_t wait_ms) = 0;
  virtual ServiceState State(const std::string& name) = 0;
  // The account it runs as; empty when it is not installed.
  virtual std::string Account(const std::string& name) = 0;
  // Gives `account` the right to log on as a service.
  virtual SystemError GrantServiceLogonRight(const std::string& account) = 0;
  // Whether this process runs with an administrator's full rights.
  virtual bool Elevated() = 0;
};

}  // namespace corvale
