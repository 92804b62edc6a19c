// The named mutex of the running Corvale, and the way to its window.
#include "corvale/platform/win32/single_instance.h"

namespace corvale::win32 {

namespace {

// "Local\": one per logon session, so each logged-on user has a Corvale of their own.
constexpr wchar_t kMutexName[] = L"Local\\Varnell.Corvale.Running";
// The first Corvale may still be building its window when the second one looks for it.
constexpr int kWindowTries = 50;
constexpr DWORD kWindowPollMs = 100;

}  // namespace

SingleInstance::SingleInstance() {
  mutex_ = CreateMutexW(nullptr, TRUE, kMutexName);
  const DWORD error = GetLastError();
  // A Corvale that runs elevated holds a mutex this one may not open: it runs all the same.
  first_ = mutex_ ? error != ERROR_ALREADY_EXISTS : error != ERROR_ACCESS_DENIED;
}

SingleInstance::~SingleInstance() {
  if (!mutex_) return;
  if (first_) ReleaseMutex(mutex_);
  CloseHandle(mutex_);
}

bool SingleInstance::Running() {
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kMutexName);
  if (mutex) {
    CloseHandle(mutex);
    return true;
  }
  // An elevated Corvale's mutex exists all the same.
  return GetLastError() == ERROR_ACCESS_DENIED;
}

bool SingleInstance::ActivateRunning(const char* window_class, const char* title) {
  for (int i = 0; i < kWindowTries; ++i) {
    if (HWND running = FindWindowA(window_class, title)) {
      if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
      SetForegroundWindow(running);
      return true;
    }
    Sleep(kWindowPollMs);
  }
  return false;
}

}  // namespace corvale::win32
