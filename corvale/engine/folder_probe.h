// Looks at folders on a thread of its own: on a share whose server is off, each look can take the
// network's time-out (tens of seconds), and the main thread must never wait for that. One round
// of looks at a time; its results come back to the main thread as a posted task.
// Made, used and destroyed on the main thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace corvale {

class EventLoop;
class FileSystem;

class FolderProbe {
 public:
  struct Request {
    std::string folder;
    bool list_files = false;  // also tell whether it holds files
  };
  struct Result {
    std::string folder;
    std::string identity;  // empty: no folder there
    bool listed = false;   // the files were looked for
    bool has_files = false;
  };
  using Done = std::function<void(const std::vector<Result>&)>;

  FolderProbe(FileSystem& files, EventLoop& loop);
  // The thread ends once the look it may be in returns; results not yet handed over are dropped.
  ~FolderProbe();
  FolderProbe(const FolderProbe&) = delete;
  FolderProbe& operator=(const FolderProbe&) = delete;

  // Starts a round of looks; `done` runs on the main thread with the results, unless the probe
  // is gone by then. False, and nothing done, while a round is under way.
  bool Look(std::vector<Request> requests, Done done);

 private:
  struct Shared;
  static void Work(std::shared_ptr<Shared> shared);

  std::shared_ptr<Shared> shared_;
  // Results reach `done` only while this lives.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::thread thread_;
};

}  // namespace corvale
