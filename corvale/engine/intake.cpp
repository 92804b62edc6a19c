// Intake: a change report or a rescan lists an input folder and takes its oldest files, up to
// the slot's free capacity, into the job store and the slot's queue.
#include <algorithm>
#include <cstdio>

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
  if (Engine.Scanning) return;
  Engine.Scanning = true;
  struct ClearScanning {
    bool& flag;
    ~ClearScanning() { flag = false; }
  } clear_scanning{Engine.Scanning};

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

  Engine.FreeCapacity[n] = Engine.DepthInForce[n] - Engine.JobsInFlight[n];
  if (Engine.FreeCapacity[n] <= 0) return;

  const int found = static_cast<int>(ScanList.size());
  const int take = std::min(found, Engine.FreeCapacity[n]);
  if (found > Engine.FreeCapacity[n]) Engine.MoreFilesWaiting[n] = true;
  if (take == 1) {
    WriteLog("New file found in " + folder + ", will take 1 file.", "Shell");
  } else if (take > 1) {
    WriteLog("New files found in " + folder + ", will take " + std::to_string(take) + " files.",
             "Shell");
  }

  for (int i = 0; i < take; ++i) {
    const ScanEntry& entry = ScanList[i];
    const std::string source = entry.Folder + "\\" + entry.FileName;
    SetStatusText("Analyzing " + source + " ...");
    const TRec& slot = Engine.Slots[n];
    const std::string store = Engine.JobStoreRoot + "\\" + PrinterKeyName(slot.PrinterName);
    if (!platform_.files.DirectoryExists(store)) EnsureFolder(platform_.files, store);
    const std::string target = store + "\\" + ExtractFileName(source);
    const std::string pending_key = varnell::ToLowerAscii(target);

    bool pending;
    {
      std::lock_guard lock(Engine.RunMutex);
      pending = Engine.PendingJobFiles.count(pending_key) > 0;
    }
    if (pending) {
      // A job of that name still waits or prints: the new file waits in the input folder
      // until the slot is idle.
      Engine.MoreFilesWaiting[n] = true;
      continue;
    }

    TCTPQueueItem job{entry.FileName,
                      varnell::WithoutTrailingDelimiter(varnell::Trim(slot.DoneFolder)),
                      varnell::WithoutTrailingDelimiter(varnell::Trim(slot.InputFolder)), store};
    SetStatusText("Moving " + source + " to " + target);
    const SystemError error = platform_.files.MoveFile(source, target);
    if (error == 0) {
      // Only a file that reached the job store becomes a job.
      {
        std::lock_guard lock(Engine.RunMutex);
        Engine.PendingJobFiles.insert(pending_key);
      }
      Engine.JobQueue[n]->push_back(std::move(job));
      ++Engine.JobsInFlight[n];
      WriteLog("MoveFileEx OK: Moved " + source + " to " + target, "MoveFile");
    } else {
      WriteLog("MoveFileEx ERROR (" + platform_.files.ErrorText(error) + "): Failed to move " +
                   source + " to " + target,
               "MoveFile");
    }
    Engine.FreeCapacity[n] = Engine.DepthInForce[n] - Engine.JobsInFlight[n];
    if (Engine.FreeCapacity[n] < 1) break;
  }
  SetStatusText("Ready.");
}

}  // namespace corvale
