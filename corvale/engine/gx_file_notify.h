// The folder change notifier TGXThreadFileNotifier (unit GX_FileNotify): one watcher thread
// TGXFileThread per watched folder gathers a burst of changes and reports it to the notifier's
// message window, which calls OnFileChange on the main thread.
// The notifier is owned and used on the main thread; each watcher runs on its own thread and
// only waits, re-arms, tests its folder and posts messages.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "corvale/platform/event_loop.h"

namespace corvale {

class TGXThreadFileNotifier;

enum class TFileChange { fcDirName, fcFileName, fcAttributes, fcLastWrite, fcSize };
constexpr int kFileChangeKinds = 5;
// The directory change filter bound to each change kind, in the order of TFileChange.
constexpr uint32_t kChangeFilters[kFileChangeKinds] = {2, 1, 4, 16, 8};

// A set of TFileChange, one bit per element.
class TFileChanges {
 public:
  static TFileChanges FromFilterMask(uint32_t mask);
  bool Contains(TFileChange change) const { return bits_ & (1u << static_cast<int>(change)); }
  void Include(TFileChange change) { bits_ |= 1u << static_cast<int>(change); }
  bool Empty() const { return bits_ == 0; }
  bool operator==(const TFileChanges&) const = default;

 private:
  uint32_t bits_ = 0;
};

constexpr uint32_t WM_FOLDERCHANGED = 0x0400 + 2;
constexpr uint32_t WM_FOLDERDELETED = 0x0400 + 3;
// A watch that ended on its own: lParam the system's error code of the failure.
constexpr uint32_t WM_FOLDERWATCHFAILED = 0x0400 + 4;
constexpr uint32_t kInfinite = 0xFFFFFFFF;

// The waits of one watcher: five change notifications on the folder, one per change kind in
// the order of TFileChange, and an auto-reset stop event. Used on the watcher thread, except
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
// thread hands each message to TGXThreadFileNotifier::HandleMessage in arrival order.
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
  // The notifier whose HandleMessage receives the window's messages, from its creation to its
  // destruction.
  virtual void Attach(TGXThreadFileNotifier* /*notifier*/) {}
  virtual void Detach(TGXThreadFileNotifier* /*notifier*/) {}
};

class TGXFileThread {
 public:
  TGXFileThread(uintptr_t id, std::string folder, uint32_t coalesce_interval,
                std::unique_ptr<FolderChangeWaiter> waiter);
  ~TGXFileThread();
  TGXFileThread(const TGXFileThread&) = delete;
  TGXFileThread& operator=(const TGXFileThread&) = delete;

  void Start(FolderWatchPlatform& platform);
  // Sets the terminate request, signals the stop event and waits for the thread's end.
  void Stop();
  const std::string& Folder() const { return folder_; }
  // Identifies the watcher in its messages; never reused within one notifier.
  uintptr_t Id() const { return id_; }
  bool Ended() const { return ended_.load(); }

  // The thread's work; public so that tests can run it on a thread of their own choosing.
  void Execute(NotifierWindow& window);

 private:
  uintptr_t id_;
  std::string folder_;
  uint32_t coalesce_interval_;
  std::unique_ptr<FolderChangeWaiter> waiter_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> ended_{false};
  std::thread thread_;
};

class TGXThreadFileNotifier {
 public:
  using FileChangeEvent = std::function<void(TGXThreadFileNotifier& sender, TFileChanges changes,
                                             const std::string& folder)>;
  // A watcher stopped watching on its own: its folder was deleted, or the watch failed with the
  // system's error code.
  using WatchEndEvent = std::function<void(TGXThreadFileNotifier& sender, const std::string& folder,
                                           bool deleted, uint32_t error)>;

  explicit TGXThreadFileNotifier(FolderWatchPlatform& platform);
  ~TGXThreadFileNotifier();  // clears all folders

  void AddFolder(const std::string& folder);
  void RemoveFolder(const std::string& folder);
  void ClearFolders();
  bool Active() const { return active_; }
  void SetActive(bool active);
  int FolderCount() const { return static_cast<int>(threads_.size()); }
  uint32_t CoalesceInterval = 200;
  FileChangeEvent OnFileChange;
  WatchEndEvent OnWatchEnded;
  // Every message is handled inside this boundary (an empty one: as it is).
  HandlerBoundary Boundary;

  // The message window's handling, on the main thread.
  void HandleMessage(uint32_t message, uintptr_t watcher, uint32_t data);

 private:
  TGXFileThread* FindWatcher(uintptr_t id);

  FolderWatchPlatform& platform_;
  bool active_ = true;
  uintptr_t next_id_ = 1;
  std::vector<std::unique_ptr<TGXFileThread>> threads_;
};

}  // namespace corvale
