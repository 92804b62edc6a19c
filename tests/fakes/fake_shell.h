// The shell as the job runner uses it. Every start of a program is recorded; the started
// "process" then runs until the test ends it (Finish, with an exit code), so the test decides
// when the print utility has ended and how. Time passes for a running process only when the test
// says so (PassMinutes): each minute passed makes one of the runner's waits time out. Starts can
// also be told to fail at once with an error code.
// Safe for use from any thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
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
  // Every process, running or later, ends at once with `exit_code` (true), or runs until Finish
  // (false, the default).
  void SetAutoFinish(bool auto_finish, uint32_t exit_code = 0);
  // Blocks until `count` programs have been started; false after 20 s without them.
  bool WaitForLaunches(size_t count);
  // Ends the process of start `index` (0-based) with `exit_code`; it may end before it has
  // started.
  void Finish(size_t index, uint32_t exit_code = 0);
  // Ends every process, now and later, with exit code 0.
  void FinishAll();
  // Lets `minutes` minutes pass for the process of start `index`.
  void PassMinutes(size_t index, int minutes);
  // Blocks until the runner has waited for start `index` `count` times in all (a wait that a
  // passed minute ended counts once it has returned); false after 20 s.
  bool WaitForWaits(size_t index, int count);
  // The exit code of start `index` cannot be read once it has ended.
  void LoseExitCode(size_t index);
  // The exit code the runner ended start `index` with, if it did.
  std::optional<uint32_t> TerminatedWith(size_t index) const;

  std::vector<Launch> Launches() const;
  size_t LaunchCount() const;
  // The most processes that ever ran at the same time.
  int MostRunningAtOnce() const;
  std::vector<std::string> OpenedDocuments() const;

  // Each start is also noted by the printers, which then know the default printer of the moment.
  void SetPrinters(FakePrinters* printers) { printers_ = printers; }

  std::unique_ptr<StartedProgram> StartHidden(const std::string& program,
                                              const std::string& parameters,
                                              uint32_t& error) override;
  void OpenDocument(const std::string& path) override;
  // Recorded as "<program> <parameters>"; the user lets it start unless RefuseElevation.
  bool StartElevated(const std::string& program, const std::string& parameters) override;
  std::vector<std::string> ElevatedStarts() const;
  bool refuse_elevation = false;

 private:
  class Program;
  struct Process {
    bool finished = false;
    uint32_t exit_code = 0;
    int minutes_to_pass = 0;
    int waits = 0;
    std::optional<uint32_t> terminated_with;
    bool exit_code_lost = false;
  };
  Process& ProcessOf(size_t index);  // mutex_ held
  bool WaitForExit(size_t index, uint32_t timeout_ms);
  std::optional<uint32_t> ExitCode(size_t index);
  void Terminate(size_t index, uint32_t exit_code);
  void Ended(size_t index);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Launch> launches_;
  std::vector<Process> processes_;  // by launch index; may grow ahead of the launches
  uint32_t start_error_ = 0;
  bool auto_finish_ = false;
  uint32_t auto_exit_code_ = 0;
  int running_ = 0;
  int most_running_ = 0;
  std::vector<std::string> documents_;
  std::vector<std::string> elevated_;
  FakePrinters* printers_ = nullptr;
};

}  // namespace corvale::testing
