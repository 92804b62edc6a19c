// At Start, the files that an earlier run left in the job store (a crash, a kill, a power cut,
// a log-off it did not see, a move back that failed) go back into the input folder of their
// slot, where the scan takes them again, or print from the job store where they cannot go back.
// The places beside the waiting jobs ("Failed", "Printed") are left alone.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "corvale/engine/engine_state.h"
#include "corvale/platform/file_system.h"

namespace corvale {

class FileSystem;

// A slot the new run serves: its printer and the input folder it watches.
struct ServedSlot {
  std::string PrinterName;
  std::string InputFolder;  // trimmed, without trailing delimiter
  std::string DoneFolder;   // trimmed, without trailing delimiter
};

constexpr int kRecoverySlice = 50;

struct JobStoreRecovery {
  FileSystem& Files;
  std::string JobStoreRoot;
  std::vector<ServedSlot> Slots;
  // Job files (lower case) of jobs still printing from before: left where they are.
  std::set<std::string> Pending;
  std::function<void(const std::string& message)> Log;
  // Called after every `kRecoverySlice` files: lets the window's messages run meanwhile. False
  // ends the recovery there; the files not reached stay in the job store for the next Start.
  std::function<bool()> Between = [] { return true; };

  // Moves every file back; a file that cannot go back (its input folder holds a newer one of
  // that name, or cannot be reached) stays in the job store and is returned here, as the job
  // that prints it from there, each with the index of its slot in `Slots`. A printed file noted
  // as such stays where it is.
  std::vector<std::pair<size_t, TCTPQueueItem>> Run();

 private:
  // Notes of printed files that are no longer in `store` go; returns the names of the job files
  // that have a note, in lower case.
  std::set<std::string> ForgetNotesOfFilesGone(const std::string& store,
                                               const std::vector<FileEntry>& entries);
};

}  // namespace corvale
