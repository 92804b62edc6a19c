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
#include "corvale/engine/job_store.h"
#include "corvale/engine/print_server.h"

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

int PrintServer::FindSlotByInputFolder(const std::string& folder) const {
  // A watched folder belongs to the slot it was watched for at Start, even when that slot's
  // input folder has been edited since.
  if (int n = folders_.SlotOf(folder)) return n;
  // Start watches the trimmed folder text, so a stored folder with spaces around it must still
  // find its slot.
  const std::string wanted = varnell::Trim(folder);
  for (int n = 1; n <= settings_.SlotCount(); ++n) {
    if (varnell::Trim(settings_.Slots[n].InputFolder) == wanted) return n;
  }
  return 0;
}

void PrintServer::ScanInputFolder(const std::string& folder) {
  if (engine_.Scanning) {
    // The running scan may have listed this folder already: it is scanned again once that
    // scan has ended.
    RememberScan(folder);
    return;
  }
  ScanFolderNow(folder);
  RunRememberedScans();
}

void PrintServer::RememberScan(const std::string& folder) {
  auto& remembered = engine_.RememberedScans;
  if (std::find(remembered.begin(), remembered.end(), folder) == remembered.end())
    remembered.push_back(folder);
}

void PrintServer::RunRememberedScans() {
  while (!engine_.Scanning && !engine_.RememberedScans.empty()) {
    const std::string folder = engine_.RememberedScans.front();
    engine_.RememberedScans.pop_front();
    ScanFolderNow(folder);
  }
}

void PrintServer::ScanFolderNow(const std::string& folder) {
  engine_.Scanning = true;
  struct ClearScanning {
    bool& flag;
    ~ClearScanning() { flag = false; }
  } clear_scanning{engine_.Scanning};
  try {
    ScanSlotFolder(folder);
  } catch (...) {
    // A scan ended by an error has not seen its folder through: it is tried again.
    RememberScan(folder);
    throw;
  }
}

void PrintServer::ScanSlotFolder(const std::string& folder) {
  SetStatusText("Triggered at " + TimeOfDay(platform_.clock.Now()) + " for " + folder);
  const int n = FindSlotByInputFolder(folder);
  if (n == 0) {
    SetStatusText("Ready.");
    return;
  }
  const uint64_t run = ledger_->RunGeneration;
  // Kept until a scan with room to take files has tried them.
  const bool retry_failed_moves = engine_.RetryFailedMoves.count(folder) > 0;

  // CheckFolder: the folder given, which is the one watched for the slot.
  scan_list_.clear();
  const std::string input_folder = varnell::WithoutTrailingDelimiter(varnell::Trim(folder));
  const std::string listed = input_folder + "\\";
  SetStatusText("Checking ... " + listed);
  WriteLog("Monitored file change in " + listed, "Shell");
  folders_.Scanned(folder, platform_.clock.Ticks());
  // ListFolderFiles
  std::map<std::string, int64_t> write_times;
  for (const FileEntry& entry : platform_.files.ListFolder(listed)) {
    if (entry.is_directory) continue;
    scan_list_.push_back(
        {entry.name, ExtensionWithoutDot(entry.name), input_folder, entry.last_write_dos});
    write_times[entry.name] = entry.last_write_utc;
    platform_.loop.ProcessPendingEvents();
  }
  platform_.loop.ProcessPendingEvents();
  // A Stop (or a Stop and a new Start) handled while events ran has freed the queues this scan
  // was about to fill; the status stays what the Stop made it.
  if (!engine_.Running || ledger_->RunGeneration != run || !engine_.JobQueue[n]) return;

  SetStatusText("Input folder processing completed.");
  std::stable_sort(scan_list_.begin(), scan_list_.end(), CompareByFileTime);

  const TRec& slot = settings_.Slots[n];
  const std::string store = engine_.JobStoreRoot + "\\" + JobStoreFolderName(slot.PrinterName);
  ForgetFailedMovesOfFilesGone(n);

  // A file named like a job that still waits or prints stays in the input folder until that
  // job is done; it is neither counted nor taken. So does a file that a move could only copy,
  // until it changes, and one whose move failed, until it changes or the minute's look comes:
  // counted, it would make the slot look full and be rescanned every second.
  std::vector<const ScanEntry*> candidates;
  {
    std::lock_guard lock(ledger_->Mutex);
    for (const ScanEntry& entry : scan_list_) {
      const std::string key = varnell::ToLowerAscii(store + "\\" + entry.FileName);
      const std::string path = input_folder + "\\" + entry.FileName;
      const int64_t last_write = write_times[entry.FileName];
      const auto copied = engine_.CopiedNotMoved[n].find(path);
      const auto failed = engine_.FailedMoves[n].find(path);
      if (ledger_->PendingJobFiles.count(key)) {
        engine_.WaitingForJobFiles[n].insert(key);
      } else if (copied != engine_.CopiedNotMoved[n].end() && copied->second == last_write) {
        continue;
      } else if (!retry_failed_moves && failed != engine_.FailedMoves[n].end() &&
                 failed->second.last_write == last_write) {
        continue;
      } else {
        candidates.push_back(&entry);
      }
    }
  }

  const int found = static_cast<int>(candidates.size());
  engine_.FreeCapacity[n] = engine_.DepthInForce[n] - ledger_->JobsInFlight[n];
  // Files left behind by a full slot are taken by a rescan once the slot is idle.
  if (engine_.FreeCapacity[n] <= 0) {
    if (found > 0) engine_.MoreFilesWaiting[n] = true;
    return;
  }
  engine_.RetryFailedMoves.erase(folder);

  const int take = std::min(found, engine_.FreeCapacity[n]);
  if (take == 1) {
    WriteLog("New file found in " + folder + ", will take 1 file.", "Shell");
  } else if (take > 1) {
    WriteLog("New files found in " + folder + ", will take " + std::to_string(take) + " files.",
             "Shell");
  }

  // A file that cannot be moved costs no capacity: the next one is taken in its place. Only
  // files that capacity left untried make a rescan once the slot is idle.
  size_t tried = 0;
  for (; tried < candidates.size() && engine_.FreeCapacity[n] >= 1; ++tried) {
    const ScanEntry& entry = *candidates[tried];
    TakeFile(n, entry.Folder + "\\" + entry.FileName, store, write_times[entry.FileName]);
    engine_.FreeCapacity[n] = engine_.DepthInForce[n] - ledger_->JobsInFlight[n];
  }
  if (tried < candidates.size()) {
    engine_.MoreFilesWaiting[n] = true;
    // Files this retry had no room to try are tried by that rescan, not a minute later.
    if (retry_failed_moves) engine_.RetryFailedMoves.insert(folder);
  }
  SetStatusText("Ready.");
}

void PrintServer::TakeFile(int n, const std::string& source, const std::string& store,
                           int64_t last_write) {
  const TRec& slot = settings_.Slots[n];
  SetStatusText("Analyzing " + source + " ...");
  if (!platform_.files.DirectoryExists(store)) EnsureFolder(platform_.files, store);
  const std::string target = store + "\\" + ExtractFileName(source);
  TCTPQueueItem job{ExtractFileName(source),
                    varnell::WithoutTrailingDelimiter(varnell::Trim(slot.DoneFolder)),
                    ExtractFileDir(source), store, platform_.clock.Ticks()};
  SetStatusText("Moving " + source + " to " + target);
  // A file of that name in the job store is never replaced: it is a job of its own.
  const SystemError error = platform_.files.MoveFileNoReplace(source, target);
  if (error != 0) {
    // The file stays and is taken when it can be (its writer has closed it): at its folder's
    // next change, or at the next rescan. The same failure is logged once, and a failure that
    // lasts at most once a minute.
    auto [failure, first] = engine_.FailedMoves[n].try_emplace(source);
    const bool changed = first || failure->second.error != error;
    failure->second = {error, last_write};
    if (changed && throttle_.Due("move " + source, platform_.clock.Ticks())) {
      WriteLog("MoveFileEx ERROR (" + platform_.files.ErrorText(error) + "): Failed to move " +
                   source + " to " + target,
               "MoveFile");
    }
    return;
  }
  engine_.FailedMoves[n].erase(source);
  throttle_.Forget("move " + source);
  if (platform_.files.FileExists(source) &&
      LastWriteOf(platform_.files, ExtractFileDir(source), ExtractFileName(source)) == last_write) {
    // Copied across volumes, but the source could not be removed (a file of that name written
    // since, with another time, is a new file, and the one moved is the job): taken, it would
    // be printed again and again. The copy goes, the file stays until it changes.
    const SystemError removed = platform_.files.DeleteFile(target);
    engine_.CopiedNotMoved[n][source] = last_write;
    WriteLog(
        "MoveFileEx ERROR (the file was copied but cannot be removed from its folder): " + source +
            " is not taken until it changes" +
            (removed == 0 ? std::string() : "; its copy " + target + " stays in the job store"),
        "MoveFile");
    return;
  }
  engine_.CopiedNotMoved[n].erase(source);
  // Only a file that reached the job store becomes a job.
  {
    std::lock_guard lock(ledger_->Mutex);
    ledger_->PendingJobFiles.emplace(varnell::ToLowerAscii(target), target);
  }
  engine_.JobQueue[n]->push_back(std::move(job));
  ++ledger_->JobsInFlight[n];
  WriteLog("MoveFileEx OK: Moved " + source + " to " + target, "MoveFile");
}

void PrintServer::ForgetFailedMovesOfFilesGone(int n) {
  std::map<std::string, EngineState::FailedMove>& failed = engine_.FailedMoves[n];
  std::map<std::string, int64_t>& copied = engine_.CopiedNotMoved[n];
  if (failed.empty() && copied.empty()) return;
  std::set<std::string> listed;
  for (const ScanEntry& entry : scan_list_) listed.insert(entry.Folder + "\\" + entry.FileName);
  std::erase_if(failed, [&](const auto& failure) { return !listed.count(failure.first); });
  std::erase_if(copied, [&](const auto& file) { return !listed.count(file.first); });
}

}  // namespace corvale
