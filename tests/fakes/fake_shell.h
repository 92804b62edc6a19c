// The shell as the job runner uses it. Every start of a program is recorded; the started
// "process" then runs until the test ends it (Finish), so the test decides when the print
// utility has ended. It can also be told to fail starts at once with an error code.
// Safe for use from any thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "corvale/platform/shell.h"

namespace corvale::testing {

class FakePrinters;

class FakeShell : public Shell {
 public:
  struct Launch {
    std::string program;
    std::string parameters;
    uint32_t start_error = 0;
  };

  ~FakeShell() override;

  // Every later start fails at once with `code` (0: starts succeed again).
  void FailStarts(uint32_t code);
  // Every later start ends at once (true), or runs until Finish (false, the default).
  void SetAutoFinish(bool auto_finish);
  // Blocks until `count` programs have been started; false after 20 s without them.
  bool WaitForLaunches(size_t count);
  // Ends the process of start `index` (0-based); it may end before it has started.
  void Finish(size_t index);
  // Ends every process, now and later.
  void FinishAll();

  std::vector<Launch> Launches() const;
  size_t LaunchCount() const;
  // The most processes that ever ran at the same time.
  int MostRunningAtOnce() const;
  std::vector<std::string> OpenedDocuments() const;

  // Each start is also noted by the printers, which then know the default printer of the moment.
  void SetPrinters(FakePrinters* printers) { printers_ = printers; }

  uint32_t RunHiddenAndWait(const std::string& program, const std::string& parameters) override;
  void OpenDocument(const std::string& path) override;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Launch> launches_;
  std::vector<bool> finished_;  // by launch index; may grow ahead of the launches
  uint32_t start_error_ = 0;
  bool auto_finish_ = false;
  int running_ = 0;
  int most_running_ = 0;
  std::vector<std::string> documents_;
  FakePrinters* printers_ = nullptr;
};

}  // namespace corvale::testing
