// The watched input folders and their health check.
#include "corvale/engine/watched_folders.h"

#include "common/text.h"
#include "corvale/settings/settings.h"
#include "corvale/platform/file_system.h"

namespace corvale {

void WatchedFolders::Clear() {
  entries_.clear();
  last_check_ = 0;
  // A look still under way finds none of its folders when it comes back.
}

void WatchedFolders::Add(int slot, const std::string& folder, int64_t now) {
  Entry entry;
  entry.slot = slot;
  entry.folder = folder;
  entry.last_scan = now;
  entry.identity = files_.FolderIdentity(folder);
  entries_.push_back(entry);
  last_check_ = now;
}

WatchedFolders::Entry* WatchedFolders::Find(const std::string& folder) {
  for (Entry& entry : entries_) {
    if (entry.folder == folder) return &entry;
  }
  return nullptr;
}

int WatchedFolders::SlotOf(const std::string& folder) const {
  for (const Entry& entry : entries_) {
    if (entry.folder == folder) return entry.slot;
  }
  return 0;
}

std::string WatchedFolders::FolderOf(int slot) const {
  for (const Entry& entry : entries_) {
    if (entry.slot == slot) return entry.folder;
  }
  return std::string();
}

void WatchedFolders::Scanned(const std::string& folder, int64_t now) {
  if (Entry* entry = Find(folder)) entry->last_scan = now;
}

void WatchedFolders::WatchEnded(const std::string& folder, bool deleted, uint32_t error,
                                int64_t now) {
  Entry* entry = Find(folder);
  if (!entry || !entry->watching) return;
  entry->watching = false;
  // A deleted folder is looked for at the next check; a watch that failed on a folder that is
  // still there is tried again at once the first time, then once a minute, with one line.
  if (deleted || !files_.DirectoryExists(folder)) return;
  if (entry->watch_failures++ == 0) {
    actions_.Log("Watch ERROR (" + actions_.ErrorText(error) + "): " + folder +
                 " is not watched for now; it is watched again");
  } else {
    entry->rewatch_at = now + kFolderRewatchInterval;
  }
}

void WatchedFolders::Check(int64_t now) {
  for (Entry& entry : entries_) NoteEditedInputFolder(entry);
  if (look_under_way_ || now - last_check_ < kFolderCheckInterval) return;
  last_check_ = now;
  std::vector<FolderProbe::Request> requests;
  for (Entry& entry : entries_) {
    if (entry.gone && now - entry.last_look < kGoneFolderCheckInterval) continue;
    entry.last_look = now;
    requests.push_back({entry.folder, MinuteLookDue(entry, now)});
  }
  if (!requests.empty()) look_under_way_ = actions_.Look(std::move(requests));
}

void WatchedFolders::Looked(const std::vector<FolderProbe::Result>& results, int64_t now) {
  look_under_way_ = false;
  // The actions may scan, and a scan lets events run: each folder is found afresh.
  for (const FolderProbe::Result& look : results) {
    if (Entry* entry = Find(look.folder)) CheckEntry(*entry, look, now);
  }
}

bool WatchedFolders::MinuteLookDue(const Entry& entry, int64_t now) const {
  return entry.watching && now - entry.last_scan >= kFolderRescanInterval &&
         actions_.SlotIdle(entry.slot);
}

void WatchedFolders::CheckEntry(Entry& entry, const FolderProbe::Result& look, int64_t now) {
  const std::string& identity = look.identity;
  if (identity.empty()) {
    // A watch on a folder that went away sees nothing of the folder that may come back under
    // its name: it is ended now and made afresh then.
    if (entry.watching) {
      entry.watching = false;
      actions_.StopWatching(entry.folder);
    }
    if (++entry.misses == kMissesBeforeGone) {
      entry.gone = true;
      actions_.Log(entry.folder + " cannot be reached; it is watched again when it is back");
    }
    return;
  }
  entry.misses = 0;
  if (entry.watching && identity != entry.identity) {
    // Deleted and made again between two checks.
    entry.watching = false;
    entry.rewatch_at = 0;
  }
  if (!entry.watching) {
    if (now >= entry.rewatch_at) Rewatch(entry, identity, now);
    return;
  }
  // Watching since the last check: a watch that failed before has come good.
  entry.watch_failures = 0;
  if (look.listed && MinuteLookDue(entry, now)) {
    entry.last_scan = now;
    // An empty folder costs one listing, off the main thread, and no log line.
    if (look.has_files) actions_.Scan(entry.slot, entry.folder);
  }
}

void WatchedFolders::Rewatch(Entry& entry, const std::string& identity, int64_t now) {
  const std::string folder = entry.folder;
  actions_.StopWatching(folder);
  actions_.StartWatching(folder);
  entry.watching = true;
  entry.identity = identity;
  entry.last_scan = now;
  if (entry.gone) {
    entry.gone = false;
    actions_.Log(folder + " is back; it is watched again");
  }
  // Files dropped while it was not watched are taken now.
  actions_.Scan(entry.slot, folder);
}

void WatchedFolders::NoteEditedInputFolder(Entry& entry) {
  const TRec& slot = settings_.Slots[entry.slot];
  const bool edited = varnell::Trim(slot.InputFolder) != entry.folder;
  if (edited && !entry.edit_noted) {
    actions_.Log("The input folder of " + slot.PrinterName +
                 " was changed while the server runs; " + entry.folder +
                 " is watched until the next Start, the new folder from then on");
  }
  entry.edit_noted = edited;
}

std::string WatchedFolders::NoticeText() const {
  std::string not_watched;
  std::string edited;
  for (const Entry& entry : entries_) {
    if (entry.gone || (!entry.watching && entry.watch_failures > 0))
      not_watched += (not_watched.empty() ? "" : ", ") + entry.folder;
    if (entry.edit_noted)
      edited += (edited.empty() ? "" : ", ") + settings_.Slots[entry.slot].PrinterName;
  }
  std::string text;
  if (!not_watched.empty()) text = "Not watched: " + not_watched;
  if (!edited.empty()) {
    text += (text.empty() ? "" : " | ") + std::string("New input folder from the next Start: ") +
            edited;
  }
  return text;
}

}  // namespace corvale
