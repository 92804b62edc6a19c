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
  // A watched folder belongs to the slot it was watched for at Start, even when that slot's
  // input folder has been edited since.
  if (int n = Folders.SlotOf(folder)) return n;
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

  // CheckFolder: the folder given, which is the one watched for the slot.
  ScanList.clear();
  const std::string input_folder = varnell::WithoutTrailingDelimiter(varnell::Trim(folder));
  const std::string listed = input_folder + "\\";
  SetStatusText("Checking ... " + listed);
  WriteLog("Monitored file change in " + listed, "Shell");
  Folders.Scanned(folder, platform_.clock.NowUtcFileTime());
  // ListFolderFiles
  std::map<std::string, int64_t> write_times;
  for (const FileEntry& entry : platform_.files.ListFolder(listed)) {
    if (entry.is_directory) continue;
    ScanList.push_back(
        {entry.name, ExtensionWithoutDot(entry.name), input_folder, entry.last_write_dos});
    write_times[entry.name] = entry.last_write_utc;
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
  // job is done; it is neither counted nor taken. So does a file that a move could only copy,
  // until it changes.
  std::vector<const ScanEntry*> candidates;
  {
    std::lock_guard lock(Engine.RunMutex);
    for (const ScanEntry& entry : ScanList) {
      const std::string key = varnell::ToLowerAscii(store + "\\" + entry.FileName);
      const auto copied = Engine.CopiedNotMoved[n].find(input_folder + "\\" + entry.FileName);
      if (Engine.PendingJobFiles.count(key)) {
        Engine.WaitingForJobFiles[n].insert(key);
      } else if (copied == Engine.CopiedNotMoved[n].end() ||
                 copied->second != write_times[entry.FileName]) {
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
    TakeFile(n, entry.Folder + "\\" + entry.FileName, store, write_times[entry.FileName]);
    Engine.FreeCapacity[n] = Engine.DepthInForce[n] - Engine.JobsInFlight[n];
  }
  SetStatusText("Ready.");
}

void TForm1::TakeFile(int n, const std::string& source, const std::string& store,
                      int64_t last_write) {
  const TRec& slot = Engine.Slots[n];
  SetStatusText("Analyzing " + source + " ...");
  if (!platform_.files.DirectoryExists(store)) EnsureFolder(platform_.files, store);
  const std::string target = store + "\\" + ExtractFileName(source);
  TCTPQueueItem job{ExtractFileName(source),
                    varnell::WithoutTrailingDelimiter(varnell::Trim(slot.DoneFolder)),
                    ExtractFileDir(source), store};
  SetStatusText("Moving " + source + " to " + target);
  // A file of that name in the job store is never replaced: it is a job of its own.
  const SystemError error = platform_.files.MoveFileNoReplace(source, target);
  if (error != 0) {
    // The file stays and is taken when it can be (its writer has closed it): at its folder's
    // next change, or at the next rescan. The same failure is logged once, and a failure that
    // lasts at most once a minute.
    auto [failure, first] = Engine.FailedMoves[n].try_emplace(source, error);
    const bool changed = first || failure->second != error;
    failure->second = error;
    if (changed && Throttle.Due("move " + source, platform_.clock.NowUtcFileTime())) {
      WriteLog("MoveFileEx ERROR (" + platform_.files.ErrorText(error) + "): Failed to move " +
                   source + " to " + target,
               "MoveFile");
    }
    return;
  }
  Engine.FailedMoves[n].erase(source);
  Throttle.Forget("move " + source);
  if (platform_.files.FileExists(source) &&
      LastWriteOf(ExtractFileDir(source), ExtractFileName(source)) == last_write) {
    // Copied across volumes, but the source could not be removed (a file of that name written
    // since, with another time, is a new file, and the one moved is the job): taken, it would
    // be printed again and again. The copy goes, the file stays until it changes.
    const SystemError removed = platform_.files.DeleteFile(target);
    Engine.CopiedNotMoved[n][source] = last_write;
    WriteLog(
        "MoveFileEx ERROR (the file was copied but cannot be removed from its folder): " + source +
            " is not taken until it changes" +
            (removed == 0 ? std::string() : "; its copy " + target + " stays in the job store"),
        "MoveFile");
    return;
  }
  Engine.CopiedNotMoved[n].erase(source);
  // Only a file that reached the job store becomes a job.
  {
    std::lock_guard lock(Engine.RunMutex);
    Engine.PendingJobFiles.emplace(varnell::ToLowerAscii(target), target);
  }
  Engine.JobQueue[n]->push_back(std::move(job));
  ++Engine.JobsInFlight[n];
  WriteLog("MoveFileEx OK: Moved " + source + " to " + target, "MoveFile");
}

// The last-write time of one file of a folder, or 0 when it is not there.
int64_t TForm1::LastWriteOf(const std::string& folder, const std::string& name) {
  for (const FileEntry& entry : platform_.files.ListFolder(folder + "\\")) {
    if (!entry.is_directory && entry.name == name) return entry.last_write_utc;
  }
  return 0;
}

void TForm1::ForgetFailedMovesOfFilesGone(int n) {
  std::map<std::string, uint32_t>& failed = Engine.FailedMoves[n];
  std::map<std::string, int64_t>& copied = Engine.CopiedNotMoved[n];
  if (failed.empty() && copied.empty()) return;
  std::set<std::string> listed;
  for (const ScanEntry& entry : ScanList) listed.insert(entry.Folder + "\\" + entry.FileName);
  std::erase_if(failed, [&](const auto& failure) { return !listed.count(failure.first); });
  std::erase_if(copied, [&](const auto& file) { return !listed.count(file.first); });
}

}  // namespace corvale
