// Watching folders for changes: the waits of a watcher thread on one folder, and the hidden
// message window through which watchers report to the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace corvale {

constexpr int kFileChangeKinds = 5;
// The directory change filter bound to each change kind (directory name, file name, attributes,
// last write, size), in the order of the notifier's change kinds.
constexpr uint32_t kChangeFilters[kFileChangeKinds] = {2, 1, 4, 16, 8};

// Receives the message window's messages on the main thread.
class FolderMessageHandler {
 public:
  virtual ~FolderMessageHandler() = default;
  virtual void HandleMessage(uint32_t message, uintptr_t watcher, uint32_t data) = 0;
};

constexpr uint32_t WM_FOLDERCHANGED = 0x0400 + 2;
constexpr uint32_t WM_FOLDERDELETED = 0x0400 + 3;
// A watch that ended on its own: lParam the system's error code of the failure.
constexpr uint32_t WM_FOLDERWATCHFAILED = 0x0400 + 4;
constexpr uint32_t kInfinite = 0xFFFFFFFF;

// The waits of one watcher: five change notifications on the folder, one per change kind in
// the order of kChangeFilters, and an auto-reset stop event. Used on the watcher thread, except
// SignalStop, which any thread may call.
class FolderChangeWaiter {
 public:
  enum class Outcome { kChange, kStop, kTimeout, kFailed };
  virtual ~FolderChangeWaiter() = default;
  // Waits for any of the six handles; on kChange, `which` is the change kind's index.
  virtual Outcome Wait(uint32_t timeout_ms, int& which) = 0;
  virtual bool Rearm(int which) = 0;
  // The system's error code of the failure that made Wait give kFailed or Rearm give false
  // (a notification that could not be opened counts as such a failure).
  virtual uint32_t FailureCode() = 0;
  virtual bool FolderIsDirectory() = 0;
  virtual void SignalStop() = 0;
};

// The notifier's hidden message window: watchers post to it from their threads, and the main
// thread hands each message to the attached handler in arrival order.
class NotifierWindow {
 public:
  virtual ~NotifierWindow() = default;
  // `data`: the filters of a change report, the error code of a failed watch, else 0.
  virtual void Post(uint32_t message, uintptr_t watcher, uint32_t data) = 0;
  // Main thread: removes every pending message of this kind from this watcher without handling
  // it; the messages of other watchers stay, in their order.
  virtual void RemovePending(uint32_t message, uintptr_t watcher) = 0;
};

class FolderWatchPlatform {
 public:
  virtual ~FolderWatchPlatform() = default;
  // Opens the five change notifications on exactly `folder` (they may fail to open; the
  // watcher then ends at its first wait).
  virtual std::unique_ptr<FolderChangeWaiter> CreateWaiter(const std::string& folder) = 0;
  // Called on a watcher thread as it starts.
  virtual void LowerCurrentThreadPriority() = 0;
  virtual NotifierWindow& Window() = 0;
  // The receiver of the window's messages, from its creation to its destruction.
  virtual void Attach(FolderMessageHandler* /*handler*/) {}
  virtual void Detach(FolderMessageHandler* /*handler*/) {}
};

}  // namespace corvale
