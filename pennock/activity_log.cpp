// AddActivityLine and the flush of ActivityText.
#include "pennock/activity_log.h"

namespace pennock {
namespace {

// Holds a worker's lock for the whole of one line, also when the line is cut short.
class LockHolder {
 public:
  explicit LockHolder(CriticalSection* lock) : lock_(lock) {
    if (lock_) lock_->Enter();
  }
  ~LockHolder() {
    if (lock_) lock_->Leave();
  }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

 private:
  CriticalSection* lock_;
};

}  // namespace

ActivityLog::ActivityLog(WindowSystem& window, System& system) : window_(window), system_(system) {}

void ActivityLog::AddActivityLine(std::string_view text, CriticalSection* lock) {
  LockHolder holder(lock);
  std::string line;
  if (lock) line = kWorkerMark;
  line += text;
  if (lock) {
    WindowId control = activityWindow_.load();
    if (control != kNoWindow) {
      window_.SendTask(window_.GetParent(control), [this, &line] {
        if (!dropWorkerLines_) KeepLine(line);
      });
    }
  } else {
    KeepLine(line);
  }
  system_.WriteDebugOutput(line);
}

void ActivityLog::KeepLine(const std::string& line) {
  WindowId control = activityWindow_.load();
  if (activityText_.size() > kFlushThreshold) {
    window_.SendFlushActivity(window_.GetParent(control));
    activityText_.clear();
  }
  if (control != kNoWindow && window_.IsWindow(control)) {
    activityText_.append(line).append("\r\n");
    window_.SetText(control, activityText_);
    window_.ScrollToBottom(control);
  }
}

}  // namespace pennock
