// The print server: the engine state, the log, the watched folders, the notices and the print
// policy of one Corvale, and every operation of the job engine. It works from a Settings value,
// takes the ticks and events as calls, and reports through a ServerView; it never reads a control
// and never opens a box. The window, the service and the tests each host one.
// Owned and used on the main thread; its job runners share only the ledger.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "corvale/engine/engine_state.h"
#include "corvale/engine/failed_jobs.h"
#include "corvale/engine/folder_probe.h"
#include "corvale/engine/gx_file_notify.h"
#include "corvale/engine/job_ledger.h"
#include "corvale/engine/log_throttle.h"
#include "corvale/engine/print_policy.h"
#include "corvale/engine/server_view.h"
#include "corvale/engine/status_notices.h"
#include "corvale/engine/watched_folders.h"
#include "corvale/platform/event_loop.h"
#include "corvale/platform/file_system.h"
#include "corvale/settings/settings.h"

namespace corvale {

class Registry;
class FileSystem;
class Printers;
class Shell;
class SystemInfo;
class Clock;

// The Windows operations the print server needs, as a host wires them. They outlive the server.
struct ServerPlatform {
  Registry& registry;
  FileSystem& files;
  Printers& printers;
  Shell& shell;
  SystemInfo& system;
  Clock& clock;
  EventLoop& loop;
  FolderWatchPlatform& watch;
  EventLog& events;
};

// One file found by a scan: the scan list's item.
struct ScanEntry {
  std::string FileName;   // caption
  std::string Extension;  // without the dot
  std::string Folder;     // without trailing delimiter
  uint32_t DosTime = 0;   // last write, local time, MS-DOS date-time form
};

// Who asked for a Start: an operator reads its refusals in a box; an unattended Start (at logon,
// its retries) logs them and shows them in the status text. The service starts unattended and
// refuses to start with an input folder it cannot reach (a drive letter only the user's logon
// maps, a share its account may not open).
enum class StartMode { kOperator, kUnattended, kService };

// How long closing waits for a print utility that still runs, and at the end of a session.
constexpr uint32_t kCloseWaitMs = 30000;
constexpr uint32_t kSessionEndWaitMs = 5000;
// The file in the job store that the serving Corvale holds.
constexpr char kServerLockName[] = "Corvale.lock";

class PrintServer {
 public:
  // Notes the default printer of now, creates the folder change notifier, tells whether the
  // process runs under WOW64 and makes the job store folder beside the program. What fails on
  // the way is kept in StartupErrors; the server is usable all the same.
  PrintServer(ServerPlatform& platform, ServerView& view);
  // Lets the job runners go (see Close): a runner that is finishing a file is waited for.
  ~PrintServer();
  PrintServer(const PrintServer&) = delete;
  PrintServer& operator=(const PrintServer&) = delete;

  const std::vector<std::string>& StartupErrors() const { return startup_errors_; }

  // The settings in force from now on. What each setting changes at once and what only at the
  // next Start: folders and the delete option are read by every scan and dispatch, the queue
  // depths and the print policy at Start; the log follows its settings at once.
  void ApplySettings(const Settings& settings);
  const Settings& SettingsInForce() const { return settings_; }

  // Start and Stop. A second Start leaves a running server as it is. False when Start refused.
  bool Start(StartMode mode);
  bool Start(const Settings& settings, StartMode mode);
  void Stop();
  bool Running() const { return engine_.Running; }
  // Who serves this computer when the last Start was refused because another Corvale does;
  // empty otherwise. Such a refusal lasts until that one closes: trying again every minute
  // would only repeat it.
  const std::string& ServedElsewhere() const { return served_elsewhere_; }

  // The ticks while the server runs: status (every second), dispatch (every two seconds) and
  // log limits (every minute).
  void StatusTick();
  void DispatchTick();
  void LogTick();

  // A change report of a watched folder, or a rescan of `folder`.
  void ScanInputFolder(const std::string& folder);
  // Logs and shows the job count, and rescans a slot that left files behind once it is idle.
  void PollStatus();

  // Closing: makes the default printer of the program's start the default again (posted), then
  // ends every wait of the server's at once and waits up to `limit_ms` for the print utilities
  // that still run. A job whose utility ends meanwhile is finished (its file in the done folder)
  // before Close returns; one whose utility still runs stays in the job store with a line.
  // Nothing of the server is used afterwards but its destruction.
  void RestoreStartupDefaultPrinter();
  void Close(uint32_t limit_ms);
  bool Closing() const { return closing_; }

  // An error raised on the unattended path: logged (the same error at most once a minute), and
  // shown in the status text.
  void ReportError(const std::string& message);
  // Runs `handler` so that an error it raises is reported as above, never unwinding further.
  void RunUnattended(const std::function<void()>& handler);
  // Writes one log line from the main thread. A line that cannot be written does not stop the
  // work that writes it: the status text says so, and the next line tries again.
  void WriteLog(const std::string& message, const std::string& category);
  void SetStatusText(const std::string& text);
  const std::string& StatusText() const { return status_text_; }

  // Makes `printer_name` the Windows default printer and tells every top-level window: sent
  // (and read back) or posted.
  DefaultPrinterSwitch SetWindowsDefaultPrinter(const std::string& printer_name, bool synchronous);
  // The print utility's full path, found afresh for every job.
  std::string LocatePrintUtility();
  std::string ShortPathOf(const std::string& path);

  // The failed jobs of slot n's printer as last counted: at Start, at the minute's tick, after a
  // job of the slot failed and after printing them again. While the server runs, a served
  // printer with failed jobs has a standing notice.
  int FailedJobs(int n) const { return n >= 1 && n <= kMaxSlots ? failed_jobs_[n] : 0; }
  // Counts slot n's failed jobs afresh (every slot's for 0).
  void CountFailedJobs(int n = 0);
  // Moves slot n's failed jobs back into its input folder (the one watched for it while the
  // server runs), oldest first, never replacing a file; a running server takes them at once.
  // Throws Error when the slot has no input folder.
  PrintAgainResult PrintFailedAgain(int n);
  // "Print again" asked for by a script: the failed jobs of the printer named `printer`, or of
  // every served printer when it is empty. Exit code 0 when every job was put back, 1 when one
  // stays or the printer has no input folder, 2 when no printer of that name is listed.
  struct PrintAgainOutcome {
    int exit_code = 0;
    std::string text;
    PrintAgainResult jobs;
  };
  PrintAgainOutcome PrintFailedAgainCommand(const std::string& printer);
  // The slot of the printer named `printer` (case ignored), or 0.
  int FindSlotByPrinter(const std::string& printer) const;
  // The folder the job record's daily files go to: "Jobs" beside the log file.
  std::string JobRecordFolder() const;

  // The first slot whose input folder is `folder`, or 0.
  int FindSlotByInputFolder(const std::string& folder) const;

  EngineState& Engine() { return engine_; }
  const EngineState& Engine() const { return engine_; }
  JobLedger& Ledger() { return *ledger_; }
  LogFile& Log() { return ledger_->Log; }
  TGXThreadFileNotifier* Notifier() { return notifier_.get(); }
  const PrintPolicy& Policy() const { return policy_; }
  const std::vector<ScanEntry>& ScanList() const { return scan_list_; }
  // Whether the folders' health check waits for its look at the folders.
  bool FolderLookUnderWay() const { return folders_.LookUnderWay(); }

 private:
  void StartUp();
  void StartMessage(const std::string& text, StartMode mode);
  bool StartServing(StartMode mode);
  // The lock one Corvale per computer holds from its first Start until it closes; false, with a
  // line, the status text and (for an operator) a box, when another holds it.
  bool TakeServerLock(StartMode mode);
  // False, with a message, when two served printers share an input folder.
  bool InputFoldersApart(StartMode mode);
  // The service's check: false, with a line, when an input folder cannot be reached.
  bool InputFoldersReachable(StartMode mode);
  void CheckFolderAvailability(StartMode mode);
  std::vector<bool> SlotsInReprintLoop() const;
  void WarnWhenWindowsManagesTheDefaultPrinter();
  // False when a Stop or a close handled during the recovery ended the run.
  bool RecoverJobStore();
  void MoveBackToInputFolder(const TCTPQueueItem& job);
  void ShowNotices();
  bool JobFileReleased(int n);
  bool PrinterReadyForSlot(int n, const std::string& printer);
  // Whether the print utility is there; while it is not, a standing notice and a line a minute.
  bool PrintUtilityThere(const std::string& program);
  void WaitForRunner();
  void WaitForPrintingJobs(uint32_t limit_ms);
  void RememberScan(const std::string& folder);
  void RunRememberedScans();
  void ScanFolderNow(const std::string& folder);
  void ScanSlotFolder(const std::string& folder);
  void TakeFile(int n, const std::string& source, const std::string& store, int64_t last_write);
  void ForgetFailedMovesOfFilesGone(int n);
  std::string ProgramFolder() const;

  ServerPlatform& platform_;
  ServerView& view_;
  Settings settings_;
  EngineState engine_;
  std::shared_ptr<JobLedger> ledger_;
  // Receives the status texts the runners post; they stop arriving when it goes.
  std::shared_ptr<std::function<void(const std::string&)>> status_receiver_;
  // Receives the slots of failed jobs from the runners, likewise.
  std::shared_ptr<std::function<void(int)>> failure_receiver_;
  SlotArray<int> failed_jobs_{};
  // The day (yyyymmdd) whose old job record files have been deleted.
  int record_pruned_day_ = 0;
  std::unique_ptr<TGXThreadFileNotifier> notifier_;
  // The print utility's success codes and time limit as Start put them in force.
  PrintPolicy policy_;
  // The input folders the running server watches, and their health, looked at off the main
  // thread by the probe.
  FolderProbe probe_;
  WatchedFolders folders_;
  // What the status text keeps showing while it lasts, and the causes whose lines are kept to
  // one a minute.
  StatusNotices notices_;
  LogThrottle throttle_;
  std::vector<ScanEntry> scan_list_;
  std::vector<std::string> startup_errors_;
  std::unique_ptr<HeldFile> server_lock_;
  std::string served_elsewhere_;
  // Why the Start under way was refused, as its last message said.
  std::string refusal_;
  std::string status_text_;
  // The notices the status text showed at the last status tick.
  std::string shown_notices_;
  bool closing_ = false;
};

}  // namespace corvale
