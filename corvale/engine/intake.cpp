// Intake: a change report or a rescan lists an input folder and takes its oldest files, up to
// the slot's free capacity, into the job store and the slot's queue.
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "common/text.h"
#include "corvale/platform/event_loop.h"
#include "corvale/platform/file_system.h"
#include "corvale/platform/system_info.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

namespace {

std::string TimeOfDay(const LocalTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}

std::string ExtensionWithoutDot(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

// Older files first; equal times compare equal.
bool CompareByFileTime(const ScanEntry& a, const ScanEntry& b) {
  return a.DosTime < b.DosTime;
}

}  // namespace

int TForm1::FindSlotByInputFolder(const std::string& folder) const {
  // Start watches the trimmed folder text, so a stored folder with spaces around it must still
  // find its slot.
  const std::string wanted = varnell::Trim(folder);
  for (int n = 1; n <= Engine.SlotCount; ++n) {
    if (varnell::Trim(Engine.Slots[n].InputFolder) == wanted) return n;
  }
  return 0;
}

void TForm1::ScanInputFolder(TGXThreadFileNotifier* /*sender*/, TFileChanges /*changes*/,
                             const std::string& folder) {
  if (Engine.Scanning) {
    // The running scan may have listed this folder already: it is scanned again once that
    // scan has ended.
    RememberScan(folder);
    return;
  }
  ScanFolderNow(folder);
  RunRememberedScans();
}

void TForm1::RememberScan(const std::string& folder) {
  auto& remembered = Engine.RememberedScans;
  if (std::find(remembered.begin(), remembered.end(), folder) == remembered.end())
    remembered.push_back(folder);
}

void TForm1::RunRememberedScans() {
  while (!Engine.Scanning && !Engine.RememberedScans.empty()) {
    const std::string folder = Engine.RememberedScans.front();
    Engine.RememberedScans.pop_front();
    ScanFolderNow(folder);
  }
}

void TForm1::ScanFolderNow(const std::string& folder) {
  Engine.Scanning = true;
  struct ClearScanning {
    bool& flag;
    ~ClearScanning() { flag = false; }
  } clear_scanning{Engine.Scanning};
  try {
    ScanSlotFolder(folder);
  } catch (...) {
    // A scan ended by an error has not seen its folder through: it is tried again.
    RememberScan(folder);
    throw;
  }
}

void TForm1::ScanSlotFolder(const std::string& folder) {
  SetStatusText("Triggered at " + TimeOfDay(platform_.clock.Now()) + " for " + folder);
  const int n = FindSlotByInputFolder(folder);
  if (n == 0) {
    SetStatusText("Ready.");
    return;
  }
  const uint64_t run = Engine.RunGeneration;

  // CheckFolder
  ScanList.clear();
  const std::string input_folder =
      varnell::WithoutTrailingDelimiter(varnell::Trim(Engine.Slots[n].InputFolder));
  const std::string listed = input_folder + "\\";
  SetStatusText("Checking ... " + listed);
  WriteLog("Monitored file change in " + listed, "Shell");
  // ListFolderFiles
  for (const FileEntry& entry : platform_.files.ListFolder(listed)) {
    if (entry.is_directory) continue;
    ScanList.push_back(
        {entry.name, ExtensionWithoutDot(entry.name), input_folder, entry.last_write_dos});
    platform_.loop.ProcessPendingEvents();
  }
  platform_.loop.ProcessPendingEvents();
  // A Stop (or a Stop and a new Start) handled while events ran has freed the queues this scan
  // was about to fill; the status stays what the Stop made it.
  if (!Engine.Running || Engine.RunGeneration != run || !Engine.JobQueue[n]) return;

  SetStatusText("Input folder processing completed.");
  std::stable_sort(ScanList.begin(), ScanList.end(), CompareByFileTime);

  const TRec& slot = Engine.Slots[n];
  const std::string store = Engine.JobStoreRoot + "\\" + PrinterKeyName(slot.PrinterName);
  ForgetFailedMovesOfFilesGone(n);

  // A file named like a job that still waits or prints stays in the input folder until that
  // job is done; it is neither counted nor taken.
  std::vector<const ScanEntry*> candidates;
  {
    std::lock_guard lock(Engine.RunMutex);
    for (const ScanEntry& entry : ScanList) {
      const std::string key = varnell::ToLowerAscii(store + "\\" + entry.FileName);
      if (Engine.PendingJobFiles.count(key)) {
        Engine.WaitingForJobFiles[n].insert(key);
      } else {
        candidates.push_back(&entry);
      }
    }
  }

  const int found = static_cast<int>(candidates.size());
  Engine.FreeCapacity[n] = Engine.DepthInForce[n] - Engine.JobsInFlight[n];
  // Files left behind by a full slot are taken by a rescan once the slot is idle.
  if (found > Engine.FreeCapacity[n]) Engine.MoreFilesWaiting[n] = true;
  if (Engine.FreeCapacity[n] <= 0) return;

  const int take = std::min(found, Engine.FreeCapacity[n]);
  if (take == 1) {
    WriteLog("New file found in " + folder + ", will take 1 file.", "Shell");
  } else if (take > 1) {
    WriteLog("New files found in " + folder + ", will take " + std::to_string(take) + " files.",
             "Shell");
  }

  // A file that cannot be moved costs no capacity: the next one is taken in its place.
  for (size_t i = 0; i < candidates.size() && Engine.FreeCapacity[n] >= 1; ++i) {
    const ScanEntry& entry = *candidates[i];
    const std::string source = entry.Folder + "\\" + entry.FileName;
    SetStatusText("Analyzing " + source + " ...");
    if (!platform_.files.DirectoryExists(store)) EnsureFolder(platform_.files, store);
    const std::string target = store + "\\" + ExtractFileName(source);

    TCTPQueueItem job{entry.FileName,
                      varnell::WithoutTrailingDelimiter(varnell::Trim(slot.DoneFolder)),
                      varnell::WithoutTrailingDelimiter(varnell::Trim(slot.InputFolder)), store};
    SetStatusText("Moving " + source + " to " + target);
    const SystemError error = platform_.files.MoveFile(source, target);
    if (error == 0) {
      // Only a file that reached the job store becomes a job.
      {
        std::lock_guard lock(Engine.RunMutex);
        Engine.PendingJobFiles.insert(varnell::ToLowerAscii(target));
      }
      Engine.JobQueue[n]->push_back(std::move(job));
      ++Engine.JobsInFlight[n];
      Engine.FailedMoves[n].erase(source);
      WriteLog("MoveFileEx OK: Moved " + source + " to " + target, "MoveFile");
    } else {
      // The file stays, and the slot is rescanned once idle, so that it is taken when it can be
      // (a writer that held it open has closed it). The same failure again is not logged again.
      Engine.MoreFilesWaiting[n] = true;
      auto [failure, first] = Engine.FailedMoves[n].try_emplace(source, error);
      if (first || failure->second != error) {
        failure->second = error;
        WriteLog("MoveFileEx ERROR (" + platform_.files.ErrorText(error) + "): Failed to move " +
                     source + " to " + target,
                 "MoveFile");
      }
    }
    Engine.FreeCapacity[n] = Engine.DepthInForce[n] - Engine.JobsInFlight[n];
  }
  SetStatusText("Ready.");
}

void TForm1::ForgetFailedMovesOfFilesGone(int n) {
  std::map<std::string, uint32_t>& failed = Engine.FailedMoves[n];
  if (failed.empty()) return;
  std::set<std::string> listed;
  for (const ScanEntry& entry : ScanList) listed.insert(entry.Folder + "\\" + entry.FileName);
  std::erase_if(failed, [&](const auto& failure) { return !listed.count(failure.first); });
}

void TForm1::FolderWatchEnded(const std::string& folder, bool deleted, uint32_t error) {
  if (deleted) {
    WriteLog(folder + " was deleted; it is no longer watched", "Shell");
  } else {
    WriteLog("Watch ERROR (" + platform_.files.ErrorText(error) + "): " + folder +
                 " is no longer watched",
             "Shell");
  }
}

}  // namespace corvale
