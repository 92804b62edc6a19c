// The Corvale windows that run on this computer, in every session, as a deployment script sees
// them: found, asked to close through their own close path, and waited for.
#pragma once

#include <cstdint>
#include <vector>

#include "corvale/platform/file_system.h"

namespace corvale {

struct RunningCorvale {
  uint32_t process_id = 0;
  uint32_t session_id = 0;
};

class RunningCorvales {
 public:
  virtual ~RunningCorvales() = default;
  // Every corvale.exe that runs a window: neither this process nor the Corvale service.
  virtual std::vector<RunningCorvale> Find() = 0;
  // Asks each of them to close (0 once asked; the system's error otherwise, ERROR_FILE_NOT_FOUND
  // when none listens).
  virtual SystemError AskToClose() = 0;
  // Waits up to `wait_ms` for the processes to end; returns those that still run.
  virtual std::vector<RunningCorvale> WaitForEnd(const std::vector<RunningCorvale>& running,
                                                 uint32_t wait_ms) = 0;
  // A Corvale started from now on is not asked any more.
  virtual void StopAsking() = 0;
  // Starts "corvale.exe /LaunchOnStartup" for the user of session `session`, as that user, where
  // this process may (it runs as the system, or in that session).
  virtual SystemError StartIn(uint32_t session) = 0;
};

}  // namespace corvale
