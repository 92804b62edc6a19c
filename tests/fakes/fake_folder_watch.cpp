// The scripted folder watch.
#include "tests/fakes/fake_folder_watch.h"

#include <algorithm>

#include <chrono>

namespace corvale::testing {

namespace {

using Outcome = FolderChangeWaiter::Outcome;
constexpr auto kPatience = std::chrono::seconds(20);

class ScriptedWaiter : public FolderChangeWaiter {
 public:
  explicit ScriptedWaiter(std::shared_ptr<WaiterScript> script) : script_(std::move(script)) {}
  ~ScriptedWaiter() override { script_->MarkDestroyed(); }
  Outcome Wait(uint32_t timeout_ms, int& which) override {
    return script_->Wait(timeout_ms, which);
  }
  bool Rearm(int which) override { return script_->Rearm(which); }
  uint32_t FailureCode() override { return script_->FailureCode(); }
  bool FolderIsDirectory() override { return script_->FolderIsDirectory(); }
  void SignalStop() override { script_->SignalStop(); }

 private:
  std::shared_ptr<WaiterScript> script_;
};

}  // namespace

void WaiterScript::Feed(const std::vector<WatchStep>& steps) {
  {
    std::lock_guard lock(mutex_);
    steps_.insert(steps_.end(), steps.begin(), steps.end());
  }
  changed_.notify_all();
}

void WaiterScript::SetFailToOpen() {
  std::lock_guard lock(mutex_);
  fail_to_open_ = true;
}

bool WaiterScript::FailsToOpen() const {
  std::lock_guard lock(mutex_);
  return fail_to_open_;
}

void WaiterScript::SetFailureCode(uint32_t code) {
  std::lock_guard lock(mutex_);
  failure_code_ = code;
}

uint32_t WaiterScript::FailureCode() {
  std::lock_guard lock(mutex_);
  return failure_code_;
}

void WaiterScript::SetEndWhenDry() {
  std::lock_guard lock(mutex_);
  end_when_dry_ = true;
}

void WaiterScript::SetFolderIsDirectory(bool is_directory) {
  std::lock_guard lock(mutex_);
  is_directory_ = is_directory;
}

void WaiterScript::FailRearmOf(int which) {
  std::lock_guard lock(mutex_);
  failing_rearms_.insert(which);
}

std::vector<uint32_t> WaiterScript::Timeouts() const {
  std::lock_guard lock(mutex_);
  return timeouts_;
}

std::vector<int> WaiterScript::Rearms() const {
  std::lock_guard lock(mutex_);
  return rearms_;
}

int WaiterScript::StopSignals() const {
  std::lock_guard lock(mutex_);
  return stop_signals_;
}

bool WaiterScript::Destroyed() const {
  std::lock_guard lock(mutex_);
  return destroyed_;
}

bool WaiterScript::WaitUntilIdle() {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, kPatience,
                           [&] { return destroyed_ || (waiting_ && steps_.empty()); });
}

bool WaiterScript::WaitForWaits(size_t count) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, kPatience, [&] { return timeouts_.size() >= count; });
}

Outcome WaiterScript::Wait(uint32_t timeout_ms, int& which) {
  std::unique_lock lock(mutex_);
  timeouts_.push_back(timeout_ms);
  changed_.notify_all();
  if (fail_to_open_) return Outcome::kFailed;
  waiting_ = true;
  changed_.wait(lock, [&] { return stop_signalled_ || !steps_.empty() || end_when_dry_; });
  waiting_ = false;
  // The stop event is auto-reset: one signal ends one wait.
  if (stop_signalled_) {
    stop_signalled_ = false;
    return Outcome::kStop;
  }
  if (steps_.empty()) return Outcome::kStop;
  const WatchStep step = steps_.front();
  steps_.pop_front();
  which = step.which;
  return step.outcome;
}

bool WaiterScript::Rearm(int which) {
  std::lock_guard lock(mutex_);
  rearms_.push_back(which);
  return !failing_rearms_.count(which);
}

bool WaiterScript::FolderIsDirectory() {
  std::lock_guard lock(mutex_);
  return is_directory_;
}

void WaiterScript::SignalStop() {
  {
    std::lock_guard lock(mutex_);
    stop_signalled_ = true;
    ++stop_signals_;
  }
  changed_.notify_all();
}

void WaiterScript::MarkDestroyed() {
  {
    std::lock_guard lock(mutex_);
    destroyed_ = true;
  }
  changed_.notify_all();
}

void FakeFolderWatch::FailToOpen(const std::string& folder) {
  std::lock_guard lock(mutex_);
  failing_folders_.insert(folder);
}

void FakeFolderWatch::OpenAgain(const std::string& folder) {
  std::lock_guard lock(mutex_);
  failing_folders_.erase(folder);
}

size_t FakeFolderWatch::ScriptCount(const std::string& folder) const {
  std::lock_guard lock(mutex_);
  size_t count = 0;
  for (const auto& script : scripts_) count += script->Folder() == folder;
  return count;
}

std::unique_ptr<FolderChangeWaiter> FakeFolderWatch::MakeWaiter(const std::string& folder) {
  auto script = std::make_shared<WaiterScript>(folder);
  {
    std::lock_guard lock(mutex_);
    if (failing_folders_.count(folder)) script->SetFailToOpen();
    scripts_.push_back(script);
  }
  return std::make_unique<ScriptedWaiter>(script);
}

std::unique_ptr<FolderChangeWaiter> FakeFolderWatch::CreateWaiter(const std::string& folder) {
  return MakeWaiter(folder);
}

std::vector<std::shared_ptr<WaiterScript>> FakeFolderWatch::Scripts() const {
  std::lock_guard lock(mutex_);
  return scripts_;
}

std::shared_ptr<WaiterScript> FakeFolderWatch::ScriptOf(const std::string& folder) const {
  std::lock_guard lock(mutex_);
  for (auto it = scripts_.rbegin(); it != scripts_.rend(); ++it) {
    if ((*it)->Folder() == folder) return *it;
  }
  return nullptr;
}

void FakeFolderWatch::LowerCurrentThreadPriority() {
  std::lock_guard lock(mutex_);
  ++priority_lowered_;
}

int FakeFolderWatch::PriorityLowered() const {
  std::lock_guard lock(mutex_);
  return priority_lowered_;
}

void FakeFolderWatch::Post(uint32_t message, uintptr_t watcher, uint32_t data) {
  {
    std::lock_guard lock(mutex_);
    posted_.push_back({message, watcher, data});
    pending_.push_back({message, watcher, data});
  }
  posted_changed_.notify_all();
}

void FakeFolderWatch::RemovePending(uint32_t message, uintptr_t watcher) {
  std::lock_guard lock(mutex_);
  ++remove_pending_calls_;
  std::erase_if(pending_, [&](const WindowMessage& m) {
    return m.message == message && m.watcher == watcher;
  });
}

std::vector<WindowMessage> FakeFolderWatch::Posted() const {
  std::lock_guard lock(mutex_);
  return posted_;
}

std::vector<WindowMessage> FakeFolderWatch::Pending() const {
  std::lock_guard lock(mutex_);
  return {pending_.begin(), pending_.end()};
}

bool FakeFolderWatch::WaitForPosts(size_t count) {
  std::unique_lock lock(mutex_);
  return posted_changed_.wait_for(lock, kPatience, [&] { return posted_.size() >= count; });
}

bool FakeFolderWatch::WaitUntilQuiet() {
  size_t failing = 0;
  for (const auto& script : Scripts()) {
    if (script->FailsToOpen()) {
      ++failing;
    } else if (!script->WaitUntilIdle()) {
      return false;
    }
  }
  // A watch that cannot be opened reports its failure once, and ends.
  std::unique_lock lock(mutex_);
  return posted_changed_.wait_for(lock, kPatience, [&] {
    return static_cast<size_t>(
               std::count_if(posted_.begin(), posted_.end(), [](const WindowMessage& m) {
                 return m.message == WM_FOLDERWATCHFAILED;
               })) >= failing;
  });
}

int FakeFolderWatch::DeliverAll(TGXThreadFileNotifier& notifier) {
  int delivered = 0;
  while (true) {
    WindowMessage next;
    {
      std::lock_guard lock(mutex_);
      if (pending_.empty()) return delivered;
      next = pending_.front();
      pending_.pop_front();
    }
    ++delivered;
    notifier.HandleMessage(next.message, next.watcher, next.filters);
  }
}

int FakeFolderWatch::RemovePendingCalls() const {
  std::lock_guard lock(mutex_);
  return remove_pending_calls_;
}

}  // namespace corvale::testing
