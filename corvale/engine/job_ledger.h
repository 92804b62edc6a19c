// What the print server shares with its job runners, which may outlive it (a print utility that
// still runs when Corvale closes): the in-flight counters, the jobs pending, the run they belong
// to, the log, the file system and shell they use, and the way to the main thread.
// Held by a shared pointer; safe for use from any thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "corvale/engine/event_reporter.h"
#include "corvale/engine/job_record.h"
#include "corvale/settings/log_file.h"
#include "corvale/settings/settings.h"

namespace corvale {

class EventLoop;
class FileSystem;
class Shell;

class JobLedger {
 public:
  JobLedger(FileSystem& files, Shell& shell, Clock& clock, SystemInfo& system, EventLoop& loop,
            EventLog& events);

  // Jobs taken from each slot's input folder and not yet finished: incremented by intake on the
  // main thread, decremented by the runners.
  SlotArray<std::atomic<int32_t>> JobsInFlight{};
  // The dispatcher waits for the print utility of the current job.
  std::atomic<bool> RunnerBusy{false};

  // Guards the fields below.
  std::mutex Mutex;
  // Every Start begins a new run; runners of an earlier run leave the counters of a later one
  // alone.
  uint64_t RunGeneration = 0;
  // Job files of jobs that are queued or printing: the path in lower case, and as named.
  std::map<std::string, std::string> PendingJobFiles;
  int ActiveRunners = 0;
  std::condition_variable RunnersDone;

  LogFile Log;
  // The Windows Event Log, for the server and its runners alike.
  EventReporter Events;
  // One line per finished job, written by the runners whatever the log options say.
  JobRecord Record;
  FileSystem& Files;
  Shell& Programs;
  Clock& Time;

  // A runner enters before it uses the file system, the shell's other calls or the log, and
  // leaves after. Entering fails once the server has let its runners go: the runner then leaves
  // its job as it is.
  bool Enter();
  void Leave();
  // The server is done with its runners: returns once every runner that entered has left; none
  // enters afterwards. The platform the ledger names may go once this has returned.
  void LetRunnersGo();
  bool RunnersLetGo();

  // Hands `text` to the server's status text on the main thread, if the server still exists
  // when the main thread gets to it. Only while entered.
  void PostStatus(const std::string& text);
  // Tells the server on the main thread that a job of `slot` has failed, if the server still
  // exists when the main thread gets to it. Only while entered.
  void PostJobFailed(int slot);
  // Ends a wait of the main thread for events. Only while entered.
  void WakeMainThread();
  // The server's receiver of posted status texts; it stops receiving when `receiver` goes.
  void SetStatusReceiver(std::weak_ptr<std::function<void(const std::string&)>> receiver);
  void SetFailureReceiver(std::weak_ptr<std::function<void(int)>> receiver);

 private:
  EventLoop& loop_;
  std::weak_ptr<std::function<void(const std::string&)>> status_receiver_;  // Mutex
  std::weak_ptr<std::function<void(int)>> failure_receiver_;                // Mutex
  int entered_ = 0;                                                         // Mutex
  bool let_go_ = false;                                                     // Mutex
  std::condition_variable left_;
};

}  // namespace corvale
