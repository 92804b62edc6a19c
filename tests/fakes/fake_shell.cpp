// The recording shell.
#include "tests/fakes/fake_shell.h"

#include <algorithm>
#include <chrono>

#include "tests/fakes/fake_printers.h"

namespace corvale::testing {

class FakeShell::Program : public StartedProgram {
 public:
  Program(FakeShell& shell, size_t index) : shell_(shell), index_(index) {}
  ~Program() override { shell_.Ended(index_); }
  bool WaitForExit(uint32_t timeout_ms) override { return shell_.WaitForExit(index_, timeout_ms); }
  std::optional<uint32_t> ExitCode() override { return shell_.ExitCode(index_); }
  void Terminate(uint32_t exit_code) override { shell_.Terminate(index_, exit_code); }

 private:
  FakeShell& shell_;
  size_t index_;
};

FakeShell::~FakeShell() {
  FinishAll();
}

FakeShell::Process& FakeShell::ProcessOf(size_t index) {
  if (processes_.size() <= index) processes_.resize(index + 1);
  return processes_[index];
}

void FakeShell::FailStarts(uint32_t code) {
  std::lock_guard lock(mutex_);
  start_error_ = code;
}

void FakeShell::SetAutoFinish(bool auto_finish, uint32_t exit_code) {
  {
    std::lock_guard lock(mutex_);
    auto_finish_ = auto_finish;
    auto_exit_code_ = exit_code;
  }
  changed_.notify_all();
}

bool FakeShell::WaitForLaunches(size_t count) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(20),
                           [&] { return launches_.size() >= count; });
}

void FakeShell::Finish(size_t index, uint32_t exit_code) {
  {
    std::lock_guard lock(mutex_);
    Process& process = ProcessOf(index);
    if (!process.finished) {
      process.finished = true;
      process.exit_code = exit_code;
    }
  }
  changed_.notify_all();
}

void FakeShell::FinishAll() {
  SetAutoFinish(true);
}

void FakeShell::PassMinutes(size_t index, int minutes) {
  {
    std::lock_guard lock(mutex_);
    ProcessOf(index).minutes_to_pass += minutes;
  }
  changed_.notify_all();
}

bool FakeShell::WaitForWaits(size_t index, int count) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(20),
                           [&] { return ProcessOf(index).waits >= count; });
}

std::optional<uint32_t> FakeShell::TerminatedWith(size_t index) const {
  std::lock_guard lock(mutex_);
  return index < processes_.size() ? processes_[index].terminated_with : std::nullopt;
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

std::unique_ptr<StartedProgram> FakeShell::StartHidden(const std::string& program,
                                                       const std::string& parameters,
                                                       uint32_t& error) {
  std::lock_guard lock(mutex_);
  const size_t index = launches_.size();
  error = start_error_;
  launches_.push_back({program, parameters, error});
  ProcessOf(index);
  if (printers_) printers_->NoteShellStart(parameters);
  changed_.notify_all();
  if (error != 0) return nullptr;
  most_running_ = std::max(most_running_, ++running_);
  return std::make_unique<Program>(*this, index);
}

bool FakeShell::WaitForExit(size_t index, uint32_t /*timeout_ms*/) {
  std::unique_lock lock(mutex_);
  bool ended = false;
  changed_.wait(lock, [&] {
    Process& process = ProcessOf(index);
    if (auto_finish_ && !process.finished) {
      process.finished = true;
      process.exit_code = auto_exit_code_;
    }
    ended = process.finished;
    return ended || process.minutes_to_pass > 0;
  });
  Process& process = ProcessOf(index);
  if (!ended) --process.minutes_to_pass;
  ++process.waits;
  changed_.notify_all();
  return ended;
}

std::optional<uint32_t> FakeShell::ExitCode(size_t index) {
  std::lock_guard lock(mutex_);
  const Process& process = ProcessOf(index);
  if (process.exit_code_lost) return std::nullopt;
  return process.exit_code;
}

void FakeShell::LoseExitCode(size_t index) {
  std::lock_guard lock(mutex_);
  ProcessOf(index).exit_code_lost = true;
}

void FakeShell::Terminate(size_t index, uint32_t exit_code) {
  {
    std::lock_guard lock(mutex_);
    Process& process = ProcessOf(index);
    process.terminated_with = exit_code;
    if (!process.finished) {
      process.finished = true;
      process.exit_code = exit_code;
    }
  }
  changed_.notify_all();
}

void FakeShell::Ended(size_t /*index*/) {
  {
    std::lock_guard lock(mutex_);
    --running_;
  }
  changed_.notify_all();
}

void FakeShell::OpenDocument(const std::string& path) {
  std::lock_guard lock(mutex_);
  documents_.push_back(path);
}

bool FakeShell::StartElevated(const std::string& program, const std::string& parameters) {
  std::lock_guard lock(mutex_);
  elevated_.push_back(program + " " + parameters);
  return !refuse_elevation;
}

std::vector<std::string> FakeShell::ElevatedStarts() const {
  std::lock_guard lock(mutex_);
  return elevated_;
}

}  // namespace corvale::testing
