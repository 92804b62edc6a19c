// Five change notifications and a stop event per watched folder, opened through the wide calls;
// reports go to a message-only window on the main thread.
#include "corvale/platform/win32/win32_folder_watch.h"

#include <vector>

#include "common/win32/windows_support.h"
#include "corvale/platform/win32/wide_text.h"

namespace corvale::win32 {

namespace {

constexpr char kClassName[] = "CorvaleFolderNotifier";

using varnell::win32::ScopedChangeHandle;
using varnell::win32::ScopedKernelHandle;

class Win32ChangeWaiter : public FolderChangeWaiter {
 public:
  explicit Win32ChangeWaiter(const std::string& folder) : folder_(Wide(folder)) {
    for (int i = 0; i < kFileChangeKinds; ++i) {
      changes_[i].Reset(FindFirstChangeNotificationW(folder_.c_str(), FALSE, kChangeFilters[i]));
      if (!changes_[i] && !failure_) failure_ = LastErrorOrGeneral();
    }
    stop_.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!stop_ && !failure_) failure_ = LastErrorOrGeneral();
  }

  Outcome Wait(uint32_t timeout_ms, int& which) override {
    // A watch that could not be opened never waits: the invalid handle value is also the
    // process's own pseudo-handle, which would be waited on for ever.
    if (failure_) return Outcome::kFailed;
    HANDLE handles[kFileChangeKinds + 1];
    for (int i = 0; i < kFileChangeKinds; ++i) handles[i] = changes_[i].Get();
    handles[kFileChangeKinds] = stop_.Get();
    const DWORD result = WaitForMultipleObjects(kFileChangeKinds + 1, handles, FALSE, timeout_ms);
    if (result < WAIT_OBJECT_0 + kFileChangeKinds) {
      which = static_cast<int>(result - WAIT_OBJECT_0);
      return Outcome::kChange;
    }
    if (result == WAIT_OBJECT_0 + kFileChangeKinds) return Outcome::kStop;
    if (result == WAIT_TIMEOUT) return Outcome::kTimeout;
    failure_ = result == WAIT_FAILED ? LastErrorOrGeneral() : ERROR_ABANDONED_WAIT_0;
    return Outcome::kFailed;
  }

  bool Rearm(int which) override {
    if (FindNextChangeNotification(changes_[which].Get())) return true;
    failure_ = LastErrorOrGeneral();
    return false;
  }

  uint32_t FailureCode() override { return failure_; }

  bool FolderIsDirectory() override {
    DWORD attributes = GetFileAttributesW(folder_.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  void SignalStop() override {
    if (stop_) SetEvent(stop_.Get());
  }

 private:
  static DWORD LastErrorOrGeneral() {
    const DWORD error = GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
  }

  std::wstring folder_;
  ScopedChangeHandle changes_[kFileChangeKinds];
  ScopedKernelHandle stop_;
  DWORD failure_ = 0;
};

LRESULT CALLBACK NotifierWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_FOLDERCHANGED || message == WM_FOLDERDELETED ||
      message == WM_FOLDERWATCHFAILED) {
    auto* watch = reinterpret_cast<Win32FolderWatch*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (watch && watch->Handler())
      watch->Handler()->HandleMessage(message, static_cast<uintptr_t>(wparam),
                                      static_cast<uint32_t>(lparam));
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

Win32FolderWatch::Win32FolderWatch() {
  window_ = varnell::win32::CreateMessageWindow(kClassName, NotifierWindowProc, this);
}

Win32FolderWatch::~Win32FolderWatch() {
  if (window_) DestroyWindow(static_cast<HWND>(window_));
}

std::unique_ptr<FolderChangeWaiter> Win32FolderWatch::CreateWaiter(const std::string& folder) {
  return std::make_unique<Win32ChangeWaiter>(folder);
}

void Win32FolderWatch::LowerCurrentThreadPriority() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
}

void Win32FolderWatch::Post(uint32_t message, uintptr_t watcher, uint32_t data) {
  PostMessageA(static_cast<HWND>(window_), message, static_cast<WPARAM>(watcher),
               static_cast<LPARAM>(data));
}

void Win32FolderWatch::RemovePending(uint32_t message, uintptr_t watcher) {
  HWND window = static_cast<HWND>(window_);
  std::vector<MSG> others;
  MSG pending;
  while (PeekMessageA(&pending, window, message, message, PM_REMOVE)) {
    if (pending.wParam != static_cast<WPARAM>(watcher)) others.push_back(pending);
  }
  // The other folders' reports go back into the queue, in the order they came.
  for (const MSG& kept : others) PostMessageA(window, kept.message, kept.wParam, kept.lParam);
}

}  // namespace corvale::win32
