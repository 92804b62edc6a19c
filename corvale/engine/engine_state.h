// The job engine's state: the printer slots, the per-slot queues and counters, and the flags
// that keep scans and dispatch passes from re-entering themselves.
// Owned by the main window and used on the main thread; RunnerBusy and JobsInFlight are also
// changed by job runner threads and are therefore atomic.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace corvale {

class FileSystem;
class SystemInfo;

constexpr int kMaxSlots = 256;

// One printer's settings.
struct TRec {
  bool EnableIPDSEmulation = false;
  std::string PrinterName;
  std::string InputFolder;
  std::string DoneFolder;
  bool DeleteInputFileWhenDone = false;
  int32_t QueueDepth = 1;
};

// One file taken from an input folder.
struct TCTPQueueItem {
  std::string FileName;
  std::string DoneFolder;
  std::string InputFolder;
  std::string JobStoreFolder;
};

using JobQueueType = std::deque<TCTPQueueItem>;

// Slot arrays are indexed by slot number 1..256; element 0 is unused.
template <typename T>
using SlotArray = std::array<T, kMaxSlots + 1>;

struct EngineState {
  SlotArray<TRec> Slots;
  int32_t SlotCount = 0;

  // Run-time state, set afresh at every Start.
  SlotArray<std::unique_ptr<JobQueueType>> JobQueue;
  SlotArray<bool> MoreFilesWaiting{};
  SlotArray<int32_t> FreeCapacity{};
  SlotArray<int32_t> DepthInForce{};
  SlotArray<std::atomic<int32_t>> JobsInFlight{};
  // Job files (lower case) of pending jobs that a file of the same name in the slot's input
  // folder waits for; the slot is rescanned once one of them is no longer pending.
  SlotArray<std::set<std::string>> WaitingForJobFiles;
  // The last failed move of each file of the slot's input folder: its path and the error code,
  // so that the same failure again is not logged again.
  SlotArray<std::map<std::string, uint32_t>> FailedMoves;
  // Files of the slot's input folder that a move copied without removing them (a read-only
  // file, a share where Corvale may read but not delete), by path, with their last-write time:
  // such a file is not taken again until it changes.
  SlotArray<std::map<std::string, int64_t>> CopiedNotMoved;
  // Folders whose change report (or rescan) came while a scan ran, or whose scan ended with an
  // error: each is scanned as soon as no scan runs. Main thread only.
  std::deque<std::string> RememberedScans;

  bool Scanning = false;
  bool Dispatching = false;
  std::atomic<bool> RunnerBusy{false};

  // Whether the server runs, and which run: every Start begins a new run. Runners of an
  // earlier run leave the counters of a later one alone.
  bool Running = false;
  uint64_t RunGeneration = 0;
  // Guards RunGeneration changes against runners' completions, and the two fields below.
  std::mutex RunMutex;
  // Job files of jobs that are queued or printing: the path in lower case, and as named.
  std::map<std::string, std::string> PendingJobFiles;
  int ActiveRunners = 0;
  std::condition_variable RunnersDone;

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
