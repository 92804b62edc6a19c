// The job store's recovery at Start.
#include "corvale/engine/job_store_recovery.h"

#include <algorithm>
#include <exception>
#include <map>

#include "common/text.h"
#include "corvale/engine/job_store.h"
#include "corvale/platform/file_system.h"
#include "corvale/engine/print_server.h"

namespace corvale {

std::vector<std::pair<size_t, TCTPQueueItem>> JobStoreRecovery::Run() {
  // Folder names compare as the file system compares them: without regard to case.
  std::map<std::string, size_t> slot_by_key;
  for (size_t i = 0; i < Slots.size(); ++i)
    slot_by_key.emplace(varnell::ToLowerAscii(JobStoreFolderName(Slots[i].PrinterName)), i);

  std::vector<std::pair<size_t, TCTPQueueItem>> printed_from_store;
  int handled = 0;
  for (const FileEntry& printer_folder : Files.ListFolder(JobStoreRoot)) {
    if (!printer_folder.is_directory) continue;
    const std::string store = JobStoreRoot + "\\" + printer_folder.name;
    const auto served = slot_by_key.find(varnell::ToLowerAscii(printer_folder.name));
    // Oldest first, as they were taken.
    std::vector<FileEntry> entries = Files.ListFolder(store);
    std::stable_sort(entries.begin(), entries.end(), [](const FileEntry& a, const FileEntry& b) {
      return a.last_write_utc < b.last_write_utc;
    });
    const std::set<std::string> noted = ForgetNotesOfFilesGone(store, entries);
    for (const FileEntry& entry : entries) {
      if (entry.is_directory) continue;
      if (++handled % kRecoverySlice == 0 && !Between()) return printed_from_store;
      const std::string job_file = store + "\\" + entry.name;
      if (Pending.count(varnell::ToLowerAscii(job_file))) continue;
      if (noted.count(varnell::ToLowerAscii(entry.name)) &&
          NotedAsPrinted(Files, job_file, entry.last_write_utc)) {
        Log(job_file +
            " was printed by an earlier run but could not be moved or deleted; it stays there "
            "and is not printed again");
        continue;
      }
      if (served == slot_by_key.end()) {
        Log(job_file +
            " was left in the job store by an earlier run; it stays there, since no "
            "watched printer takes it now");
        continue;
      }
      const ServedSlot& slot = Slots[served->second];
      const std::string target = slot.InputFolder + "\\" + entry.name;
      const SystemError error = Files.MoveFileNoReplace(job_file, target);
      if (error == 0) {
        Log(job_file + " was left in the job store by an earlier run; moved back to " + target);
        continue;
      }
      // Where it cannot go back (another file of that name waits in the input folder until
      // this one has printed; the input folder's share is not up yet), it prints from here.
      printed_from_store.push_back(
          {served->second, TCTPQueueItem{entry.name, slot.DoneFolder, slot.InputFolder, store}});
      if (IsTargetTaken(error)) {
        Log(job_file + " was left in the job store by an earlier run; " + target +
            " holds another file of that name, so it is printed from the job store");
      } else {
        Log("MoveFileEx ERROR (" + Files.ErrorText(error) + "): " + job_file +
            " was left in the job store by an earlier run and could not be moved back to " +
            target + "; it is printed from the job store");
      }
    }
  }
  return printed_from_store;
}

std::set<std::string> JobStoreRecovery::ForgetNotesOfFilesGone(
    const std::string& store, const std::vector<FileEntry>& entries) {
  std::set<std::string> noted;
  const std::string printed = store + "\\" + kPrintedFolder;
  for (const FileEntry& note : Files.ListFolder(printed)) {
    const std::string suffix = ".printed";
    if (note.is_directory || note.name.size() <= suffix.size() ||
        note.name.compare(note.name.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    const std::string job = note.name.substr(0, note.name.size() - suffix.size());
    const bool there = std::any_of(entries.begin(), entries.end(), [&](const FileEntry& entry) {
      return !entry.is_directory && entry.name == job;
    });
    if (there) {
      noted.insert(varnell::ToLowerAscii(job));
    } else {
      Files.DeleteFile(printed + "\\" + note.name);
    }
  }
  return noted;
}

bool PrintServer::RecoverJobStore() {
  JobStoreRecovery recovery{platform_.files, engine_.JobStoreRoot, {}, {}, nullptr};
  std::vector<int> slots;
  for (int n = 1; n <= settings_.SlotCount(); ++n) {
    const std::string folder = folders_.FolderOf(n);
    if (folder.empty()) continue;
    slots.push_back(n);
    recovery.Slots.push_back(
        {settings_.Slots[n].PrinterName, varnell::WithoutTrailingDelimiter(folder),
         varnell::WithoutTrailingDelimiter(varnell::Trim(settings_.Slots[n].DoneFolder))});
  }
  {
    std::lock_guard lock(ledger_->Mutex);
    for (const auto& job : ledger_->PendingJobFiles) recovery.Pending.insert(job.first);
  }
  recovery.Log = [this](const std::string& message) { WriteLog(message, "MoveFile"); };
  // Thousands of files take a while: the window answers meanwhile, and a Stop or a close
  // handled then ends the recovery. An error of an event run meanwhile comes once it is over.
  const uint64_t run = ledger_->RunGeneration;
  auto serving = [&] { return engine_.Running && !closing_ && ledger_->RunGeneration == run; };
  std::exception_ptr error;
  recovery.Between = [&] {
    try {
      platform_.loop.ProcessPendingEvents();
    } catch (...) {
      if (!error) error = std::current_exception();
    }
    return serving();
  };
  std::vector<std::pair<size_t, TCTPQueueItem>> from_store = recovery.Run();
  const bool still_serving = serving();
  if (!still_serving) from_store.clear();
  for (auto& [index, job] : from_store) {
    const int n = slots[index];
    {
      std::lock_guard lock(ledger_->Mutex);
      const std::string job_file = job.JobStoreFolder + "\\" + job.FileName;
      ledger_->PendingJobFiles.emplace(varnell::ToLowerAscii(job_file), job_file);
    }
    engine_.JobQueue[n]->push_back(std::move(job));
    ++ledger_->JobsInFlight[n];
  }
  if (error) std::rethrow_exception(error);
  return still_serving;
}

}  // namespace corvale
