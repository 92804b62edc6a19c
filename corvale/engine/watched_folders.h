// The input folders the running server watches, each with the slot it was watched for at Start,
// and their health. A folder whose watch ended, or that a check finds missing, is watched again
// and scanned as soon as it is there again; one missing at several checks in a row counts as
// gone, with a log line and a word in the status bar, until it is back. A watched folder whose
// slot is idle is also looked into once a minute, so that a change report lost on the way (a
// share's notification buffer that overflowed) costs at most a minute.
// Everything here runs on the main thread, from the status tick; the looks at the folders (every
// few seconds, once a minute at a folder that is gone) are made off it, through the Look action,
// whose results come back to Looked.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "corvale/engine/folder_probe.h"

namespace corvale {

class FileSystem;
struct Settings;

// Intervals in the clock's steady ticks (100 ns units).
constexpr int64_t kFolderCheckInterval = 3 * 10000000LL;
// A folder counted as gone is looked for this often.
constexpr int64_t kGoneFolderCheckInterval = 60 * 10000000LL;
constexpr int64_t kFolderRescanInterval = 60 * 10000000LL;
// A watch that keeps failing on a folder that is there is tried again this often.
constexpr int64_t kFolderRewatchInterval = 60 * 10000000LL;
// Checks in a row that must find a folder missing before it counts as gone.
constexpr int kMissesBeforeGone = 3;

class WatchedFolders {
 public:
  // What the engine does for the folders.
  struct Actions {
    std::function<void(const std::string& folder)> StartWatching;
    std::function<void(const std::string& folder)> StopWatching;
    std::function<void(int slot, const std::string& folder)> Scan;
    std::function<bool(int slot)> SlotIdle;
    std::function<void(const std::string& message)> Log;
    std::function<std::string(uint32_t error)> ErrorText;
    // Looks at the folders off the main thread and hands the results to Looked; false when a
    // round is still under way.
    std::function<bool(std::vector<FolderProbe::Request> requests)> Look;
  };

  // `settings`: the settings in force, which outlive this.
  WatchedFolders(FileSystem& files, const Settings& settings)
      : files_(files), settings_(settings) {}

  void SetActions(Actions actions) { actions_ = std::move(actions); }
  void Clear();
  // A folder Start has begun to watch for `slot`, at `now`.
  void Add(int slot, const std::string& folder, int64_t now);
  // The slot a watched folder (the exact text given to Add) belongs to; 0 when none.
  int SlotOf(const std::string& folder) const;
  // The folder watched for `slot`; empty when none.
  std::string FolderOf(int slot) const;
  // A scan has listed `folder`.
  void Scanned(const std::string& folder, int64_t now);
  // The watch of `folder` ended by itself: the folder was deleted, or the watch failed with the
  // system's error code.
  void WatchEnded(const std::string& folder, bool deleted, uint32_t error, int64_t now);
  // The status tick: asks for a look at the folders when one is due.
  void Check(int64_t now);
  // What the look asked for by Check found, at `now`.
  void Looked(const std::vector<FolderProbe::Result>& results, int64_t now);
  bool LookUnderWay() const { return look_under_way_; }
  // For the status bar: the folders not watched now and the slots whose input folder was
  // changed while the server runs; empty when there are none.
  std::string NoticeText() const;

 private:
  struct Entry {
    int slot = 0;
    std::string folder;
    bool watching = true;
    int misses = 0;          // checks in a row that found the folder missing
    bool gone = false;       // logged as gone
    int watch_failures = 0;  // watches in a row that ended on a folder that is there
    int64_t rewatch_at = 0;
    int64_t last_scan = 0;
    int64_t last_look = 0;
    bool edit_noted = false;
    // The folder the watch was made on: one made again under its path is another folder, which
    // that watch does not see.
    std::string identity;
  };
  Entry* Find(const std::string& folder);
  bool MinuteLookDue(const Entry& entry, int64_t now) const;
  void CheckEntry(Entry& entry, const FolderProbe::Result& look, int64_t now);
  void Rewatch(Entry& entry, const std::string& identity, int64_t now);
  void NoteEditedInputFolder(Entry& entry);

  FileSystem& files_;
  const Settings& settings_;
  Actions actions_;
  std::vector<Entry> entries_;
  int64_t last_check_ = 0;
  bool look_under_way_ = false;
};

}  // namespace corvale
