// Threads and the critical section of the monitor: creating the workers, terminating them at
// the end, and the lock the workers share. Called from the main thread; the lock from workers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace pennock {

// InitializeCriticalSection on construction, DeleteCriticalSection on destruction.
class CriticalSection {
 public:
  virtual ~CriticalSection() = default;
  virtual void Enter() = 0;
  virtual void Leave() = 0;
};

// CreateThread's results: a handle of 0 means failure, and Error is the system error code.
struct StartedThread {
  std::uint32_t Handle = 0;
  std::uint32_t Id = 0;
  std::uint32_t Error = 0;
};

class Threads {
 public:
  virtual ~Threads() = default;
  // Starts `body` at once on a new thread with the default stack; its result is the exit code.
  // The first thing the new thread does is to mark that it has entered its body.
  virtual StartedThread CreateThread(std::function<std::uint32_t()> body) = 0;
  // Waits at most `timeoutMs` until the thread has entered its body. A thread still inside its
  // start-up must not be terminated: that can crash or hang the whole process. False on
  // time-out and for a handle that this object did not create.
  virtual bool WaitUntilEntered(std::uint32_t handle, std::uint32_t timeoutMs) = 0;
  // Forces the thread to end wherever it is; false when that fails.
  virtual bool TerminateThread(std::uint32_t handle, std::uint32_t exitCode) = 0;
  // Gives the thread up: waits at most `timeoutMs` for it to end, closes its handle and, once
  // it has ended, frees what its start left behind. Unknown handles are ignored.
  virtual void ReleaseThread(std::uint32_t handle, std::uint32_t timeoutMs) = 0;
  virtual std::unique_ptr<CriticalSection> CreateCriticalSection() = 0;
};

}  // namespace pennock
