// The recording shell.
#include "tests/fakes/fake_shell.h"

#include <algorithm>
#include <chrono>

#include "tests/fakes/fake_printers.h"

namespace corvale::testing {

FakeShell::~FakeShell() {
  FinishAll();
}

void FakeShell::FailStarts(uint32_t code) {
  std::lock_guard lock(mutex_);
  start_error_ = code;
}

void FakeShell::SetAutoFinish(bool auto_finish) {
  {
    std::lock_guard lock(mutex_);
    auto_finish_ = auto_finish;
  }
  changed_.notify_all();
}

bool FakeShell::WaitForLaunches(size_t count) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(20),
                           [&] { return launches_.size() >= count; });
}

void FakeShell::Finish(size_t index) {
  {
    std::lock_guard lock(mutex_);
    if (finished_.size() <= index) finished_.resize(index + 1, false);
    finished_[index] = true;
  }
  changed_.notify_all();
}

void FakeShell::FinishAll() {
  SetAutoFinish(true);
}

std::vector<FakeShell::Launch> FakeShell::Launches() const {
  std::lock_guard lock(mutex_);
  return launches_;
}

size_t FakeShell::LaunchCount() const {
  std::lock_guard lock(mutex_);
  return launches_.size();
}

int FakeShell::MostRunningAtOnce() const {
  std::lock_guard lock(mutex_);
  return most_running_;
}

std::vector<std::string> FakeShell::OpenedDocuments() const {
  std::lock_guard lock(mutex_);
  return documents_;
}

uint32_t FakeShell::RunHiddenAndWait(const std::string& program, const std::string& parameters) {
  std::unique_lock lock(mutex_);
  const size_t index = launches_.size();
  const uint32_t error = start_error_;
  launches_.push_back({program, parameters, error});
  if (printers_) printers_->NoteShellStart(parameters);
  changed_.notify_all();
  if (error != 0) return error;
  most_running_ = std::max(most_running_, ++running_);
  changed_.wait(lock,
                [&] { return auto_finish_ || (index < finished_.size() && finished_[index]); });
  --running_;
  return 0;
}

void FakeShell::OpenDocument(const std::string& path) {
  std::lock_guard lock(mutex_);
  documents_.push_back(path);
}

}  // namespace corvale::testing
