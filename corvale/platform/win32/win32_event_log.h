// The Windows Event Log behind Corvale's EventLog interface: the Application log, under the
// event source "Corvale" when the setup has registered it.
#pragma once

#include <mutex>

#include "common/win32/windows_support.h"
#include "corvale/platform/event_log.h"

namespace corvale::win32 {

class Win32EventLog : public EventLog {
 public:
  Win32EventLog() = default;
  ~Win32EventLog() override;
  Win32EventLog(const Win32EventLog&) = delete;
  Win32EventLog& operator=(const Win32EventLog&) = delete;

  bool Write(EventKind kind, EventId id, const std::string& text) override;

 private:
  std::mutex mutex_;
  bool looked_ = false;      // mutex_
  HANDLE source_ = nullptr;  // mutex_: null while the source is not registered
};

}  // namespace corvale::win32
