// Worker threads, their forced termination, and the critical section.
#include "pennock/platform/win32/win32_platform.h"

namespace pennock::win32 {

// What one thread's start needs. Owned here rather than by the thread, so that a thread
// terminated in the middle of its body leaves nothing behind once it is released.
struct Win32Threads::Started {
  std::function<std::uint32_t()> body;
  varnell::win32::ScopedKernelHandle entered{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  varnell::win32::ScopedKernelHandle thread;
};

namespace {

DWORD WINAPI ThreadStart(void* parameter) {
  auto& started = *static_cast<Win32Threads::Started*>(parameter);
  SetEvent(started.entered.Get());
  return started.body();
}

bool HasEnded(HANDLE thread, DWORD timeoutMs) {
  return WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
}

class Win32CriticalSection : public CriticalSection {
 public:
  Win32CriticalSection() { InitializeCriticalSection(&section_); }
  ~Win32CriticalSection() override { DeleteCriticalSection(&section_); }
  Win32CriticalSection(const Win32CriticalSection&) = delete;
  Win32CriticalSection& operator=(const Win32CriticalSection&) = delete;
  void Enter() override { EnterCriticalSection(&section_); }
  void Leave() override { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

}  // namespace

Win32Threads::Win32Threads() = default;

Win32Threads::~Win32Threads() {
  for (auto& [handle, started] : started_) {
    // A thread that still runs keeps using its start; leave that to the end of the process.
    if (!HasEnded(started->thread.Get(), 0)) static_cast<void>(started.release());
  }
}

StartedThread Win32Threads::CreateThread(std::function<std::uint32_t()> body) {
  auto started = std::make_unique<Started>();
  if (!started->entered) return StartedThread{0, 0, GetLastError()};
  started->body = std::move(body);
  DWORD id = 0;
  started->thread.Reset(::CreateThread(nullptr, 0, &ThreadStart, started.get(), 0, &id));
  if (!started->thread) return StartedThread{0, 0, GetLastError()};
  const std::uint32_t handle = IdOf(started->thread.Get());
  started_[handle] = std::move(started);
  return StartedThread{handle, id, 0};
}

bool Win32Threads::WaitUntilEntered(std::uint32_t handle, std::uint32_t timeoutMs) {
  auto found = started_.find(handle);
  if (found == started_.end()) return false;
  return WaitForSingleObject(found->second->entered.Get(), timeoutMs) == WAIT_OBJECT_0;
}

bool Win32Threads::TerminateThread(std::uint32_t handle, std::uint32_t exitCode) {
  return ::TerminateThread(HandleOf<HANDLE>(handle), exitCode) != FALSE;
}

void Win32Threads::ReleaseThread(std::uint32_t handle, std::uint32_t timeoutMs) {
  auto found = started_.find(handle);
  if (found == started_.end()) return;
  if (!HasEnded(found->second->thread.Get(), timeoutMs)) {
    // It still runs and uses its start: only the handle is given up.
    found->second->thread.Reset();
    static_cast<void>(found->second.release());
  }
  started_.erase(found);
}

std::unique_ptr<CriticalSection> Win32Threads::CreateCriticalSection() {
  return std::make_unique<Win32CriticalSection>();
}

}  // namespace pennock::win32
