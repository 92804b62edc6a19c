// A file system that passes every call on to another one (normally StdFileSystem over a temp
// folder), records moves (of both kinds) and deletions, can fail the moves of a given source
// with an error code, fail the appends to a file (the log), or give paths a short form of the
// test's choosing.
// Safe for use from any thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <set>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "corvale/platform/file_system.h"

namespace corvale::testing {

class RecordingFileSystem : public FileSystem {
 public:
  explicit RecordingFileSystem(FileSystem& inner) : inner_(inner) {}

  // Moves from exactly `source` fail with `code` and move nothing (0: they work again).
  void FailMovesFrom(const std::string& source, SystemError code);
  // Moves into `folder` (a target path that starts with it and "\\") fail with `code` and move
  // nothing (0: they work again).
  void FailMovesInto(const std::string& folder, SystemError code);
  // Moves from exactly `source` copy the file and leave it where it was, as a move across volumes
  // does when the source cannot be deleted (false: they move again). Works on the real files of
  // the inner file system's Windows-style paths.
  void CopyInsteadOfMovingFrom(const std::string& source, bool copy);
  // Appends to exactly `path` fail with `code` once `after` more have worked (0: they work
  // again).
  void FailAppendsTo(const std::string& path, SystemError code, int after = 0);
  // Runs `after` once, right after the next move (or copy in its place) from exactly `source` has
  // been made (a writer that drops a new file of that name at that moment).
  void AfterMoveFrom(const std::string& source, std::function<void()> after);
  // The folder at exactly `path` tells this identity while it exists (empty: its own again), as
  // a folder made again under the same path does.
  void SetFolderIdentity(const std::string& path, const std::string& identity);
  // Looks at the folder at exactly `path` (its identity) wait until ReleaseLooks, as on a share
  // whose server is off.
  void HoldLooksAt(const std::string& path);
  void ReleaseLooks();
  // Blocks until a look waits at a held folder; false after 20 s.
  bool WaitForHeldLook();
  // Folders at and below `prefix` cannot be reached (a share whose server is off): they are not
  // there and cannot be made.
  void Unreachable(const std::string& prefix);
  void Reachable(const std::string& prefix);
  // Holding exactly `path` (HoldFile) fails with `code` (0: it works again).
  void FailHoldOf(const std::string& path, SystemError code);
  // Opening exactly `path` to take its size fails with `code` (0: it works again).
  void FailSizeOf(const std::string& path, SystemError code);
  // Paths starting with `drive` ("M:") are on a drive mapped to `share` ("\\\\srv\\hot"; empty:
  // a share that cannot be told).
  void MapDrive(const std::string& drive, const std::string& share);
  // Replaces the short form of every path (an empty result means "no short form").
  void SetShortPaths(std::function<std::string(const std::string&)> short_path);

  std::vector<std::pair<std::string, std::string>> Moves() const;
  std::vector<std::string> Deletes() const;

  bool FileExists(const std::string& path) override { return inner_.FileExists(path); }
  bool DirectoryExists(const std::string& path) override {
    return !IsUnreachable(path) && inner_.DirectoryExists(path);
  }
  std::string FolderIdentity(const std::string& path) override;
  bool CreateDirectories(const std::string& path) override {
    if (IsUnreachable(path)) return false;
    return inner_.CreateDirectories(path);
  }
  std::vector<FileEntry> ListFolder(const std::string& folder) override {
    return inner_.ListFolder(folder);
  }
  SystemError MoveFile(const std::string& from, const std::string& to) override;
  SystemError MoveFileNoReplace(const std::string& from, const std::string& to) override;
  SystemError DeleteFile(const std::string& path) override;
  using FileSystem::AppendToFile;
  SystemError AppendToFile(const std::string& path, const std::string& bytes,
                           const std::string& first_bytes) override;
  SystemError EmptyFile(const std::string& path) override { return inner_.EmptyFile(path); }
  SystemError FileSizeDenyingWriters(const std::string& path, uint64_t& size) override;
  std::optional<std::string> ReadTextFile(const std::string& path) override {
    return inner_.ReadTextFile(path);
  }
  std::unique_ptr<HeldFile> HoldFile(const std::string& path, const std::string& text,
                                     SystemError& error) override;
  std::string UniversalPath(const std::string& path) override;
  std::string ShortPath(const std::string& path) override;
  std::string ErrorText(SystemError code) override { return inner_.ErrorText(code); }

 private:
  bool Copying(const std::string& from);
  bool IsUnreachable(const std::string& path);
  SystemError Move(const std::string& from, const std::string& to,
                   const std::function<SystemError()>& move);

  FileSystem& inner_;
  mutable std::mutex mutex_;
  std::map<std::string, SystemError> failing_moves_;
  std::set<std::string> copying_moves_;
  std::map<std::string, SystemError> failing_sizes_;
  std::map<std::string, std::string> identities_;
  std::set<std::string> held_looks_;
  int looks_waiting_ = 0;
  std::condition_variable looks_changed_;
  std::map<std::string, SystemError> failing_holds_;
  std::vector<std::string> unreachable_;
  std::map<std::string, std::string> mapped_drives_;
  std::map<std::string, SystemError> failing_targets_;
  std::map<std::string, std::function<void()>> after_moves_;
  struct FailingAppends {
    SystemError code;
    int after;
  };
  std::map<std::string, FailingAppends> failing_appends_;
  std::function<std::string(const std::string&)> short_path_;
  std::vector<std::pair<std::string, std::string>> moves_;
  std::vector<std::string> deletes_;
};

}  // namespace corvale::testing
