// The activity window "Printer Activities" and the program's run: start-up when the window
// opens, the flushes of the activity text, finalisation when it closes, and the last save.
// Main thread (the window's thread), apart from the workers it starts.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "pennock/activity_log.h"
#include "pennock/notification_threads.h"
#include "pennock/platform/platform.h"

namespace pennock {

// The buffer that receives the window's text: at most 65,519 characters and a NUL.
inline constexpr std::size_t kSaveBufferSize = 65520;
// The pause before the closing window ends.
inline constexpr std::uint32_t kCloseDelayMs = 1500;

class ActivityWindow : public DialogHandler {
 public:
  explicit ActivityWindow(Platform& platform);

  // The program's run from start to exit; returns the exit code.
  int Run();

  void InitDialog(WindowId dialog) override;
  void Size(WindowId dialog) override;
  void Close(WindowId dialog) override;
  void FlushActivity(WindowId dialog) override;

  ActivityLog& Log() { return log_; }
  const std::string& SaveBuffer() const { return saveBuffer_; }

 private:
  // The output file when the command line holds exactly one argument.
  const std::string* OutputFile() const;
  void CopyWindowText();

  Platform& platform_;
  ActivityLog log_;
  NotificationThreads threads_;
  std::vector<std::string> arguments_;
  std::string saveBuffer_;
  IconId icon_ = 0;
};

// pennock.exe's run on the given platform.
int RunPennock(Platform& platform);

}  // namespace pennock
