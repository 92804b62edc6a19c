// The folder probe's thread.
#include "corvale/engine/folder_probe.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "corvale/platform/event_loop.h"
#include "corvale/platform/file_system.h"

namespace corvale {

namespace {

// How long letting the probe go waits for a look under way before it leaves the thread to end
// by itself.
constexpr auto kEndWait = std::chrono::seconds(2);

}  // namespace

struct FolderProbe::Shared {
  Shared(FileSystem& files, EventLoop& loop) : files(files), loop(loop) {}
  FileSystem& files;
  EventLoop& loop;
  std::mutex mutex;
  std::condition_variable changed;
  // The round asked for and not yet taken up, or under way.
  std::optional<std::pair<std::vector<Request>, std::function<void(std::vector<Result>)>>> round;
  bool busy = false;
  bool stop = false;
};

FolderProbe::FolderProbe(FileSystem& files, EventLoop& loop)
    : shared_(std::make_shared<Shared>(files, loop)) {}

FolderProbe::~FolderProbe() {
  std::unique_lock lock(shared_->mutex);
  shared_->stop = true;
  shared_->changed.notify_all();
  if (!thread_.joinable()) return;
  // A look on a share that does not answer may take long: the thread then ends by itself.
  if (shared_->changed.wait_for(lock, kEndWait, [&] { return !shared_->busy; })) {
    lock.unlock();
    thread_.join();
  } else {
    lock.unlock();
    thread_.detach();
  }
}

bool FolderProbe::Look(std::vector<Request> requests, Done done) {
  std::weak_ptr<bool> alive = alive_;
  auto hand_over = [alive, done = std::move(done)](std::vector<Result> results) {
    if (alive.lock()) done(results);
  };
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->busy || shared_->round) return false;
    shared_->round.emplace(std::move(requests), std::move(hand_over));
  }
  shared_->changed.notify_all();
  if (!thread_.joinable()) thread_ = std::thread(Work, shared_);
  return true;
}

void FolderProbe::Work(std::shared_ptr<Shared> shared) {
  std::unique_lock lock(shared->mutex);
  while (true) {
    shared->changed.wait(lock, [&] { return shared->stop || shared->round; });
    if (shared->stop) return;
    auto [requests, hand_over] = std::move(*shared->round);
    shared->round.reset();
    shared->busy = true;
    lock.unlock();
    std::vector<Result> results;
    for (const Request& request : requests) {
      Result result{request.folder, shared->files.FolderIdentity(request.folder), false, false};
      if (request.list_files && !result.identity.empty()) {
        result.listed = true;
        for (const FileEntry& entry : shared->files.ListFolder(request.folder))
          result.has_files |= !entry.is_directory;
      }
      results.push_back(std::move(result));
      {
        std::lock_guard check(shared->mutex);
        if (shared->stop) break;
      }
    }
    lock.lock();
    shared->busy = false;
    shared->changed.notify_all();
    if (shared->stop) return;
    // Posted under the lock: the probe's owner cannot be let go meanwhile, and the loop
    // outlives the owner.
    shared->loop.PostToMain(
        [hand_over = std::move(hand_over), results = std::move(results)]() mutable {
          hand_over(std::move(results));
        });
  }
}

}  // namespace corvale
