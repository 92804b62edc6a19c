// The activity log: every line of the monitor passes through AddActivityLine, which shows it
// in the activity window, flushes the text to the output file when it grows too long and
// sends the line to the debugger output.
//
// Threads: ActivityText and the window are changed only on the window's thread. Main-thread
// lines (no lock) are kept there directly; a worker (with the lock) hands its line to the
// window's thread and waits until it is kept, so lines never corrupt each other, and the main
// thread never waits for the lock a waiting worker holds.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

#include "pennock/platform/system.h"
#include "pennock/platform/threads.h"
#include "pennock/platform/window.h"

namespace pennock {

// WM_USER + 47: the activity window saves its text.
inline constexpr unsigned WM_FLUSHACTIVITY = 0x0400 + 47;
// ActivityText is flushed before the next line once it holds more characters than this.
inline constexpr std::size_t kFlushThreshold = 60000;
inline constexpr std::string_view kWorkerMark = "[*] ";

class ActivityLog {
 public:
  ActivityLog(WindowSystem& window, System& system);

  // The edit control that shows the log; kNoWindow until the window exists.
  void SetActivityWindow(WindowId control) { activityWindow_.store(control); }
  WindowId ActivityWindow() const { return activityWindow_.load(); }

  // Adds one line. Workers pass their shared lock and get the mark "[*] "; the main thread
  // (the window's thread) passes none.
  void AddActivityLine(std::string_view text, CriticalSection* lock = nullptr);

  // Window's thread: drops the lines that workers still hand over, once their threads have
  // been terminated (a line a terminated worker had sent may yet arrive).
  void DropWorkerLines() { dropWorkerLines_ = true; }

  // Window's thread only.
  const std::string& ActivityText() const { return activityText_; }

 private:
  // Window's thread: the flush test, then the line appended and shown.
  void KeepLine(const std::string& line);

  WindowSystem& window_;
  System& system_;
  std::atomic<WindowId> activityWindow_{kNoWindow};
  std::string activityText_;
  bool dropWorkerLines_ = false;
};

}  // namespace pennock
