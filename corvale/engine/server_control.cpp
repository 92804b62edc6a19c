// Starting and stopping the server, the folder check before a start, and the status tick.
#include <exception>
#include <functional>
#include <map>

#include "common/text.h"
#include "corvale/platform/dialogs.h"
#include "corvale/platform/file_system.h"
#include "corvale/platform/system_info.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

namespace {

constexpr char kFolderAdvice[] =
    "You should either specify the folder to enable to IPDS printer simulation or uncheck the "
    "\"Enable AFP and IPDS Printer Emulation\" option to disable the IPDS printer simulation.";

std::string FolderKey(const std::string& folder) {
  return varnell::ToLowerAscii(varnell::WithoutTrailingDelimiter(varnell::Trim(folder)));
}

}  // namespace

// A slot whose printed files come back into its own input folder, directly or through the done
// folders of other watched slots, would print them again and again.
std::vector<bool> TForm1::SlotsInReprintLoop() const {
  const int count = Engine.SlotCount;
  auto watched = [&](int n) {
    const TRec& slot = Engine.Slots[n];
    return slot.EnableIPDSEmulation && !varnell::Trim(slot.InputFolder).empty();
  };
  std::map<std::string, int> slot_by_input;
  for (int n = 1; n <= count; ++n) {
    if (watched(n)) slot_by_input.emplace(FolderKey(Engine.Slots[n].InputFolder), n);
  }
  // Where slot n's printed files land: the watched slot whose input folder they reach, or 0.
  auto next = [&](int n) {
    const TRec& slot = Engine.Slots[n];
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

void TForm1::btnStartClick() {
  // The operator's Start ends the tries of a start at logon.
  TimerAutoRun.SetEnabled(false);
  StartServer();
}

bool TForm1::StartServer() {
  // A second Start leaves the running server and its queued jobs as they are.
  if (Engine.Running) return true;
  const std::string log_box = varnell::Trim(edtLogFile.Text());
  Log.SetCurrentLogFile(LogOptions.AppendLogDate ? DateStampedName(log_box, platform_.clock.Now())
                                                 : log_box);
  CheckFolderAvailability();
  Notifier->ClearFolders();
  Folders.Clear();
  Notices.ClearAll();
  Throttle.Clear();

  {
    std::lock_guard lock(Engine.RunMutex);
    ++Engine.RunGeneration;
    for (int n = 1; n <= Engine.SlotCount; ++n) {
      Engine.JobQueue[n] = std::make_unique<JobQueueType>();
      Engine.JobsInFlight[n] = 0;
      Engine.DepthInForce[n] = Engine.Slots[n].QueueDepth > 0 ? Engine.Slots[n].QueueDepth : 1;
      Engine.MoreFilesWaiting[n] = false;
      Engine.WaitingForJobFiles[n].clear();
      Engine.FailedMoves[n].clear();
      Engine.CopiedNotMoved[n].clear();
    }
  }
  Engine.RememberedScans.clear();

  const int64_t now = platform_.clock.NowUtcFileTime();
  std::vector<std::string> watched;
  try {
    const std::vector<bool> in_loop = SlotsInReprintLoop();
    for (int n = 1; n <= Engine.SlotCount; ++n) {
      const TRec& slot = Engine.Slots[n];
      const std::string folder = varnell::Trim(slot.InputFolder);
      if (!slot.EnableIPDSEmulation || folder.empty()) continue;
      if (in_loop[n]) {
        StartMessage("The done folder for " + slot.PrinterName +
                     " leads printed files back into a watched input folder.\r\n"
                     "Its input folder is not watched.");
        continue;
      }
      Notifier->AddFolder(folder);
      Folders.Add(n, folder, now);
      watched.push_back(folder);
      WriteLog("Adding on-watch folder " + folder, "Shell");
    }

    if (Notifier->FolderCount() == 0) {
      StartMessage(
          "No printer is emulated to be an IPDS printer.\r\n"
          "Please enable AFP and IPDS Printer Emulation for at least one printer.");
      return false;
    }
    WriteLog("Total on-watch folders: " + std::to_string(Notifier->FolderCount()), "General");
    WriteLog("Starting Varnell server application...", "General");
  } catch (...) {
    // A Start that does not get through watches nothing.
    Notifier->ClearFolders();
    Folders.Clear();
    throw;
  }
  std::string complaint;
  Policy = PolicyOf(PrintOptions, complaint);
  if (!complaint.empty()) WriteLog(complaint, "General");
  WarnWhenWindowsManagesTheDefaultPrinter();

  Notifier->OnFileChange = [this](TGXThreadFileNotifier& sender, TFileChanges changes,
                                  const std::string& folder) {
    ScanInputFolder(&sender, changes, folder);
  };
  Notifier->OnWatchEnded = [this](TGXThreadFileNotifier&, const std::string& folder, bool deleted,
                                  uint32_t error) {
    Folders.WatchEnded(folder, deleted, error, platform_.clock.NowUtcFileTime());
  };
  Notifier->SetActive(true);

  btnStart.SetEnabled(false);
  btnStop.SetEnabled(true);
  Timer1.SetEnabled(true);
  Timer2.SetEnabled(true);
  Timer3.SetEnabled(true);
  Engine.Running = true;

  WriteLog("Simulator started successfully.", "General");
  SetStatusText("Ready.");

  RecoverJobStore();
  // Files already lying in a watched folder (left there, moved back by a Stop or by the job
  // store's recovery, dropped while stopped) are taken now, as if each folder had changed.
  for (const std::string& folder : watched) RememberScan(folder);
  RunRememberedScans();
  return true;
}

void TForm1::StartMessage(const std::string& text) {
  if (!unattended_) {
    platform_.dialogs.ShowMessage(text);
    return;
  }
  const std::string line = varnell::ReplaceAll(text, "\r\n", " ");
  WriteLog(line, "General");
  SetStatusText(line);
}

void TForm1::CheckFolderAvailability() {
  WriteLog("Check for the availibility of input and done folder", "General");
  for (int n = 1; n <= Engine.SlotCount; ++n) {
    const TRec& slot = Engine.Slots[n];
    if (!slot.EnableIPDSEmulation) continue;
    if (slot.InputFolder.empty()) {
      StartMessage("The input folder for " + slot.PrinterName + " is not specified.\r\n" +
                   kFolderAdvice);
    }
    if (slot.DoneFolder.empty()) {
      StartMessage("The done folder for " + slot.PrinterName + " is not specified.\r\n" +
                   kFolderAdvice);
    }
    if (!platform_.files.DirectoryExists(slot.InputFolder))
      EnsureFolder(platform_.files, slot.InputFolder);
    if (!slot.DeleteInputFileWhenDone && !platform_.files.DirectoryExists(slot.DoneFolder))
      EnsureFolder(platform_.files, slot.DoneFolder);
  }
  WriteLog("Folder Availibility check completed", "General");
}

void TForm1::btnStopClick() {
  // The operator's Stop ends the tries of a start at logon too.
  TimerAutoRun.SetEnabled(false);
  WriteLog("Stopping Varnell server application...", "General");
  Notifier->SetActive(false);
  Folders.Clear();
  btnStart.SetEnabled(true);
  btnStop.SetEnabled(false);
  Timer3.SetEnabled(false);
  Timer2.SetEnabled(false);
  Timer1.SetEnabled(false);
  lblJobStatus.SetCaption("0");
  std::vector<TCTPQueueItem> dropped;
  {
    std::lock_guard lock(Engine.RunMutex);
    for (int n = 1; n <= Engine.SlotCount; ++n) {
      if (!Engine.JobQueue[n]) continue;
      for (TCTPQueueItem& job : *Engine.JobQueue[n]) {
        Engine.PendingJobFiles.erase(
            varnell::ToLowerAscii(job.JobStoreFolder + "\\" + job.FileName));
        dropped.push_back(std::move(job));
      }
      Engine.JobQueue[n].reset();
    }
    Engine.Running = false;
  }
  Engine.RememberedScans.clear();
  Notices.ClearAll();
  // The queued jobs are not printed: their files go back where they came from.
  for (const TCTPQueueItem& job : dropped) MoveBackToInputFolder(job);
  WriteLog("Varnell server application stopped successfully.", "General");
  SetStatusText("Idle.");
}

void TForm1::MoveBackToInputFolder(const TCTPQueueItem& job) {
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

void TForm1::Timer1Timer() {
  PollStatus();
  Folders.Check(platform_.clock.NowUtcFileTime());
  ShowNotices();
}

void TForm1::PollStatus() {
  int32_t total = 0;
  for (int n = 1; n <= Engine.SlotCount; ++n) total += Engine.JobsInFlight[n];
  if (total < 0) {
    WriteLog("Memory defragmentation operation completed.", "General");
    total = 0;
  }
  WriteLog("Print jobs in queue: " + std::to_string(total), "DeviceStatus");
  lblJobStatus.SetCaption(std::to_string(total));
  for (int n = 1; n <= Engine.SlotCount; ++n) {
    if (Engine.JobsInFlight[n] == 0 && (Engine.MoreFilesWaiting[n] || JobFileReleased(n))) {
      Engine.MoreFilesWaiting[n] = false;
      Engine.WaitingForJobFiles[n].clear();
      const std::string watched = Folders.FolderOf(n);
      ScanInputFolder(nullptr, TFileChanges{},
                      watched.empty() ? Engine.Slots[n].InputFolder : watched);
      break;
    }
  }
  // Scans that ended with an error are tried again.
  RunRememberedScans();
}

void TForm1::ShowNotices() {
  const std::string folders = Folders.NoticeText();
  folders.empty() ? Notices.Clear("folders") : Notices.Set("folders", folders);
  const std::string log = Log.Failure();
  log.empty() ? Notices.Clear("log") : Notices.Set("log", log);
  const std::string text = Notices.Text();
  if (!text.empty()) {
    SetStatusText(text);
  } else if (!shown_notices_.empty() && statBar.SimpleText() == shown_notices_) {
    // What stood is over.
    SetStatusText("Ready.");
  }
  shown_notices_ = text;
}

bool TForm1::JobFileReleased(int n) {
  std::lock_guard lock(Engine.RunMutex);
  for (const std::string& key : Engine.WaitingForJobFiles[n]) {
    if (!Engine.PendingJobFiles.count(key)) return true;
  }
  return false;
}

void TForm1::Timer3Timer() {
  Log.Timer3Timer(edtLogFile.Text(), LogOptions);
}

}  // namespace corvale
