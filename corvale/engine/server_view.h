// What the print server shows while it works: the window implements it, and so do the service
// and the tests. Called on the main thread.
#pragma once

#include <cstdint>
#include <string>

namespace corvale {

class ServerView {
 public:
  virtual ~ServerView() = default;
  // The status text.
  virtual void ShowStatusText(const std::string& text) = 0;
  // The number of jobs in queue.
  virtual void ShowJobsInQueue(int32_t count) = 0;
  // The server has started (true) or stopped (false): the ticks are due from now on, or not.
  virtual void RunningChanged(bool running) = 0;
  // A refusal or warning of a Start that an operator asked for, to be read now (a box); an
  // unattended Start logs it instead.
  virtual void ShowStartMessage(const std::string& text) = 0;
  // The count of a printer's failed jobs has been taken afresh (PrintServer::FailedJobs).
  virtual void FailedJobsCounted() {}
};

}  // namespace corvale
