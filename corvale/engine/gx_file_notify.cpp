// Watcher threads and the notifier: bursts of directory changes become one report each.
#include "corvale/engine/gx_file_notify.h"

namespace corvale {

TFileChanges TFileChanges::FromFilterMask(uint32_t mask) {
  TFileChanges changes;
  for (int i = 0; i < kFileChangeKinds; ++i) {
    if (mask & kChangeFilters[i]) changes.Include(static_cast<TFileChange>(i));
  }
  return changes;
}

TGXFileThread::TGXFileThread(uintptr_t id, std::string folder, uint32_t coalesce_interval,
                             std::unique_ptr<FolderChangeWaiter> waiter)
    : id_(id),
      folder_(std::move(folder)),
      coalesce_interval_(coalesce_interval),
      waiter_(std::move(waiter)) {}

TGXFileThread::~TGXFileThread() {
  Stop();
}

void TGXFileThread::Start(FolderWatchPlatform& platform) {
  thread_ = std::thread([this, &platform] {
    platform.LowerCurrentThreadPriority();
    Execute(platform.Window());
  });
}

void TGXFileThread::Stop() {
  terminated_ = true;
  waiter_->SignalStop();
  if (thread_.joinable()) thread_.join();
}

void TGXFileThread::Execute(NotifierWindow& window) {
  using Outcome = FolderChangeWaiter::Outcome;
  // Set when the watch ends on its own rather than by a stop request.
  bool failed = false;
  while (!terminated_) {
    int which = -1;
    // A quiet watcher costs nothing: whether its folder is still there is the health check's
    // concern, on the main thread.
    const Outcome first = waiter_->Wait(kInfinite, which);
    if (first != Outcome::kChange) {
      failed = first != Outcome::kStop;
      terminated_ = true;
      break;
    }
    uint32_t mask = kChangeFilters[which];
    if (!waiter_->Rearm(which)) failed = terminated_ = true;
    // The burst lasts until CoalesceInterval passes without a further change.
    while (!terminated_) {
      Outcome outcome = waiter_->Wait(coalesce_interval_, which);
      if (outcome == Outcome::kTimeout || outcome == Outcome::kFailed) break;
      if (outcome == Outcome::kStop) {
        terminated_ = true;
        break;
      }
      mask |= kChangeFilters[which];
      if (!waiter_->Rearm(which)) failed = terminated_ = true;
    }
    if (terminated_) break;
    if (waiter_->FolderIsDirectory()) {
      window.Post(WM_FOLDERCHANGED, Id(), mask);
    } else {
      // A deleted folder reports nothing more.
      window.Post(WM_FOLDERDELETED, Id(), 0);
      terminated_ = true;
    }
  }
  if (failed) window.Post(WM_FOLDERWATCHFAILED, Id(), waiter_->FailureCode());
  ended_ = true;
}

TGXThreadFileNotifier::TGXThreadFileNotifier(FolderWatchPlatform& platform) : platform_(platform) {
  platform_.Attach(this);
}

TGXThreadFileNotifier::~TGXThreadFileNotifier() {
  ClearFolders();
  platform_.Detach(this);
}

void TGXThreadFileNotifier::AddFolder(const std::string& folder) {
  if (folder.empty()) return;
  auto watcher = std::make_unique<TGXFileThread>(next_id_++, folder, CoalesceInterval,
                                                 platform_.CreateWaiter(folder));
  TGXFileThread& started = *watcher;
  threads_.push_back(std::move(watcher));
  started.Start(platform_);
}

void TGXThreadFileNotifier::RemoveFolder(const std::string& folder) {
  for (auto it = threads_.begin(); it != threads_.end();) {
    if ((*it)->Folder() == folder) {
      (*it)->Stop();
      it = threads_.erase(it);
    } else {
      ++it;
    }
  }
}

void TGXThreadFileNotifier::ClearFolders() {
  for (auto& watcher : threads_) watcher->Stop();
  threads_.clear();
}

void TGXThreadFileNotifier::SetActive(bool active) {
  if (active_ == active) return;
  active_ = active;
  if (!active) ClearFolders();
}

TGXFileThread* TGXThreadFileNotifier::FindWatcher(uintptr_t id) {
  for (auto& watcher : threads_) {
    if (watcher->Id() == id) return watcher.get();
  }
  return nullptr;
}

void TGXThreadFileNotifier::HandleMessage(uint32_t message, uintptr_t watcher_id, uint32_t data) {
  auto handle = [&] {
    TGXFileThread* watcher = FindWatcher(watcher_id);
    if (!watcher) return;
    // The handlers may stop the server and so free this watcher: keep the folder text.
    const std::string folder = watcher->Folder();
    if (message == WM_FOLDERCHANGED) {
      TFileChanges changes = TFileChanges::FromFilterMask(data);
      // A change of names makes this folder's reports still pending stale: the scan will see it
      // all. Reports of other folders stay.
      if (changes.Contains(TFileChange::fcDirName) || changes.Contains(TFileChange::fcFileName))
        platform_.Window().RemovePending(WM_FOLDERCHANGED, watcher_id);
      if (OnFileChange) OnFileChange(*this, changes, folder);
    } else if (message == WM_FOLDERDELETED) {
      RemoveFolder(folder);
      if (OnWatchEnded) OnWatchEnded(*this, folder, /*deleted=*/true, 0);
    } else if (message == WM_FOLDERWATCHFAILED) {
      // The watcher stays in the list, and counted, until the folders are cleared.
      if (OnWatchEnded) OnWatchEnded(*this, folder, /*deleted=*/false, data);
    }
  };
  if (Boundary) {
    Boundary(handle);
  } else {
    handle();
  }
}

}  // namespace corvale
