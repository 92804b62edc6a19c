// Five change notifications and a stop event per watched folder; reports to a message-only
// window on the main thread.
#include "corvale/platform/win32/win32_folder_watch.h"

#include "common/win32/windows_support.h"

namespace corvale::win32 {

namespace {

constexpr char kClassName[] = "CorvaleFolderNotifier";

class Win32ChangeWaiter : public FolderChangeWaiter {
 public:
  explicit Win32ChangeWaiter(const std::string& folder) : folder_(folder) {
    for (int i = 0; i < kFileChangeKinds; ++i) {
      handles_[i] = FindFirstChangeNotificationA(folder.c_str(), FALSE, kChangeFilters[i]);
    }
    handles_[kFileChangeKinds] = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  }
  ~Win32ChangeWaiter() override {
    for (int i = 0; i < kFileChangeKinds; ++i) {
      if (handles_[i] != INVALID_HANDLE_VALUE) FindCloseChangeNotification(handles_[i]);
    }
    if (handles_[kFileChangeKinds]) CloseHandle(handles_[kFileChangeKinds]);
  }

  Outcome Wait(uint32_t timeout_ms, int& which) override {
    // A notification that could not be opened makes the wait fail, which ends the watcher.
    DWORD result = WaitForMultipleObjects(kFileChangeKinds + 1, handles_, FALSE, timeout_ms);
    if (result < WAIT_OBJECT_0 + kFileChangeKinds) {
      which = static_cast<int>(result - WAIT_OBJECT_0);
      return Outcome::kChange;
    }
    if (result == WAIT_OBJECT_0 + kFileChangeKinds) return Outcome::kStop;
    if (result == WAIT_TIMEOUT) return Outcome::kTimeout;
    return Outcome::kFailed;
  }

  bool Rearm(int which) override { return FindNextChangeNotification(handles_[which]) != 0; }

  bool FolderIsDirectory() override {
    DWORD attributes = GetFileAttributesA(folder_.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  void SignalStop() override { SetEvent(handles_[kFileChangeKinds]); }

 private:
  std::string folder_;
  HANDLE handles_[kFileChangeKinds + 1];
};

LRESULT CALLBACK NotifierWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_FOLDERCHANGED || message == WM_FOLDERDELETED) {
    auto* watch = reinterpret_cast<Win32FolderWatch*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (watch && watch->Notifier())
      watch->Notifier()->HandleMessage(message, static_cast<uintptr_t>(wparam),
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

void Win32FolderWatch::Post(uint32_t message, uintptr_t watcher, uint32_t filters) {
  PostMessageA(static_cast<HWND>(window_), message, static_cast<WPARAM>(watcher),
               static_cast<LPARAM>(filters));
}

void Win32FolderWatch::RemovePending(uint32_t message) {
  MSG pending;
  while (PeekMessageA(&pending, static_cast<HWND>(window_), message, message, PM_REMOVE)) {
  }
}

}  // namespace corvale::win32
