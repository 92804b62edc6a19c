// Starting and stopping the server, the folder check before a start, and the status tick.
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
  const std::string log_box = varnell::Trim(edtLogFile.Text());
  Log.SetCurrentLogFile(LogOptions.AppendLogDate ? DateStampedName(log_box, platform_.clock.Now())
                                                 : log_box);
  CheckFolderAvailability();
  Notifier->ClearFolders();

  {
    std::lock_guard lock(Engine.RunMutex);
    ++Engine.RunGeneration;
    for (int n = 1; n <= Engine.SlotCount; ++n) {
      Engine.JobQueue[n] = std::make_unique<JobQueueType>();
      Engine.JobsInFlight[n] = 0;
      Engine.DepthInForce[n] = Engine.Slots[n].QueueDepth > 0 ? Engine.Slots[n].QueueDepth : 1;
      Engine.MoreFilesWaiting[n] = false;
    }
  }
  const std::vector<bool> in_loop = SlotsInReprintLoop();
  for (int n = 1; n <= Engine.SlotCount; ++n) {
    const TRec& slot = Engine.Slots[n];
    const std::string folder = varnell::Trim(slot.InputFolder);
    if (!slot.EnableIPDSEmulation || folder.empty()) continue;
    if (in_loop[n]) {
      platform_.dialogs.ShowMessage("The done folder for " + slot.PrinterName +
                                    " leads printed files back into a watched input folder.\r\n"
                                    "Its input folder is not watched.");
      continue;
    }
    Notifier->AddFolder(folder);
    WriteLog("Adding on-watch folder " + folder, "Shell");
  }

  if (Notifier->FolderCount() == 0) {
    platform_.dialogs.ShowMessage(
        "No printer is emulated to be an IPDS printer.\r\n"
        "Please enable AFP and IPDS Printer Emulation for at least one printer.");
    return;
  }
  WriteLog("Total on-watch folders: " + std::to_string(Notifier->FolderCount()), "General");
  WriteLog("Starting Varnell server application...", "General");

  Notifier->OnFileChange = [this](TGXThreadFileNotifier& sender, TFileChanges changes,
                                  const std::string& folder) {
    ScanInputFolder(&sender, changes, folder);
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
}

void TForm1::CheckFolderAvailability() {
  WriteLog("Check for the availibility of input and done folder", "General");
  for (int n = 1; n <= Engine.SlotCount; ++n) {
    const TRec& slot = Engine.Slots[n];
    if (!slot.EnableIPDSEmulation) continue;
    if (slot.InputFolder.empty()) {
      platform_.dialogs.ShowMessage("The input folder for " + slot.PrinterName +
                                    " is not specified.\r\n" + kFolderAdvice);
    }
    if (slot.DoneFolder.empty()) {
      platform_.dialogs.ShowMessage("The done folder for " + slot.PrinterName +
                                    " is not specified.\r\n" + kFolderAdvice);
    }
    if (!platform_.files.DirectoryExists(slot.InputFolder))
      EnsureFolder(platform_.files, slot.InputFolder);
    if (!slot.DeleteInputFileWhenDone && !platform_.files.DirectoryExists(slot.DoneFolder))
      EnsureFolder(platform_.files, slot.DoneFolder);
  }
  WriteLog("Folder Availibility check completed", "General");
}

void TForm1::btnStopClick() {
  WriteLog("Stopping Varnell server application...", "General");
  Notifier->SetActive(false);
  btnStart.SetEnabled(true);
  btnStop.SetEnabled(false);
  Timer3.SetEnabled(false);
  Timer2.SetEnabled(false);
  Timer1.SetEnabled(false);
  lblJobStatus.SetCaption("0");
  {
    // Queued jobs are dropped: their files stay in the job store and are not taken again.
    std::lock_guard lock(Engine.RunMutex);
    for (int n = 1; n <= Engine.SlotCount; ++n) {
      if (!Engine.JobQueue[n]) continue;
      for (const TCTPQueueItem& job : *Engine.JobQueue[n]) {
        Engine.PendingJobFiles.erase(
            varnell::ToLowerAscii(job.JobStoreFolder + "\\" + job.FileName));
      }
      Engine.JobQueue[n].reset();
    }
    Engine.Running = false;
  }
  WriteLog("Varnell server application stopped successfully.", "General");
  SetStatusText("Idle.");
}

void TForm1::Timer1Timer() {
  PollStatus();
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
    if (Engine.JobsInFlight[n] == 0 && Engine.MoreFilesWaiting[n]) {
      Engine.MoreFilesWaiting[n] = false;
      ScanInputFolder(nullptr, TFileChanges{}, Engine.Slots[n].InputFolder);
      break;
    }
  }
}

void TForm1::Timer3Timer() {
  Log.Timer3Timer(edtLogFile.Text(), LogOptions);
}

}  // namespace corvale
