// Starting and stopping the server, the folder check before a start, and the status tick.
#include <exception>
#include <functional>
#include <map>

#include "common/text.h"
#include "corvale/platform/file_system.h"
#include "corvale/platform/system_info.h"
#include "corvale/engine/print_server.h"

namespace corvale {

namespace {

constexpr char kFolderAdvice[] =
    "You should either specify the folder to enable to IPDS printer simulation or uncheck the "
    "\"Enable AFP and IPDS Printer Emulation\" option to disable the IPDS printer simulation.";

std::string FolderKey(const std::string& folder) {
  return varnell::ToLowerAscii(varnell::WithoutTrailingDelimiter(varnell::Trim(folder)));
}

constexpr SystemError kAccessDenied = 5;
constexpr SystemError kSharingViolation = 32;

// "The Corvale of <user> in session <n>" from the lock's text "<user>\t<session>".
std::string ServerLockHolder(const std::string& text) {
  const size_t tab = text.find('\t');
  if (text.empty() || tab == std::string::npos) return "Another Corvale";
  return "The Corvale of " + text.substr(0, tab) + " in session " + text.substr(tab + 1);
}

}  // namespace

// A slot whose printed files come back into its own input folder, directly or through the done
// folders of other watched slots, would print them again and again.
std::vector<bool> PrintServer::SlotsInReprintLoop() const {
  const int count = settings_.SlotCount();
  auto watched = [&](int n) {
    const TRec& slot = settings_.Slots[n];
    return slot.EnableIPDSEmulation && !varnell::Trim(slot.InputFolder).empty();
  };
  std::map<std::string, int> slot_by_input;
  for (int n = 1; n <= count; ++n) {
    if (watched(n)) slot_by_input.emplace(FolderKey(settings_.Slots[n].InputFolder), n);
  }
  // Where slot n's printed files land: the watched slot whose input folder they reach, or 0.
  auto next = [&](int n) {
    const TRec& slot = settings_.Slots[n];
    if (slot.DeleteInputFileWhenDone) return 0;
    auto it = slot_by_input.find(FolderKey(slot.DoneFolder));
    return it == slot_by_input.end() ? 0 : it->second;
  };
  std::vector<bool> in_loop(static_cast<size_t>(count) + 1, false);
  for (int n = 1; n <= count; ++n) {
    if (!watched(n)) continue;
    int at = next(n);
    for (int steps = 0; at != 0 && at != n && steps < count; ++steps) at = next(at);
    in_loop[n] = at == n;
  }
  return in_loop;
}

bool PrintServer::Start(const Settings& settings, StartMode mode) {
  ApplySettings(settings);
  return Start(mode);
}

bool PrintServer::Start(StartMode mode) {
  // A second Start leaves the running server and its queued jobs as they are; a closed server
  // starts no more.
  if (engine_.Running) return true;
  if (closing_) return false;
  refusal_.clear();
  if (StartServing(mode)) {
    if (!engine_.Running) return true;
    ledger_->Events.Report("started", EventKind::kInformation, EventId::kServerStarted,
                           "Corvale serves as " + platform_.system.UserName() + ", watching " +
                               std::to_string(notifier_->FolderCount()) + " input folders.");
    return true;
  }
  if (!refusal_.empty()) {
    ledger_->Events.Report("start refused", EventKind::kError, EventId::kStartRefused,
                           "Corvale does not start: " + refusal_);
  }
  return false;
}

bool PrintServer::StartServing(StartMode mode) {
  const std::string log_box = varnell::Trim(settings_.LogFile);
  Log().SetCurrentLogFile(
      settings_.Log.AppendLogDate ? DateStampedName(log_box, platform_.clock.Now()) : log_box);
  if (!TakeServerLock(mode) || !InputFoldersApart(mode)) return false;
  CheckFolderAvailability(mode);
  if (mode == StartMode::kService && !InputFoldersReachable(mode)) return false;
  notifier_->ClearFolders();
  folders_.Clear();
  notices_.ClearAll();
  throttle_.Clear();

  {
    std::lock_guard lock(ledger_->Mutex);
    ++ledger_->RunGeneration;
    for (int n = 1; n <= settings_.SlotCount(); ++n) {
      const int32_t depth = settings_.Slots[n].QueueDepth;
      engine_.JobQueue[n] = std::make_unique<JobQueueType>();
      ledger_->JobsInFlight[n] = 0;
      engine_.DepthInForce[n] = depth > 0 ? depth : 1;
      engine_.MoreFilesWaiting[n] = false;
      engine_.WaitingForJobFiles[n].clear();
      engine_.FailedMoves[n].clear();
      engine_.CopiedNotMoved[n].clear();
    }
  }
  engine_.RememberedScans.clear();
  engine_.RetryFailedMoves.clear();

  const int64_t now = platform_.clock.Ticks();
  std::vector<std::string> watched;
  try {
    const std::vector<bool> in_loop = SlotsInReprintLoop();
    for (int n = 1; n <= settings_.SlotCount(); ++n) {
      const TRec& slot = settings_.Slots[n];
      const std::string folder = varnell::Trim(slot.InputFolder);
      if (!slot.EnableIPDSEmulation || folder.empty()) continue;
      if (in_loop[n]) {
        StartMessage("The done folder for " + slot.PrinterName +
                         " leads printed files back into a watched input folder.\r\n"
                         "Its input folder is not watched.",
                     mode);
        continue;
      }
      notifier_->AddFolder(folder);
      folders_.Add(n, folder, now);
      watched.push_back(folder);
      WriteLog("Adding on-watch folder " + folder, "Shell");
    }

    if (notifier_->FolderCount() == 0) {
      StartMessage(
          "No printer is emulated to be an IPDS printer.\r\n"
          "Please enable AFP and IPDS Printer Emulation for at least one printer.",
          mode);
      return false;
    }
    WriteLog("Total on-watch folders: " + std::to_string(notifier_->FolderCount()), "General");
    WriteLog("Starting Varnell server application...", "General");
  } catch (...) {
    // A Start that does not get through watches nothing.
    notifier_->ClearFolders();
    folders_.Clear();
    throw;
  }
  std::string complaint;
  policy_ = PolicyOf(settings_.Print, complaint);
  if (!complaint.empty()) WriteLog(complaint, "General");
  WarnWhenWindowsManagesTheDefaultPrinter();
  // Said now rather than at the first job; the jobs wait for it all the same.
  RunUnattended([&] { PrintUtilityThere(LocatePrintUtility()); });

  notifier_->OnFileChange = [this](TGXThreadFileNotifier&, TFileChanges,
                                   const std::string& folder) { ScanInputFolder(folder); };
  notifier_->OnWatchEnded = [this](TGXThreadFileNotifier&, const std::string& folder, bool deleted,
                                   uint32_t error) {
    folders_.WatchEnded(folder, deleted, error, platform_.clock.Ticks());
  };
  notifier_->SetActive(true);

  engine_.Running = true;
  view_.RunningChanged(true);

  WriteLog("Simulator started successfully.", "General");
  SetStatusText("Ready.");

  // Stopped or closed while the recovery let events run: that Stop has said what it did.
  if (!RecoverJobStore()) return true;
  CountFailedJobs();
  // Files already lying in a watched folder (left there, moved back by a Stop or by the job
  // store's recovery, dropped while stopped) are taken now, as if each folder had changed.
  for (const std::string& folder : watched) RememberScan(folder);
  RunRememberedScans();
  return true;
}

bool PrintServer::InputFoldersApart(StartMode mode) {
  // Two printers on one folder would split its files at random; the file system does not tell
  // "D:\Hot" from "d:\hot\".
  std::map<std::string, int> slot_by_input;
  for (int n = 1; n <= settings_.SlotCount(); ++n) {
    const TRec& slot = settings_.Slots[n];
    const std::string folder = varnell::Trim(slot.InputFolder);
    if (!slot.EnableIPDSEmulation || folder.empty()) continue;
    const auto [first, fresh] = slot_by_input.emplace(FolderKey(folder), n);
    if (fresh) continue;
    StartMessage("The input folder " + folder + " is given to both " +
                     settings_.Slots[first->second].PrinterName + " and " + slot.PrinterName +
                     ".\r\nGive each printer an input folder of its own.",
                 mode);
    return false;
  }
  return true;
}

bool PrintServer::InputFoldersReachable(StartMode mode) {
  for (int n = 1; n <= settings_.SlotCount(); ++n) {
    const TRec& slot = settings_.Slots[n];
    const std::string folder = varnell::Trim(slot.InputFolder);
    if (!slot.EnableIPDSEmulation || folder.empty() || platform_.files.DirectoryExists(folder))
      continue;
    const bool drive_letter = folder.size() >= 2 && folder[1] == ':';
    StartMessage("The input folder " + folder + " of " + slot.PrinterName +
                     " cannot be reached by the service" +
                     (drive_letter ? "; a service sees no mapped drive letters: give the folder "
                                     "as \\\\server\\share\\..."
                                   : "") +
                     ". The service starts once it can reach it.",
                 mode);
    return false;
  }
  return true;
}

bool PrintServer::TakeServerLock(StartMode mode) {
  if (server_lock_) return true;
  served_elsewhere_.clear();
  const std::string path = engine_.JobStoreRoot + "\\" + kServerLockName;
  const std::string holder =
      platform_.system.UserName() + "\t" + std::to_string(platform_.system.SessionId());
  SystemError error = 0;
  server_lock_ = platform_.files.HoldFile(path, holder, error);
  if (server_lock_) return true;
  std::string text;
  if (error == kSharingViolation || error == kAccessDenied) {
    // Held by another Corvale of this computer, whichever session it runs in; one this account
    // may not even open counts as such.
    served_elsewhere_ = ServerLockHolder(platform_.files.ReadTextFile(path).value_or(""));
    text = served_elsewhere_ +
           " serves this computer; this Corvale does not start and leaves "
           "the job store alone";
  } else {
    text = "The server lock " + path + " cannot be made (" + platform_.files.ErrorText(error) +
           "); this Corvale does not start";
  }
  refusal_ = text;
  WriteLog(text, "General");
  SetStatusText(text);
  if (mode == StartMode::kOperator) view_.ShowStartMessage(text);
  return false;
}

void PrintServer::StartMessage(const std::string& text, StartMode mode) {
  // The last such text is why a Start that does not get through is refused.
  refusal_ = varnell::ReplaceAll(text, "\r\n", " ");
  if (mode == StartMode::kOperator) {
    view_.ShowStartMessage(text);
    return;
  }
  const std::string line = varnell::ReplaceAll(text, "\r\n", " ");
  WriteLog(line, "General");
  SetStatusText(line);
}

void PrintServer::CheckFolderAvailability(StartMode mode) {
  WriteLog("Check for the availibility of input and done folder", "General");
  for (int n = 1; n <= settings_.SlotCount(); ++n) {
    const TRec& slot = settings_.Slots[n];
    if (!slot.EnableIPDSEmulation) continue;
    if (slot.InputFolder.empty()) {
      StartMessage(
          "The input folder for " + slot.PrinterName + " is not specified.\r\n" + kFolderAdvice,
          mode);
    }
    if (slot.DoneFolder.empty()) {
      StartMessage(
          "The done folder for " + slot.PrinterName + " is not specified.\r\n" + kFolderAdvice,
          mode);
    }
    if (!platform_.files.DirectoryExists(slot.InputFolder))
      EnsureFolder(platform_.files, slot.InputFolder);
    if (!slot.DeleteInputFileWhenDone && !platform_.files.DirectoryExists(slot.DoneFolder))
      EnsureFolder(platform_.files, slot.DoneFolder);
  }
  WriteLog("Folder Availibility check completed", "General");
}

void PrintServer::Stop() {
  if (engine_.Running) {
    ledger_->Events.ForgetConditions();
    ledger_->Events.Report("stopped", EventKind::kInformation, EventId::kServerStopped,
                           "Corvale stopped serving.");
  }
  WriteLog("Stopping Varnell server application...", "General");
  notifier_->SetActive(false);
  folders_.Clear();
  engine_.Running = false;
  view_.RunningChanged(false);
  view_.ShowJobsInQueue(0);
  std::vector<TCTPQueueItem> dropped;
  {
    std::lock_guard lock(ledger_->Mutex);
    for (int n = 1; n <= settings_.SlotCount(); ++n) {
      if (!engine_.JobQueue[n]) continue;
      for (TCTPQueueItem& job : *engine_.JobQueue[n]) {
        ledger_->PendingJobFiles.erase(
            varnell::ToLowerAscii(job.JobStoreFolder + "\\" + job.FileName));
        dropped.push_back(std::move(job));
      }
      engine_.JobQueue[n].reset();
    }
  }
  engine_.RememberedScans.clear();
  notices_.ClearAll();
  // The queued jobs are not printed: their files go back where they came from.
  for (const TCTPQueueItem& job : dropped) MoveBackToInputFolder(job);
  WriteLog("Varnell server application stopped successfully.", "General");
  SetStatusText("Idle.");
}

void PrintServer::MoveBackToInputFolder(const TCTPQueueItem& job) {
  const std::string from = job.JobStoreFolder + "\\" + job.FileName;
  const std::string to = job.InputFolder + "\\" + job.FileName;
  // A newer file of that name in the input folder is never replaced.
  const SystemError error = platform_.files.MoveFileNoReplace(from, to);
  if (error == 0) {
    WriteLog(from + " was not printed; moved back to " + to, "MoveFile");
  } else {
    WriteLog("MoveFileEx ERROR (" + platform_.files.ErrorText(error) + "): " + from +
                 " was not printed and stays there; it could not be moved back to " + to,
             "MoveFile");
  }
}

void PrintServer::StatusTick() {
  PollStatus();
  folders_.Check(platform_.clock.Ticks());
  ShowNotices();
}

void PrintServer::PollStatus() {
  int32_t total = 0;
  for (int n = 1; n <= settings_.SlotCount(); ++n) total += ledger_->JobsInFlight[n];
  if (total < 0) {
    WriteLog("Memory defragmentation operation completed.", "General");
    total = 0;
  }
  WriteLog("Print jobs in queue: " + std::to_string(total), "DeviceStatus");
  view_.ShowJobsInQueue(total);
  for (int n = 1; n <= settings_.SlotCount(); ++n) {
    if (ledger_->JobsInFlight[n] == 0 && (engine_.MoreFilesWaiting[n] || JobFileReleased(n))) {
      engine_.MoreFilesWaiting[n] = false;
      engine_.WaitingForJobFiles[n].clear();
      const std::string watched = folders_.FolderOf(n);
      ScanInputFolder(watched.empty() ? settings_.Slots[n].InputFolder : watched);
      break;
    }
  }
  // Scans that ended with an error are tried again.
  RunRememberedScans();
}

void PrintServer::ShowNotices() {
  const std::string folders = folders_.NoticeText();
  folders.empty() ? notices_.Clear("folders") : notices_.Set("folders", folders);
  const std::string log = Log().Failure();
  log.empty() ? notices_.Clear("log") : notices_.Set("log", log);
  // The job record is written by the runners; the first failure of a cause makes a line, one
  // that lasts a line a minute.
  const std::string record = ledger_->Record.Failure();
  if (record.empty()) {
    notices_.Clear("record");
    throttle_.Forget("job record");
  } else {
    notices_.Set("record", record);
    if (throttle_.Due("job record", platform_.clock.Ticks())) WriteLog(record, "JobStatus");
  }
  const std::string text = notices_.Text();
  if (!text.empty()) {
    SetStatusText(text);
  } else if (!shown_notices_.empty() && status_text_ == shown_notices_) {
    // What stood is over.
    SetStatusText("Ready.");
  }
  shown_notices_ = text;
}

bool PrintServer::JobFileReleased(int n) {
  std::lock_guard lock(ledger_->Mutex);
  for (const std::string& key : engine_.WaitingForJobFiles[n]) {
    if (!ledger_->PendingJobFiles.count(key)) return true;
  }
  return false;
}

void PrintServer::LogTick() {
  // The minute's count of the failed jobs, and once a day the job record's old files.
  CountFailedJobs();
  const LocalTime now = platform_.clock.Now();
  const int day = now.year * 10000 + now.month * 100 + now.day;
  if (day != record_pruned_day_) {
    record_pruned_day_ = day;
    const LogSettings& log = settings_.Log;
    const int days =
        log.DeleteLogFile && log.DeleteLogFileDays > 0 ? log.DeleteLogFileDays : kJobRecordDefaultDays;
    const std::string deleted = ledger_->Record.DeleteOld(days, platform_.clock.NowUtcFileTime());
    if (!deleted.empty()) {
      WriteLog("Job record files older than " + std::to_string(days) + " days deleted: " + deleted,
               "DeleteFile");
    }
  }
  Log().Timer3Timer(settings_.LogFile, settings_.Log);
}

}  // namespace corvale
