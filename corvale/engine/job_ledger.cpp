// The ledger of the server and its job runners.
#include "corvale/engine/job_ledger.h"

#include "corvale/platform/event_loop.h"

namespace corvale {

JobLedger::JobLedger(FileSystem& files, Shell& shell, Clock& clock, SystemInfo& system,
                     EventLoop& loop, EventLog& events)
    : Log(files, clock, system, loop),
      Events(events, clock, Log),
      Record(files, system),
      Files(files),
      Programs(shell),
      Time(clock),
      loop_(loop) {}

bool JobLedger::Enter() {
  std::lock_guard lock(Mutex);
  if (let_go_) return false;
  ++entered_;
  return true;
}

void JobLedger::Leave() {
  std::lock_guard lock(Mutex);
  if (--entered_ == 0) left_.notify_all();
}

void JobLedger::LetRunnersGo() {
  std::unique_lock lock(Mutex);
  let_go_ = true;
  left_.wait(lock, [&] { return entered_ == 0; });
}

bool JobLedger::RunnersLetGo() {
  std::lock_guard lock(Mutex);
  return let_go_;
}

void JobLedger::PostStatus(const std::string& text) {
  std::weak_ptr<std::function<void(const std::string&)>> receiver;
  {
    std::lock_guard lock(Mutex);
    receiver = status_receiver_;
  }
  loop_.PostToMain([receiver, text] {
    if (auto show = receiver.lock()) (*show)(text);
  });
}

void JobLedger::PostJobFailed(int slot) {
  std::weak_ptr<std::function<void(int)>> receiver;
  {
    std::lock_guard lock(Mutex);
    receiver = failure_receiver_;
  }
  loop_.PostToMain([receiver, slot] {
    if (auto failed = receiver.lock()) (*failed)(slot);
  });
}

void JobLedger::WakeMainThread() {
  loop_.Wake();
}

void JobLedger::SetStatusReceiver(std::weak_ptr<std::function<void(const std::string&)>> receiver) {
  std::lock_guard lock(Mutex);
  status_receiver_ = std::move(receiver);
}

void JobLedger::SetFailureReceiver(std::weak_ptr<std::function<void(int)>> receiver) {
  std::lock_guard lock(Mutex);
  failure_receiver_ = std::move(receiver);
}

}  // namespace corvale
