// The Corvale windows of the computer as Windows lists its processes, asked to close through
// the global close request.
#pragma once

#include "common/win32/windows_support.h"
#include "corvale/platform/running_corvales.h"

namespace corvale::win32 {

class Win32RunningCorvales : public RunningCorvales {
 public:
  Win32RunningCorvales() = default;
  ~Win32RunningCorvales() override;
  Win32RunningCorvales(const Win32RunningCorvales&) = delete;
  Win32RunningCorvales& operator=(const Win32RunningCorvales&) = delete;

  std::vector<RunningCorvale> Find() override;
  SystemError AskToClose() override;
  std::vector<RunningCorvale> WaitForEnd(const std::vector<RunningCorvale>& running,
                                         uint32_t wait_ms) override;
  void StopAsking() override;
  SystemError StartIn(uint32_t session) override;

 private:
  HANDLE request_ = nullptr;
};

}  // namespace corvale::win32
