// Fakes of every platform interface of the print server over a temp folder of real files: the
// program file lies in the temp folder, so the job store and the default log file do too.
// The harnesses of the server and of the main window build on it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "corvale/engine/print_server.h"
#include "corvale/platform/portable/std_file_system.h"
#include "tests/fakes/call_journal.h"
#include "tests/fakes/fake_event_log.h"
#include "tests/fakes/fake_event_loop.h"
#include "tests/fakes/fake_folder_watch.h"
#include "tests/fakes/fake_printers.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_shell.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/recording_file_system.h"

namespace corvale::testing {

// A folder below the system's temp folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder as the program names it (a Windows-style path that StdFileSystem reads).
  const std::string& Path() const { return path_; }
  // `relative` ("In\\a.afp") below the folder, as the program names it.
  std::string Win(const std::string& relative) const { return path_ + "\\" + relative; }
  // The same file for the test's own std::filesystem calls.
  std::filesystem::path Native(const std::string& relative) const;

  // Writes a file (creating its folders) last written `age_seconds` ago.
  void WriteFile(const std::string& relative, const std::string& bytes, int age_seconds = 0) const;
  std::string ReadFile(const std::string& relative) const;
  bool Exists(const std::string& relative) const;
  // Names of the plain files of a folder, sorted.
  std::vector<std::string> FilesIn(const std::string& relative) const;

 private:
  std::string path_;
};

class FakePlatform {
 public:
  FakePlatform();
  virtual ~FakePlatform() = default;

  // The log file's entries without their timestamps: "[Category] message", and the first line
  // of a new file, "Log file created".
  std::vector<std::string> LogEntries() const;
  // The messages of one category, in order.
  std::vector<std::string> LogMessages(const std::string& category) const;
  // The print utility, in place where the machine's AFP Workbench key names it.
  std::string PrintUtility() const { return temp.Win("Workbench\\ftdwprt.exe"); }

  TempFolder temp;
  StdFileSystem disk;
  RecordingFileSystem files{disk};
  FakeRegistry registry;
  FakePrinters printers;
  FakeShell shell;
  FakeSystemInfo system;
  FakeClock clock;
  FakeEventLoop loop;
  FakeFolderWatch watch;
  CallJournal journal;
  FakeEventLog events;
  ServerPlatform server_platform{registry, files, printers, shell, system,
                                 clock,    loop,  watch,    events};

 protected:
  // The server whose log is read; null when there is none.
  virtual PrintServer* ServerOrNull() const = 0;
  // Blocks until every job runner of `server` has finished its job; throws after 20 s.
  static void WaitForRunnersIdle(PrintServer& server);
  // Ends every print utility and blocks until the runners have finished.
  void EndRunners(PrintServer& server);
};

// What the server showed, as a window would have shown it. Main thread only.
class FakeServerView : public ServerView {
 public:
  // Runs when a status text arrives, after it has been recorded.
  std::function<void(const std::string&)> OnStatus;

  void ShowStatusText(const std::string& text) override {
    status_ = text;
    if (OnStatus) OnStatus(text);
  }
  void ShowJobsInQueue(int32_t count) override { jobs_in_queue_ = std::to_string(count); }
  void RunningChanged(bool running) override { running_ = running; }
  void ShowStartMessage(const std::string& text) override { messages_.push_back(text); }

  const std::string& Status() const { return status_; }
  // The job count as shown; empty until the server shows one.
  const std::string& JobsInQueue() const { return jobs_in_queue_; }
  bool ShownRunning() const { return running_; }
  // The start messages an operator was shown.
  const std::vector<std::string>& Messages() const { return messages_; }
  void ClearMessages() { messages_.clear(); }

 private:
  std::string status_;
  std::string jobs_in_queue_;
  bool running_ = false;
  std::vector<std::string> messages_;
};

// The print server over the fakes, with a fake view and no window.
class ServerHarness : public FakePlatform {
 public:
  ServerHarness() = default;
  ~ServerHarness() override;

  // Makes the server, with settings for the printers listed now (the slots unconfigured, the
  // log file beside the program) in force.
  PrintServer& Create();
  PrintServer& Server() { return *server_; }
  void DestroyServer();

  // The settings the test edits; Start and Apply put them in force.
  Settings settings;
  // Enables slot n with folders below the temp folder (empty text: no folder).
  void ConfigureSlot(int n, const std::string& input, const std::string& done, int32_t depth,
                     bool delete_when_done = false);
  void Apply() { server_->ApplySettings(settings); }
  bool Start(StartMode mode = StartMode::kOperator) { return server_->Start(settings, mode); }

  EngineState& Engine() { return server_->Engine(); }
  JobLedger& Ledger() { return server_->Ledger(); }
  void WaitForRunnersIdle() { FakePlatform::WaitForRunnersIdle(*server_); }
  // One status tick, and the look at the folders it asks for, handed back to the server.
  void StatusTick();

  FakeServerView view;

 protected:
  PrintServer* ServerOrNull() const override { return server_.get(); }

 private:
  std::unique_ptr<PrintServer> server_;
};

}  // namespace corvale::testing
