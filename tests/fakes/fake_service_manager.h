// The Service Control Manager as a recording fake: one service at most, whose state the test
// sets, every call recorded; Start and Stop take effect at once unless told to fail.
// Safe for use from any thread.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "corvale/platform/service_manager.h"

namespace corvale::testing {

class FakeServiceManager : public ServiceManager {
 public:
  bool elevated = true;
  // The error of the next calls of each kind (0: they work).
  SystemError start_error = 0;
  SystemError stop_error = 0;
  SystemError install_error = 0;
  SystemError grant_error = 0;

  SystemError Install(const ServiceConfig& config) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("install " + config.name + " as " + config.account);
    if (install_error) return install_error;
    if (installed_) return 1073;
    installed_ = config;
    state_ = ServiceState::kStopped;
    return 0;
  }
  SystemError Remove(const std::string& name) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("remove " + name);
    if (!installed_) return 1060;
    installed_.reset();
    state_ = ServiceState::kNotInstalled;
    return 0;
  }
  SystemError Start(const std::string& name) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("start " + name);
    if (start_error) return start_error;
    if (!installed_) return 1060;
    if (state_ == ServiceState::kRunning) return 1056;
    state_ = ServiceState::kRunning;
    return 0;
  }
  SystemError Stop(const std::string& name, uint32_t wait_ms) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("stop " + name + " waiting " + std::to_string(wait_ms));
    if (stop_error) return stop_error;
    if (!installed_) return 1060;
    if (state_ != ServiceState::kRunning) return 1062;
    state_ = ServiceState::kStopped;
    return 0;
  }
  ServiceState State(const std::string&) override {
    std::lock_guard lock(mutex_);
    return state_;
  }
  std::string Account(const std::string&) override {
    std::lock_guard lock(mutex_);
    return installed_ ? installed_->account : std::string();
  }
  SystemError GrantServiceLogonRight(const std::string& account) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("grant " + account);
    return grant_error;
  }
  bool Elevated() override { return elevated; }

  // The test's own hand on the service.
  void SetInstalled(const std::string& account, ServiceState state) {
    std::lock_guard lock(mutex_);
    installed_ = ServiceConfig{};
    installed_->account = account;
    state_ = state;
  }
  std::optional<ServiceConfig> Installed() const {
    std::lock_guard lock(mutex_);
    return installed_;
  }
  std::vector<std::string> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  mutable std::mutex mutex_;
  std::optional<ServiceConfig> installed_;
  ServiceState state_ = ServiceState::kNotInstalled;
  std::vector<std::string> calls_;
};

}  // namespace corvale::testing
