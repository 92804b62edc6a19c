// The fakes of the monitor's platform.
#include "fakes/fake_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "pennock/format_line.h"

namespace pennock::testing {

struct FakeThreads::State {
  std::thread thread;
  bool mayEnter = true;
  bool everEnters = true;
  bool entered = false;
  bool terminated = false;
  bool ended = false;
  bool released = false;
  std::uint32_t exitCode = 0;
};

namespace {

thread_local FakeThreads::State* tCurrent = nullptr;

// A window change from any thread but the window's is a fault of the code under test.
void RequireWindowThread(std::thread::id windowThread, const char* call) {
  if (std::this_thread::get_id() != windowThread) {
    std::fprintf(stderr, "FakeWindow: %s called outside the window's thread\n", call);
    std::abort();
  }
}

class FakeCriticalSection : public CriticalSection {
 public:
  FakeCriticalSection(FakeScheduler& scheduler, std::shared_ptr<int> token)
      : scheduler_(scheduler), token_(std::move(token)) {}
  void Enter() override {
    auto lock = scheduler_.Acquire();
    scheduler_.WaitUntil(lock, [this] { return !held_; });
    held_ = true;
  }
  void Leave() override {
    auto lock = scheduler_.Acquire();
    held_ = false;
    scheduler_.Notify();
  }

 private:
  FakeScheduler& scheduler_;
  std::shared_ptr<int> token_;
  bool held_ = false;
};

}  // namespace

void FakeScheduler::WaitUntil(Lock& lock, const std::function<bool()>& ready) {
  changed_.wait(lock, [&] { return CurrentTerminated(lock) || ready(); });
  CheckTerminated(lock);
}

void FakeScheduler::CheckTerminated(Lock& lock) {
  if (CurrentTerminated(lock)) throw ThreadTerminated{};
}

bool FakeScheduler::CurrentTerminated(Lock&) {
  return tCurrent && tCurrent->terminated;
}

// ---- threads

FakeThreads::~FakeThreads() {
  auto lock = scheduler_.Acquire();
  for (auto& [handle, state] : threads_) state->terminated = true;
  scheduler_.Notify();
  scheduler_.Wait(lock, [this] { return EndedLocked() == threads_.size(); });
  lock.unlock();
  for (auto& [handle, state] : threads_) {
    if (state->thread.joinable()) state->thread.join();
  }
}

StartedThread FakeThreads::CreateThread(std::function<std::uint32_t()> body) {
  auto lock = scheduler_.Acquire();
  std::size_t attempt = attempts_++;
  if (auto failed = failedCreations_.find(attempt); failed != failedCreations_.end()) {
    return StartedThread{0, 0, failed->second};
  }
  auto state = std::make_shared<State>();
  auto handle = static_cast<std::uint32_t>(0x0124 + 4 * attempt);
  auto id = static_cast<std::uint32_t>(0x0E10 + attempt);
  threads_[handle] = state;
  if (auto held = heldStarts_.find(attempt); held != heldStarts_.end()) {
    state->mayEnter = false;
    state->everEnters = held->second;
  }
  state->thread = std::thread([this, state, body = std::move(body)] {
    tCurrent = state.get();
    std::uint32_t code = 0;
    bool killed = false;
    try {
      {
        auto lock = scheduler_.Acquire();
        scheduler_.WaitUntil(lock, [&] { return state->mayEnter; });
        state->entered = true;
        scheduler_.Notify();
      }
      code = body();
    } catch (const ThreadTerminated&) {
      killed = true;
    }
    auto lock = scheduler_.Acquire();
    if (!killed) state->exitCode = code;
    state->ended = true;
    scheduler_.Notify();
  });
  return StartedThread{handle, id, 0};
}

bool FakeThreads::WaitUntilEntered(std::uint32_t handle, std::uint32_t timeoutMs) {
  auto lock = scheduler_.Acquire();
  calls_.push_back(FormatLine("wait %X %d", {handle, timeoutMs}));
  auto found = threads_.find(handle);
  if (found == threads_.end()) return false;
  std::shared_ptr<State> state = found->second;
  if (!state->everEnters) return false;
  state->mayEnter = true;
  scheduler_.Notify();
  scheduler_.Wait(lock, [&] { return state->entered || state->ended; });
  return state->entered;
}

bool FakeThreads::TerminateThread(std::uint32_t handle, std::uint32_t exitCode) {
  auto lock = scheduler_.Acquire();
  calls_.push_back(FormatLine("terminate %X", {handle}));
  auto found = threads_.find(handle);
  if (found == threads_.end() || failedTerminations_.count(handle) != 0) return false;
  std::shared_ptr<State> state = found->second;
  terminated_.push_back(handle);
  if (!state->entered && !state->ended) ++terminatedInStartup_;
  // A thread that already ended keeps its own exit code, as Windows does.
  if (!state->ended) {
    state->terminated = true;
    state->exitCode = exitCode;
    scheduler_.Notify();
    scheduler_.Wait(lock, [&] { return state->ended; });
  }
  lock.unlock();
  if (state->thread.joinable()) state->thread.join();
  return true;
}

void FakeThreads::ReleaseThread(std::uint32_t handle, std::uint32_t timeoutMs) {
  auto lock = scheduler_.Acquire();
  calls_.push_back(FormatLine("release %X %d", {handle, timeoutMs}));
  auto found = threads_.find(handle);
  if (found == threads_.end() || found->second->released) return;
  found->second->released = true;
  ++released_;
}

std::vector<std::string> FakeThreads::Calls() {
  auto lock = scheduler_.Acquire();
  return calls_;
}

std::size_t FakeThreads::TerminatedInStartup() {
  auto lock = scheduler_.Acquire();
  return terminatedInStartup_;
}

std::size_t FakeThreads::HandlesOpen() {
  auto lock = scheduler_.Acquire();
  return threads_.size() - released_;
}

std::unique_ptr<CriticalSection> FakeThreads::CreateCriticalSection() {
  auto lock = scheduler_.Acquire();
  ++locksCreated_;
  return std::make_unique<FakeCriticalSection>(scheduler_, lockToken_);
}

std::size_t FakeThreads::EndedLocked() const {
  return static_cast<std::size_t>(std::count_if(
      threads_.begin(), threads_.end(), [](const auto& entry) { return entry.second->ended; }));
}

std::vector<std::uint32_t> FakeThreads::Terminated() {
  auto lock = scheduler_.Acquire();
  return terminated_;
}

std::uint32_t FakeThreads::ExitCode(std::uint32_t handle) {
  auto lock = scheduler_.Acquire();
  scheduler_.Wait(lock, [&] { return threads_.at(handle)->ended; });
  return threads_.at(handle)->exitCode;
}

std::size_t FakeThreads::LocksCreated() {
  auto lock = scheduler_.Acquire();
  return locksCreated_;
}

std::size_t FakeThreads::LocksAlive() {
  auto lock = scheduler_.Acquire();
  return static_cast<std::size_t>(lockToken_.use_count() - 1);
}

// ---- spooler

void FakeSpooler::SetPrinters(std::vector<std::optional<std::string>> names) {
  auto count = static_cast<std::uint32_t>(names.size());
  SizeResult = count == 0 ? PrinterListSize{true, 0, 0} : PrinterListSize{false, 100 * count, 122};
  ListResult = PrinterList{true, true, count, 0, std::move(names)};
}

void FakeSpooler::FailOpenAttempts(const std::string& name, std::set<int> attempts) {
  auto lock = scheduler_.Acquire();
  openFailAttempts_[name] = std::move(attempts);
}

void FakeSpooler::FailRegistrationAttempts(const std::string& name, std::set<int> attempts) {
  auto lock = scheduler_.Acquire();
  registerFailAttempts_[name] = std::move(attempts);
}

void FakeSpooler::AddChange(const std::string& name, FakeChange change) {
  auto lock = scheduler_.Acquire();
  changes_[name].push_back(std::move(change));
  scheduler_.Notify();
}

std::vector<std::string> FakeSpooler::Calls() {
  auto lock = scheduler_.Acquire();
  return calls_;
}

std::vector<NotifyOptions> FakeSpooler::FetchOptions() {
  auto lock = scheduler_.Acquire();
  return fetchOptions_;
}

std::vector<NotifyOptions> FakeSpooler::RegisterOptions() {
  auto lock = scheduler_.Acquire();
  return registerOptions_;
}

std::size_t FakeSpooler::IdleWaitsLocked() const {
  return static_cast<std::size_t>(std::count_if(waiting_.begin(), waiting_.end(), [&](auto& name) {
    auto queue = changes_.find(name);
    return queue == changes_.end() || queue->second.empty();
  }));
}

PrinterListSize FakeSpooler::LocalPrintersSize() {
  auto lock = scheduler_.Acquire();
  calls_.push_back("EnumPrinters sizing");
  return SizeResult;
}

PrinterList FakeSpooler::ReadLocalPrinters(std::uint32_t bufferSize) {
  auto lock = scheduler_.Acquire();
  calls_.push_back(FormatLine("EnumPrinters %d", {bufferSize}));
  lastReadSize_ = bufferSize;
  if (ThrowOnRead) throw std::runtime_error("access violation");
  return ListResult;
}

std::optional<PrinterId> FakeSpooler::OpenNamedPrinter(const std::string& name) {
  auto lock = scheduler_.Acquire();
  scheduler_.CheckTerminated(lock);
  calls_.push_back("OpenPrinter " + name);
  const int attempt = openAttempts_[name]++;
  if (openFails_.count(name) != 0 || openFailAttempts_[name].count(attempt) != 0) {
    return std::nullopt;
  }
  // Numbered by the name's place in the printer list, so that the ids do not depend on the
  // order in which the workers run.
  auto listed = std::find(ListResult.Names.begin(), ListResult.Names.end(), name);
  auto place = static_cast<std::uint32_t>(listed - ListResult.Names.begin());
  PrinterId printer = 0x00A0 + 0x100 * place;
  while (printers_.count(printer) != 0) printer += 4;
  printers_[printer] = name;
  return printer;
}

void FakeSpooler::ClosePrinter(PrinterId printer) {
  auto lock = scheduler_.Acquire();
  scheduler_.CheckTerminated(lock);
  calls_.push_back("ClosePrinter " + printers_.at(printer) +
                   (closedPrinters_.insert(printer).second ? "" : " (closed)"));
}

ChangeId FakeSpooler::FindFirstPrinterChangeNotification(PrinterId printer, std::uint32_t filter,
                                                         std::uint32_t options,
                                                         const NotifyOptions& notifyOptions) {
  auto lock = scheduler_.Acquire();
  scheduler_.CheckTerminated(lock);
  const std::string& name = printers_.at(printer);
  calls_.push_back(
      FormatLine("FindFirstPrinterChangeNotification %s %X %d", {name, filter, options}) +
      (closedPrinters_.count(printer) != 0 ? " (closed)" : ""));
  registerOptions_.push_back(notifyOptions);
  const int attempt = registerAttempts_[name]++;
  if (registerFails_.count(name) != 0 || registerFailAttempts_[name].count(attempt) != 0) {
    return kInvalidChange;
  }
  ChangeId change = nextId_;
  nextId_ += 4;
  registrations_[change] = name;
  return change;
}

bool FakeSpooler::WaitForChange(ChangeId change) {
  auto lock = scheduler_.Acquire();
  scheduler_.CheckTerminated(lock);
  const std::string name = registrations_.at(change);
  std::deque<FakeChange>& queue = changes_[name];
  auto waiting = waiting_.insert(name);
  scheduler_.Notify();
  struct Leave {
    std::multiset<std::string>& set;
    std::multiset<std::string>::iterator it;
    ~Leave() { set.erase(it); }
  } leave{waiting_, waiting};
  scheduler_.WaitUntil(lock, [&] { return !queue.empty(); });
  FakeChange next = std::move(queue.front());
  queue.pop_front();
  calls_.push_back("WaitForChange " + name + (closedChanges_.count(change) ? " (closed)" : ""));
  pendingFetches_[change] = std::deque<NotifyFetch>(next.Fetches.begin(), next.Fetches.end());
  return next.WaitSucceeds;
}

NotifyFetch FakeSpooler::FindNextPrinterChangeNotification(ChangeId change,
                                                           const NotifyOptions& notifyOptions) {
  auto lock = scheduler_.Acquire();
  scheduler_.CheckTerminated(lock);
  calls_.push_back("FindNextPrinterChangeNotification " + registrations_.at(change) +
                   (closedChanges_.count(change) ? " (closed)" : ""));
  fetchOptions_.push_back(notifyOptions);
  std::deque<NotifyFetch>& fetches = pendingFetches_[change];
  if (fetches.empty()) return NotifyFetch{};
  NotifyFetch fetch = std::move(fetches.front());
  fetches.pop_front();
  return fetch;
}

void FakeSpooler::FindClosePrinterChangeNotification(ChangeId change) {
  auto lock = scheduler_.Acquire();
  scheduler_.CheckTerminated(lock);
  calls_.push_back("FindClosePrinterChangeNotification " + registrations_.at(change) +
                   (closedChanges_.insert(change).second ? "" : " (closed)"));
}

// ---- window

void FakeWindow::OpenDialog(DialogHandler* handler) {
  auto lock = scheduler_.Acquire();
  open_ = true;
  ended_ = false;
  handler_ = handler;
  windowThread_ = std::this_thread::get_id();
}

void FakeWindow::DestroyDialog() {
  auto lock = scheduler_.Acquire();
  open_ = false;
  handler_ = nullptr;
  // Messages sent to a window that is gone return unhandled.
  for (auto& task : tasks_) task->done = true;
  tasks_.clear();
  scheduler_.Notify();
}

bool FakeWindow::PumpOne(const std::function<bool()>& stop) {
  auto lock = scheduler_.Acquire();
  scheduler_.Wait(lock, [&] { return !tasks_.empty() || stop(); });
  if (tasks_.empty()) return false;
  RunTask(lock);
  return true;
}

void FakeWindow::RunTask(FakeScheduler::Lock& lock) {
  std::shared_ptr<Task> task = tasks_.front();
  tasks_.pop_front();
  task->started = true;
  lock.unlock();
  (*task->run)();
  lock.lock();
  task->done = true;
  scheduler_.Notify();
}

std::string FakeWindow::Text() {
  auto lock = scheduler_.Acquire();
  return text_;
}

std::size_t FakeWindow::SetTextCount() {
  auto lock = scheduler_.Acquire();
  return setTextCount_;
}

std::size_t FakeWindow::ScrollCount() {
  auto lock = scheduler_.Acquire();
  return scrollCount_;
}

std::vector<std::string> FakeWindow::Calls() {
  auto lock = scheduler_.Acquire();
  return calls_;
}

int FakeWindow::RunModalDialog(int templateId, DialogHandler& handler) {
  {
    auto lock = scheduler_.Acquire();
    calls_.push_back(FormatLine("DialogBox %d", {templateId}));
  }
  OpenDialog(&handler);
  handler.InitDialog(kDialog);
  auto lock = scheduler_.Acquire();
  bool closing = false;
  for (;;) {
    scheduler_.Wait(lock, [&] {
      return ended_ || !tasks_.empty() || (!closing && (!closeWhen_ || closeWhen_()));
    });
    if (ended_) break;
    if (!tasks_.empty()) {
      RunTask(lock);
      continue;
    }
    closing = true;
    lock.unlock();
    handler.Close(kDialog);
    lock.lock();
  }
  lock.unlock();
  DestroyDialog();
  return result_;
}

void FakeWindow::EndDialog(WindowId dialog, int result) {
  auto lock = scheduler_.Acquire();
  RequireWindowThread(windowThread_, "EndDialog");
  calls_.push_back(FormatLine("EndDialog %X %d", {dialog, result}));
  if (dialog != kDialog) return;
  ended_ = true;
  result_ = result;
  scheduler_.Notify();
}

WindowId FakeWindow::GetDlgItem(WindowId dialog, int controlId) {
  auto lock = scheduler_.Acquire();
  return open_ && dialog == kDialog && controlId == 1000 ? kControl : 0;
}

WindowId FakeWindow::GetParent(WindowId window) {
  auto lock = scheduler_.Acquire();
  return open_ && window == kControl ? kDialog : 0;
}

bool FakeWindow::IsWindowLocked(WindowId window) const {
  return open_ && (window == kDialog || window == kControl);
}

bool FakeWindow::IsWindow(WindowId window) {
  auto lock = scheduler_.Acquire();
  return IsWindowLocked(window);
}

IconId FakeWindow::LoadIconResource(int resourceId) {
  auto lock = scheduler_.Acquire();
  calls_.push_back(FormatLine("LoadIcon %d", {resourceId}));
  return static_cast<IconId>(0x0500 + resourceId);
}

void FakeWindow::SetIcons(WindowId dialog, IconId icon) {
  auto lock = scheduler_.Acquire();
  calls_.push_back(FormatLine("SetIcons %X %X", {dialog, icon}));
}

void FakeWindow::SetText(WindowId window, const std::string& text) {
  auto lock = scheduler_.Acquire();
  RequireWindowThread(windowThread_, "SetText");
  if (!IsWindowLocked(window) || window != kControl) return;
  text_ = text;
  ++setTextCount_;
}

void FakeWindow::ScrollToBottom(WindowId window) {
  auto lock = scheduler_.Acquire();
  RequireWindowThread(windowThread_, "ScrollToBottom");
  if (IsWindowLocked(window)) ++scrollCount_;
}

std::string FakeWindow::GetText(WindowId window, int maxCount) {
  auto lock = scheduler_.Acquire();
  if (!IsWindowLocked(window) || window != kControl || maxCount <= 0) return std::string();
  return text_.substr(0, static_cast<std::size_t>(maxCount - 1));
}

void FakeWindow::SendFlushActivity(WindowId dialog) {
  auto lock = scheduler_.Acquire();
  RequireWindowThread(windowThread_, "SendFlushActivity");
  if (!IsWindowLocked(dialog) || dialog != kDialog || !handler_) return;
  calls_.push_back("WM_FLUSHACTIVITY");
  DialogHandler* handler = handler_;
  lock.unlock();
  handler->FlushActivity(dialog);
}

ClientRect FakeWindow::GetClientRect(WindowId) {
  return ClientRect{0, 0, 730, 546};
}

void FakeWindow::MoveWindow(WindowId window, int x, int y, int width, int height, bool repaint) {
  auto lock = scheduler_.Acquire();
  calls_.push_back(
      FormatLine("MoveWindow %X %d %d %d %d %d", {window, x, y, width, height, repaint}));
}

void FakeWindow::SendTask(WindowId dialog, const std::function<void()>& task) {
  auto lock = scheduler_.Acquire();
  scheduler_.CheckTerminated(lock);
  if (!IsWindowLocked(dialog)) return;
  if (std::this_thread::get_id() == windowThread_) {
    lock.unlock();
    task();
    return;
  }
  auto item = std::make_shared<Task>();
  item->run = &task;
  tasks_.push_back(item);
  scheduler_.Notify();
  scheduler_.Wait(
      lock, [&] { return item->done || (!item->started && scheduler_.CurrentTerminated(lock)); });
  if (!item->done) {
    tasks_.erase(std::find(tasks_.begin(), tasks_.end(), item));
    throw ThreadTerminated{};
  }
}

// ---- files

void FakeFiles::Put(const std::string& path, File file) {
  auto lock = scheduler_.Acquire();
  files_[path] = std::move(file);
}

std::optional<FakeFiles::File> FakeFiles::Get(const std::string& path) {
  auto lock = scheduler_.Acquire();
  auto found = files_.find(path);
  if (found == files_.end()) return std::nullopt;
  return found->second;
}

std::vector<std::string> FakeFiles::Calls() {
  auto lock = scheduler_.Acquire();
  return calls_;
}

std::optional<FileEntry> FakeFiles::FindFile(const std::string& path) {
  auto lock = scheduler_.Acquire();
  calls_.push_back("FindFirstFile " + path);
  auto found = files_.find(path);
  if (found == files_.end()) return std::nullopt;
  return FileEntry{found->second.Directory, found->second.LastWriteTime};
}

std::optional<std::uint64_t> FakeFiles::FileTimeToLocalFileTime(std::uint64_t fileTime) {
  auto lock = scheduler_.Acquire();
  if (LocalOffset < 0 && fileTime < static_cast<std::uint64_t>(-LocalOffset)) return std::nullopt;
  return fileTime + static_cast<std::uint64_t>(LocalOffset);
}

bool FakeFiles::CanOpenExclusively(const std::string& path) {
  auto lock = scheduler_.Acquire();
  calls_.push_back("CanOpenExclusively " + path);
  auto found = files_.find(path);
  if (found == files_.end()) return false;
  int& busy = found->second.BusyChecks;
  if (busy == 0) return true;
  if (busy > 0) --busy;
  return false;
}

bool FakeFiles::AppendToFile(const std::string& path, const std::string& text) {
  auto lock = scheduler_.Acquire();
  calls_.push_back("AppendToFile " + path);
  auto found = files_.find(path);
  if (found == files_.end() || found->second.Directory || found->second.BusyChecks != 0 ||
      found->second.Unwritable) {
    return false;
  }
  found->second.Content += text;
  return true;
}

bool FakeFiles::CreateFileWithText(const std::string& path, const std::string& text) {
  auto lock = scheduler_.Acquire();
  calls_.push_back("CreateFileWithText " + path);
  if (files_.count(path) != 0 || uncreatable_.count(path) != 0) return false;
  File file;
  file.Content = text;
  files_[path] = file;
  return true;
}

// ---- system

std::vector<std::string> FakeSystem::DebugLines() {
  auto lock = scheduler_.Acquire();
  return debugLines_;
}

std::vector<std::uint32_t> FakeSystem::Sleeps() {
  auto lock = scheduler_.Acquire();
  return sleeps_;
}

void FakeSystem::WriteDebugOutput(const std::string& text) {
  auto lock = scheduler_.Acquire();
  scheduler_.CheckTerminated(lock);
  debugLines_.push_back(text);
}

LocalTime FakeSystem::GetLocalTime() {
  auto lock = scheduler_.Acquire();
  scheduler_.CheckTerminated(lock);
  return Now;
}

std::string FakeSystem::TimeSeparator() {
  auto lock = scheduler_.Acquire();
  return Separator;
}

void FakeSystem::HoldSleepsOf(std::uint32_t milliseconds) {
  auto lock = scheduler_.Acquire();
  heldSleep_ = milliseconds;
}

void FakeSystem::Sleep(std::uint32_t milliseconds) {
  auto lock = scheduler_.Acquire();
  scheduler_.CheckTerminated(lock);
  sleeps_.push_back(milliseconds);
  if (milliseconds != heldSleep_) return;
  ++heldSleeps_;
  scheduler_.Notify();
  struct Leave {
    std::size_t& held;
    ~Leave() { --held; }
  } leave{heldSleeps_};
  scheduler_.WaitUntil(lock, [] { return false; });
}

std::vector<std::string> FakeSystem::CommandLineArguments() {
  auto lock = scheduler_.Acquire();
  return Arguments;
}

std::function<bool()> FakePlatform::WorkersIdle() {
  return [this] {
    return threads.EndedLocked() + spooler.IdleWaitsLocked() == threads.CreatedLocked();
  };
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

}  // namespace pennock::testing
