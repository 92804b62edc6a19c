// Folder watching without a file system: each watcher's waits follow a script that the test
// feeds (change k, time-out, stop, failed wait), and the notifier's message window is a queue
// that records every post and that the test hands to TGXThreadFileNotifier::HandleMessage.
// Safe for use from any thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "corvale/engine/gx_file_notify.h"

namespace corvale::testing {

struct WatchStep {
  FolderChangeWaiter::Outcome outcome;
  int which = -1;  // change kind index for kChange
};

inline WatchStep ChangeOf(TFileChange kind) {
  return {FolderChangeWaiter::Outcome::kChange, static_cast<int>(kind)};
}
inline WatchStep Timeout() {
  return {FolderChangeWaiter::Outcome::kTimeout};
}
inline WatchStep StopEvent() {
  return {FolderChangeWaiter::Outcome::kStop};
}
inline WatchStep FailedWait() {
  return {FolderChangeWaiter::Outcome::kFailed};
}

// The shared state of one watcher's waits: the test feeds it, the watcher thread consumes it.
class WaiterScript {
 public:
  explicit WaiterScript(std::string folder) : folder_(std::move(folder)) {}

  const std::string& Folder() const { return folder_; }
  void Feed(const std::vector<WatchStep>& steps);
  // The change notifications could not be opened: every wait fails at once.
  void SetFailToOpen();
  bool FailsToOpen() const;
  // The error code the waiter gives for its failures (3, path not found, unless set).
  void SetFailureCode(uint32_t code);
  // With an empty script a wait returns the stop event instead of blocking (for watchers run on
  // the test's own thread).
  void SetEndWhenDry();
  void SetFolderIsDirectory(bool is_directory);
  void FailRearmOf(int which);

  std::vector<uint32_t> Timeouts() const;
  std::vector<int> Rearms() const;
  int StopSignals() const;
  // True once the waiter has been freed together with its watcher.
  bool Destroyed() const;
  // Blocks until the watcher has used every step fed so far and waits again, or has been
  // freed; false after 20 s.
  bool WaitUntilIdle();
  // Blocks until the watcher has begun `count` waits; false after 20 s.
  bool WaitForWaits(size_t count);

  // The waiter's side.
  FolderChangeWaiter::Outcome Wait(uint32_t timeout_ms, int& which);
  bool Rearm(int which);
  uint32_t FailureCode();
  bool FolderIsDirectory();
  void SignalStop();
  void MarkDestroyed();

 private:
  const std::string folder_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<WatchStep> steps_;
  bool fail_to_open_ = false;
  uint32_t failure_code_ = 3;
  bool end_when_dry_ = false;
  bool is_directory_ = true;
  std::set<int> failing_rearms_;
  bool stop_signalled_ = false;
  bool waiting_ = false;
  bool destroyed_ = false;
  int stop_signals_ = 0;
  std::vector<uint32_t> timeouts_;
  std::vector<int> rearms_;
};

struct WindowMessage {
  uint32_t message;
  uintptr_t watcher;
  uint32_t filters;  // the message's data: filters of a report, error code of a failed watch
};

class FakeFolderWatch : public FolderWatchPlatform, public NotifierWindow {
 public:
  // Waiters of folders named here fail to open their notifications, until OpenAgain.
  void FailToOpen(const std::string& folder);
  void OpenAgain(const std::string& folder);
  // How many waiters the folder has had.
  size_t ScriptCount(const std::string& folder) const;
  // A waiter (and its script) as the notifier would get it, for watchers driven by hand.
  std::unique_ptr<FolderChangeWaiter> MakeWaiter(const std::string& folder);

  // Every script created, in order, and the newest one of a folder (null when none).
  std::vector<std::shared_ptr<WaiterScript>> Scripts() const;
  std::shared_ptr<WaiterScript> ScriptOf(const std::string& folder) const;
  int PriorityLowered() const;

  // The message window.
  std::vector<WindowMessage> Posted() const;  // every post ever, in order
  std::vector<WindowMessage> Pending() const;
  // Blocks until `count` messages have been posted in all; false after 20 s.
  bool WaitForPosts(size_t count);
  // Blocks until every watcher has posted what it will post for now: each one whose notifications
  // opened waits again with its steps used up (or has been freed), and each one whose
  // notifications could not be opened has reported its failure; false after 20 s.
  bool WaitUntilQuiet();
  // Hands the pending messages to the notifier, oldest first, until none is left.
  int DeliverAll(TGXThreadFileNotifier& notifier);
  int RemovePendingCalls() const;

  std::unique_ptr<FolderChangeWaiter> CreateWaiter(const std::string& folder) override;
  void LowerCurrentThreadPriority() override;
  NotifierWindow& Window() override { return *this; }
  void Post(uint32_t message, uintptr_t watcher, uint32_t data) override;
  void RemovePending(uint32_t message, uintptr_t watcher) override;

 private:
  mutable std::mutex mutex_;
  std::condition_variable posted_changed_;
  std::set<std::string> failing_folders_;
  std::vector<std::shared_ptr<WaiterScript>> scripts_;
  int priority_lowered_ = 0;
  std::vector<WindowMessage> posted_;
  std::deque<WindowMessage> pending_;
  int remove_pending_calls_ = 0;
};

}  // namespace corvale::testing
