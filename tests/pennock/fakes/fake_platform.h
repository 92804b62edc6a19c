// Fakes of the monitor's platform for native tests: a scripted spooler, threads whose forced
// termination stops the thread at its next platform call, a fake dialog whose window thread is
// the test's thread, in-memory files and a virtual clock. All fakes share one mutex and one
// condition variable, so that every blocking wait also wakes when its thread is terminated.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "pennock/platform/platform.h"

namespace pennock::testing {

// Thrown inside a terminated fake thread at its next platform call.
struct ThreadTerminated {};

class FakeScheduler {
 public:
  using Lock = std::unique_lock<std::mutex>;
  Lock Acquire() { return Lock(mutex_); }
  void Notify() { changed_.notify_all(); }
  // Waits until `ready` holds; throws ThreadTerminated when the calling fake thread is
  // terminated first.
  void WaitUntil(Lock& lock, const std::function<bool()>& ready);
  // Throws ThreadTerminated when the calling fake thread has been terminated.
  void CheckTerminated(Lock& lock);
  // Whether the calling fake thread has been terminated (false outside fake threads).
  bool CurrentTerminated(Lock& lock);
  // Waits until `ready` holds, whoever calls.
  void Wait(Lock& lock, const std::function<bool()>& ready) { changed_.wait(lock, ready); }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
};

class FakeThreads : public Threads {
 public:
  explicit FakeThreads(FakeScheduler& scheduler) : scheduler_(scheduler) {}
  ~FakeThreads() override;

  StartedThread CreateThread(std::function<std::uint32_t()> body) override;
  bool WaitUntilEntered(std::uint32_t handle, std::uint32_t timeoutMs) override;
  bool TerminateThread(std::uint32_t handle, std::uint32_t exitCode) override;
  void ReleaseThread(std::uint32_t handle, std::uint32_t timeoutMs) override;
  std::unique_ptr<CriticalSection> CreateCriticalSection() override;

  // Script: creation attempts (counted from 0) that fail with `error`; handles whose
  // termination fails.
  void FailCreation(std::size_t attempt, std::uint32_t error) { failedCreations_[attempt] = error; }
  void FailTermination(std::uint32_t handle) { failedTerminations_.insert(handle); }
  // Script: the thread of a creation attempt stays in its start-up, before its body, until
  // somebody waits for it to enter (as a real thread gets scheduled while its creator waits);
  // with `ever` false it never gets there.
  void HoldInStartup(std::size_t attempt, bool ever = true) { heldStarts_[attempt] = ever; }

  // Observation (take the scheduler's lock for the *Locked ones).
  std::size_t CreatedLocked() const { return threads_.size(); }
  std::size_t EndedLocked() const;
  std::vector<std::uint32_t> Terminated();
  // The exit code of an ended thread (the worker's own result when it ended by itself).
  std::uint32_t ExitCode(std::uint32_t handle);
  std::size_t LocksCreated();
  std::size_t LocksAlive();
  // "wait <handle> <ms>", "terminate <handle>" and "release <handle> <ms>", in call order,
  // handles in hexadecimal.
  std::vector<std::string> Calls();
  // Threads terminated while still in their start-up: each one a fault of the caller.
  std::size_t TerminatedInStartup();
  // Threads created and not yet released.
  std::size_t HandlesOpen();

  struct State;

 private:
  FakeScheduler& scheduler_;
  std::map<std::size_t, std::uint32_t> failedCreations_;
  std::set<std::uint32_t> failedTerminations_;
  std::map<std::size_t, bool> heldStarts_;
  std::vector<std::string> calls_;
  std::size_t terminatedInStartup_ = 0;
  std::size_t released_ = 0;
  std::size_t attempts_ = 0;
  std::map<std::uint32_t, std::shared_ptr<State>> threads_;
  std::vector<std::uint32_t> terminated_;
  std::size_t locksCreated_ = 0;
  std::shared_ptr<int> lockToken_ = std::make_shared<int>(0);
};

// One change of a scripted printer: what the wait reports, then the fetches it answers.
struct FakeChange {
  bool WaitSucceeds = true;
  std::vector<NotifyFetch> Fetches;
};

class FakeSpooler : public Spooler {
 public:
  explicit FakeSpooler(FakeScheduler& scheduler) : scheduler_(scheduler) {}

  // Script of the printer list: by default the sizing call fails with 122 asking for 100
  // bytes per printer, and the second call lists the names.
  void SetPrinters(std::vector<std::optional<std::string>> names);
  PrinterListSize SizeResult;
  PrinterList ListResult;
  bool ThrowOnRead = false;

  // Script of one printer name (shared by every printer of that name): every open or
  // registration fails, or those of the given attempts (counted from 0 per name).
  void FailOpen(const std::string& name) { openFails_.insert(name); }
  void FailRegistration(const std::string& name) { registerFails_.insert(name); }
  void FailOpenAttempts(const std::string& name, std::set<int> attempts);
  void FailRegistrationAttempts(const std::string& name, std::set<int> attempts);
  void AddChange(const std::string& name, FakeChange change);

  // Observation. A call on a printer or registration closed before gets " (closed)".
  std::vector<std::string> Calls();
  std::vector<NotifyOptions> FetchOptions();
  std::vector<NotifyOptions> RegisterOptions();
  // Workers waiting for a change while none is scripted for their printer.
  std::size_t IdleWaitsLocked() const;
  std::uint32_t LastReadBufferSize() const { return lastReadSize_; }

  PrinterListSize LocalPrintersSize() override;
  PrinterList ReadLocalPrinters(std::uint32_t bufferSize) override;
  std::optional<PrinterId> OpenNamedPrinter(const std::string& name) override;
  void ClosePrinter(PrinterId printer) override;
  ChangeId FindFirstPrinterChangeNotification(PrinterId printer, std::uint32_t filter,
                                              std::uint32_t options,
                                              const NotifyOptions& notifyOptions) override;
  bool WaitForChange(ChangeId change) override;
  NotifyFetch FindNextPrinterChangeNotification(ChangeId change,
                                                const NotifyOptions& notifyOptions) override;
  void FindClosePrinterChangeNotification(ChangeId change) override;

 private:
  FakeScheduler& scheduler_;
  std::set<std::string> openFails_;
  std::set<std::string> registerFails_;
  std::map<std::string, std::set<int>> openFailAttempts_;
  std::map<std::string, std::set<int>> registerFailAttempts_;
  std::map<std::string, int> openAttempts_;
  std::map<std::string, int> registerAttempts_;
  std::set<PrinterId> closedPrinters_;
  std::set<ChangeId> closedChanges_;
  std::map<std::string, std::deque<FakeChange>> changes_;
  std::map<PrinterId, std::string> printers_;
  std::map<ChangeId, std::string> registrations_;
  std::map<ChangeId, std::deque<NotifyFetch>> pendingFetches_;
  std::vector<std::string> calls_;
  std::vector<NotifyOptions> fetchOptions_;
  std::vector<NotifyOptions> registerOptions_;
  std::multiset<std::string> waiting_;
  std::uint32_t nextId_ = 0x8000;
  std::uint32_t lastReadSize_ = 0;
};

class FakeWindow : public WindowSystem {
 public:
  static constexpr WindowId kDialog = 0x00010010;
  static constexpr WindowId kControl = 0x00010011;

  explicit FakeWindow(FakeScheduler& scheduler) : scheduler_(scheduler) {}

  // DialogBox closes the dialog (its Close) once no task is pending and `condition` holds; it
  // is called with the scheduler's lock held. By default the dialog closes at once.
  void CloseWhen(std::function<bool()> condition) { closeWhen_ = std::move(condition); }
  // Opens the dialog without a message loop, with the calling thread as its window thread.
  void OpenDialog(DialogHandler* handler);
  void DestroyDialog();
  // Window thread: runs one pending task, waiting for one until `stop` holds (called with the
  // scheduler's lock held); false when it stopped without a task.
  bool PumpOne(const std::function<bool()>& stop);

  // Observation.
  std::string Text();
  std::size_t PendingTasksLocked() const { return tasks_.size(); }
  std::size_t SetTextCount();
  std::size_t ScrollCount();
  std::vector<std::string> Calls();

  int RunModalDialog(int templateId, DialogHandler& handler) override;
  void EndDialog(WindowId dialog, int result) override;
  WindowId GetDlgItem(WindowId dialog, int controlId) override;
  WindowId GetParent(WindowId window) override;
  bool IsWindow(WindowId window) override;
  IconId LoadIconResource(int resourceId) override;
  void SetIcons(WindowId dialog, IconId icon) override;
  void SetText(WindowId window, const std::string& text) override;
  void ScrollToBottom(WindowId window) override;
  std::string GetText(WindowId window, int maxCount) override;
  void SendFlushActivity(WindowId dialog) override;
  ClientRect GetClientRect(WindowId window) override;
  void MoveWindow(WindowId window, int x, int y, int width, int height, bool repaint) override;
  void SendTask(WindowId dialog, const std::function<void()>& task) override;

 private:
  struct Task {
    const std::function<void()>* run = nullptr;
    bool started = false;
    bool done = false;
  };
  bool IsWindowLocked(WindowId window) const;
  void RunTask(FakeScheduler::Lock& lock);

  FakeScheduler& scheduler_;
  std::function<bool()> closeWhen_;
  DialogHandler* handler_ = nullptr;
  std::thread::id windowThread_;
  bool open_ = false;
  bool ended_ = false;
  int result_ = -1;
  std::deque<std::shared_ptr<Task>> tasks_;
  std::string text_;
  std::size_t setTextCount_ = 0;
  std::size_t scrollCount_ = 0;
  std::vector<std::string> calls_;
};

class FakeFiles : public FileSystem {
 public:
  struct File {
    std::string Content;
    bool Directory = false;
    std::uint64_t LastWriteTime = 129495047050000000;  // 2011-05-10 12:38:25 UTC
    int BusyChecks = 0;  // exclusive opens that fail before the file is free; -1: always
    bool Unwritable = false;
  };

  explicit FakeFiles(FakeScheduler& scheduler) : scheduler_(scheduler) {}

  void Put(const std::string& path, File file);
  std::optional<File> Get(const std::string& path);
  void FailCreation(const std::string& path) { uncreatable_.insert(path); }
  // Added by FileTimeToLocalFileTime (the time zone's offset), in FILETIME units.
  std::int64_t LocalOffset = 0;
  std::vector<std::string> Calls();

  std::optional<FileEntry> FindFile(const std::string& path) override;
  std::optional<std::uint64_t> FileTimeToLocalFileTime(std::uint64_t fileTime) override;
  bool CanOpenExclusively(const std::string& path) override;
  bool AppendToFile(const std::string& path, const std::string& text) override;
  bool CreateFileWithText(const std::string& path, const std::string& text) override;

 private:
  FakeScheduler& scheduler_;
  std::map<std::string, File> files_;
  std::set<std::string> uncreatable_;
  std::vector<std::string> calls_;
};

class FakeSystem : public System {
 public:
  explicit FakeSystem(FakeScheduler& scheduler) : scheduler_(scheduler) {}

  LocalTime Now{2011, 5, 10, 14, 38, 25};
  std::string Separator = ":";
  std::vector<std::string> Arguments;
  std::vector<std::string> DebugLines();
  std::vector<std::uint32_t> Sleeps();
  // Sleeps of exactly `milliseconds` last until their thread is terminated, as a long pause
  // would; the others return at once.
  void HoldSleepsOf(std::uint32_t milliseconds);
  // Threads inside such a sleep (take the scheduler's lock).
  std::size_t HeldSleepsLocked() const { return heldSleeps_; }

  void WriteDebugOutput(const std::string& text) override;
  LocalTime GetLocalTime() override;
  std::string TimeSeparator() override;
  void Sleep(std::uint32_t milliseconds) override;
  std::vector<std::string> CommandLineArguments() override;

 private:
  FakeScheduler& scheduler_;
  std::vector<std::string> debugLines_;
  std::vector<std::uint32_t> sleeps_;
  std::optional<std::uint32_t> heldSleep_;
  std::size_t heldSleeps_ = 0;
};

// A dialog that handles nothing, for tests that only need the window to exist.
class NullDialog : public DialogHandler {
 public:
  void InitDialog(WindowId) override {}
  void Size(WindowId) override {}
  void Close(WindowId) override {}
  void FlushActivity(WindowId) override {}
};

// Every fake wired into one Platform.
struct FakePlatform {
  FakeScheduler scheduler;
  FakeSpooler spooler{scheduler};
  FakeWindow window{scheduler};
  FakeFiles files{scheduler};
  FakeSystem system{scheduler};
  // Last, so that its threads are ended before the fakes they call go away.
  FakeThreads threads{scheduler};
  Platform platform{spooler, threads, window, files, system};

  // A close condition: every started worker ended or waits for a change with none scripted.
  std::function<bool()> WorkersIdle();
};

// Lines of a text that ends each line with CR LF (the last one included).
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace pennock::testing
