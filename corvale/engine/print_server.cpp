// The print server's life: what it prepares when it is made, the settings it works from, its
// error reports and status text, and closing.
#include "corvale/engine/print_server.h"

#include <chrono>
#include <exception>

#include "common/text.h"
#include "corvale/engine/errors.h"
#include "corvale/platform/file_system.h"
#include "corvale/platform/printers.h"
#include "corvale/platform/registry.h"
#include "corvale/platform/system_info.h"

namespace corvale {

PrintServer::PrintServer(ServerPlatform& platform, ServerView& view)
    : platform_(platform),
      view_(view),
      ledger_(std::make_shared<JobLedger>(platform.files, platform.shell, platform.clock,
                                          platform.system, platform.loop, platform.events)),
      status_receiver_(std::make_shared<std::function<void(const std::string&)>>(
          [this](const std::string& text) { SetStatusText(text); })),
      failure_receiver_(
          std::make_shared<std::function<void(int)>>([this](int n) { CountFailedJobs(n); })),
      probe_(platform.files, platform.loop),
      folders_(platform.files, settings_) {
  ledger_->SetStatusReceiver(status_receiver_);
  // Standing conditions reach the Windows Event Log as they begin and as they end.
  // A failed print has an event of its own: the count of failed jobs that stands is none.
  notices_.OnChange = [this](const std::string& cause, const std::string* text) {
    if (cause.rfind("failed ", 0) == 0) return;
    if (!text) return ledger_->Events.Ends(cause);
    const bool stops_printing = cause == "print utility" || cause == "log" || cause == "record";
    ledger_->Events.Begins(cause, stops_printing ? EventKind::kError : EventKind::kWarning,
                           *text);
  };
  ledger_->SetFailureReceiver(failure_receiver_);
  // Tasks handed to the main thread (the runners' status texts) run on the unattended path.
  platform_.loop.SetHandlerBoundary(
      [this](const std::function<void()>& handler) { RunUnattended(handler); });

  WatchedFolders::Actions folders;
  folders.StartWatching = [this](const std::string& folder) { notifier_->AddFolder(folder); };
  folders.StopWatching = [this](const std::string& folder) { notifier_->RemoveFolder(folder); };
  // The minute's look and a folder watched again try the moves that failed once more.
  folders.Scan = [this](int, const std::string& folder) {
    engine_.RetryFailedMoves.insert(folder);
    ScanInputFolder(folder);
  };
  folders.SlotIdle = [this](int n) { return ledger_->JobsInFlight[n] == 0; };
  folders.Log = [this](const std::string& message) { WriteLog(message, "Shell"); };
  folders.ErrorText = [this](uint32_t error) { return platform_.files.ErrorText(error); };
  folders.Look = [this](std::vector<FolderProbe::Request> requests) {
    return probe_.Look(std::move(requests), [this](const std::vector<FolderProbe::Result>& looks) {
      folders_.Looked(looks, platform_.clock.Ticks());
      ShowNotices();
    });
  };
  folders_.SetActions(std::move(folders));

  StartUp();
}

PrintServer::~PrintServer() {
  platform_.loop.SetHandlerBoundary(nullptr);
  notifier_.reset();
  // A runner that is finishing a file ends before the platform may go; one whose utility still
  // runs leaves its job as it is when the utility ends.
  ledger_->LetRunnersGo();
}

void PrintServer::StartUp() {
  // Every step runs even when an earlier one failed, so that the job store root is never left
  // unset.
  auto step = [&](const std::function<void()>& body) {
    try {
      body();
    } catch (const std::exception& e) {
      startup_errors_.push_back(e.what());
    }
  };
  step([&] { engine_.StartupDefaultPrinter = platform_.printers.DefaultPrinter(); });
  step([&] {
    notifier_ = std::make_unique<TGXThreadFileNotifier>(platform_.watch);
    notifier_->Boundary = [this](const std::function<void()>& handler) { RunUnattended(handler); };
  });
  step([&] {
    engine_.RunningUnderWow64 = IsWow64(platform_.system);
    engine_.RegistryViewFlag = engine_.RunningUnderWow64 ? kKeyWow64_64Key : kKeyWow64_32Key;
  });
  step([&] {
    engine_.JobStoreRoot = ProgramFolder() + "\\JobStore";
    if (!platform_.files.DirectoryExists(engine_.JobStoreRoot))
      EnsureFolder(platform_.files, engine_.JobStoreRoot);
  });
  ledger_->Record.SetFolder(JobRecordFolder());
}

void PrintServer::ApplySettings(const Settings& settings) {
  const bool log_file_changed = settings.LogFile != settings_.LogFile;
  settings_ = settings;
  ledger_->Log.SetEnabled(settings_.LogEnabled);
  if (log_file_changed) ledger_->Log.SetCurrentLogFile(varnell::Trim(settings_.LogFile));
  ledger_->Record.SetFolder(JobRecordFolder());
}

std::string PrintServer::JobRecordFolder() const {
  const std::string log_folder = ExtractFileDir(varnell::Trim(settings_.LogFile));
  return (log_folder.empty() ? ProgramFolder() : log_folder) + "\\Jobs";
}

std::string PrintServer::ProgramFolder() const {
  return ExtractFileDir(platform_.system.ProgramPath());
}

void PrintServer::SetStatusText(const std::string& text) {
  status_text_ = text;
  view_.ShowStatusText(text);
}

void PrintServer::WriteLog(const std::string& message, const std::string& category) {
  try {
    ledger_->Log.WriteLog(message, category);
  } catch (const LogWriteError& e) {
    SetStatusText("The log file " + e.Path() + " cannot be written: " + e.what());
  }
}

void PrintServer::ReportError(const std::string& message) {
  // An error that stands (a tick that fails every second) makes one line a minute.
  if (throttle_.Due("error " + message, platform_.clock.Ticks()))
    WriteLog("ERROR: " + message, "General");
  SetStatusText(message);
}

void PrintServer::RunUnattended(const std::function<void()>& handler) {
  std::string message;
  try {
    handler();
    return;
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "Unknown error";
  }
  ReportError(message);
}

void PrintServer::RestoreStartupDefaultPrinter() {
  SetWindowsDefaultPrinter(engine_.StartupDefaultPrinter, /*synchronous=*/false);
}

void PrintServer::Close(uint32_t limit_ms) {
  // A dispatch pass that waits for its runner below this call ends as soon as this returns.
  closing_ = true;
  if (engine_.Running) Stop();
  notifier_.reset();
  WaitForPrintingJobs(limit_ms);
  server_lock_.reset();
}

void PrintServer::WaitForPrintingJobs(uint32_t limit_ms) {
  std::vector<std::string> printing;
  {
    std::unique_lock lock(ledger_->Mutex);
    if (ledger_->ActiveRunners == 0) return;
    lock.unlock();
    SetStatusText("Waiting for the print utility to end ...");
    lock.lock();
    if (ledger_->RunnersDone.wait_for(lock, std::chrono::milliseconds(limit_ms),
                                      [&] { return ledger_->ActiveRunners == 0; }))
      return;
    for (const auto& job : ledger_->PendingJobFiles) printing.push_back(job.second);
  }
  // The job stays in the job store, where the next Start takes it again.
  for (const std::string& job : printing) {
    WriteLog("A job is still printing as Corvale closes: " + job +
                 " stays in the job store, and the next Start takes it again",
             "JobStatus");
  }
  // From here on a utility that ends leaves its job as it is, as the line says.
  ledger_->LetRunnersGo();
}

}  // namespace corvale
