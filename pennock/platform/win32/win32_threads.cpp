// Worker threads, their forced termination, and the critical section.
#include "pennock/platform/win32/win32_platform.h"

namespace pennock::win32 {
namespace {

using Body = std::function<std::uint32_t()>;

DWORD WINAPI ThreadStart(void* parameter) {
  std::unique_ptr<Body> body(static_cast<Body*>(parameter));
  return (*body)();
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

StartedThread Win32Threads::CreateThread(std::function<std::uint32_t()> body) {
  auto owned = std::make_unique<Body>(std::move(body));
  DWORD id = 0;
  HANDLE thread = ::CreateThread(nullptr, 0, &ThreadStart, owned.get(), 0, &id);
  if (thread == nullptr) return StartedThread{0, 0, GetLastError()};
  owned.release();
  return StartedThread{IdOf(thread), id, 0};
}

bool Win32Threads::TerminateThread(std::uint32_t handle, std::uint32_t exitCode) {
  return ::TerminateThread(HandleOf<HANDLE>(handle), exitCode) != FALSE;
}

std::unique_ptr<CriticalSection> Win32Threads::CreateCriticalSection() {
  return std::make_unique<Win32CriticalSection>();
}

}  // namespace pennock::win32
