// The job engine's run-time state: the per-slot queues and counters, and the flags that keep
// scans and dispatch passes from re-entering themselves. Owned by the print server and used on
// the main thread; what the job runners change too is in the ledger.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "corvale/settings/settings.h"

namespace corvale {

class FileSystem;
class SystemInfo;

// One file taken from an input folder.
struct TCTPQueueItem {
  std::string FileName;
  std::string DoneFolder;
  std::string InputFolder;
  std::string JobStoreFolder;
  // When the file reached the job store (the clock's steady ticks).
  int64_t TakenAt = 0;
};

using JobQueueType = std::deque<TCTPQueueItem>;

struct EngineState {
  // Run-time state, set afresh at every Start. The in-flight counters are the ledger's.
  SlotArray<std::unique_ptr<JobQueueType>> JobQueue;
  SlotArray<bool> MoreFilesWaiting{};
  SlotArray<int32_t> FreeCapacity{};
  SlotArray<int32_t> DepthInForce{};
  // Job files (lower case) of pending jobs that a file of the same name in the slot's input
  // folder waits for; the slot is rescanned once one of them is no longer pending.
  SlotArray<std::set<std::string>> WaitingForJobFiles;
  // The last failed move of each file of the slot's input folder, by its path: the error code,
  // so that the same failure again is not logged again, and the file's last-write time, so that
  // it is tried again when it changes (or at the minute's look) and not at every scan.
  struct FailedMove {
    uint32_t error = 0;
    int64_t last_write = 0;
  };
  SlotArray<std::map<std::string, FailedMove>> FailedMoves;
  // Files of the slot's input folder that a move copied without removing them (a read-only
  // file, a share where Corvale may read but not delete), by path, with their last-write time:
  // such a file is not taken again until it changes.
  SlotArray<std::map<std::string, int64_t>> CopiedNotMoved;
  // Folders whose change report (or rescan) came while a scan ran, or whose scan ended with an
  // error: each is scanned as soon as no scan runs.
  std::deque<std::string> RememberedScans;
  // Folders whose next scan tries again the files whose move failed (the minute's look, a
  // folder watched again).
  std::set<std::string> RetryFailedMoves;

  // The job whose print utility runs now; empty when none.
  std::string PrintingJob;

  bool Scanning = false;
  bool Dispatching = false;
  bool Running = false;

  std::string StartupDefaultPrinter;
  std::string JobStoreRoot;
  bool RunningUnderWow64 = false;
  uint32_t RegistryViewFlag = 0;
};

// What became of a switch of the Windows default printer.
enum class DefaultPrinterSwitch {
  kSwitched,
  kNotListed,  // no printer of that name is listed
  kNotTaken,   // written, but the default printer read back is another one
};

// The printer name with every "\" replaced by "#".
std::string PrinterKeyName(const std::string& printer_name);

// Trims, drops one trailing delimiter and creates the folder with its parents; silent.
void EnsureFolder(FileSystem& files, const std::string& folder);

// True when the process runs under WOW64; throws "IsWow64: bad process handle".
bool IsWow64(SystemInfo& system);

// The folder part of a path, without the trailing delimiter ("C:\A\b.txt" gives "C:\A").
std::string ExtractFileDir(const std::string& path);
// The file-name part of a path ("C:\A\b.txt" gives "b.txt").
std::string ExtractFileName(const std::string& path);

}  // namespace corvale
