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
#include "corvale/platform/folder_watch.h"

namespace corvale {

class TGXThreadFileNotifier;

enum class TFileChange { fcDirName, fcFileName, fcAttributes, fcLastWrite, fcSize };

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

class TGXThreadFileNotifier : public FolderMessageHandler {
 public:
  using FileChangeEvent = std::function<void(TGXThreadFileNotifier& sender, TFileChanges changes,
                                             const std::string& folder)>;
  // A watcher stopped watching on its own: its folder was deleted, or the watch failed with the
  // system's error code.
  using WatchEndEvent = std::function<void(TGXThreadFileNotifier& sender, const std::string& folder,
                                           bool deleted, uint32_t error)>;

  explicit TGXThreadFileNotifier(FolderWatchPlatform& platform);
  ~TGXThreadFileNotifier() override;  // clears all folders

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
  void HandleMessage(uint32_t message, uintptr_t watcher, uint32_t data) override;

 private:
  TGXFileThread* FindWatcher(uintptr_t id);

  FolderWatchPlatform& platform_;
  bool active_ = true;
  uintptr_t next_id_ = 1;
  std::vector<std::unique_ptr<TGXFileThread>> threads_;
};

}  // namespace corvale
