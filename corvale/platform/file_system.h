// Files and folders as Corvale uses them. Paths are Windows paths ("C:\In\a.afp") in UTF-8.
// Safe for use from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvale {

// Moves replace an existing target, may copy across volumes and write through (flags 11).
constexpr uint32_t kMoveFileFlags = 0x1 | 0x2 | 0x8;

struct FileEntry {
  std::string name;
  bool is_directory = false;
  // Last write time as a FILETIME value: 100 ns intervals since 1601-01-01 UTC.
  int64_t last_write_utc = 0;
  // The same time in local time, in MS-DOS date-time form (2-second resolution).
  uint32_t last_write_dos = 0;
};

// Result of a call that may fail: 0 is success, otherwise the system's error code.
using SystemError = uint32_t;

// A file held open for writing while others may only read it; let go when destroyed.
class HeldFile {
 public:
  virtual ~HeldFile() = default;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  // What tells this folder from another one made later under the same path (its volume and file
  // number); empty when there is no folder there.
  virtual std::string FolderIdentity(const std::string& path) = 0;
  // Creates the folder and every missing parent; false when it could not.
  virtual bool CreateDirectories(const std::string& path) = 0;
  // Every entry of the folder except "." and ".."; empty when it cannot be listed.
  virtual std::vector<FileEntry> ListFolder(const std::string& folder) = 0;
  virtual SystemError MoveFile(const std::string& from, const std::string& to) = 0;
  // The same move, except that an existing target stays and the move fails.
  virtual SystemError MoveFileNoReplace(const std::string& from, const std::string& to) = 0;
  virtual SystemError DeleteFile(const std::string& path) = 0;
  // Appends bytes, creating the file when missing; a file this call creates gets `first_bytes`
  // before them (a log's first line), in the same write. One open of the file either way.
  virtual SystemError AppendToFile(const std::string& path, const std::string& bytes,
                                   const std::string& first_bytes) = 0;
  SystemError AppendToFile(const std::string& path, const std::string& bytes) {
    return AppendToFile(path, bytes, std::string());
  }
  // Cuts an existing file to no bytes, keeping the file itself (its rights, its place).
  virtual SystemError EmptyFile(const std::string& path) = 0;
  // Size of a file opened for reading while denying other writers.
  virtual SystemError FileSizeDenyingWriters(const std::string& path, uint64_t& size) = 0;
  // The bytes of a small file; nothing when it cannot be read.
  virtual std::optional<std::string> ReadTextFile(const std::string& path) = 0;
  // Opens `path` for writing, creating it, while denying others write access, and puts `text`
  // in it in place of what was there. Nothing, with the system's error in `error`, when another
  // holds it (or may not be let in). The hold ends with the process at the latest.
  virtual std::unique_ptr<HeldFile> HoldFile(const std::string& path, const std::string& text,
                                             SystemError& error) = 0;
  // The path as a program of another logon sees it: one on a drive letter mapped to a share is
  // written \\server\share\...; any other path as it is. Empty when the drive is mapped but
  // its share cannot be told.
  virtual std::string UniversalPath(const std::string& path) = 0;
  // The short (8.3) form of an existing path, at most 259 characters; empty when unavailable.
  virtual std::string ShortPath(const std::string& path) = 0;
  virtual std::string ErrorText(SystemError code) = 0;
};

}  // namespace corvale
