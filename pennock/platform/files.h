// The file operations that saving the activity text needs. Called from the main thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pennock {

// What FindFirstFileA reports about one directory entry (the find handle is closed again).
struct FileEntry {
  bool Directory = false;
  std::uint64_t LastWriteTime = 0;  // FILETIME, UTC
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual std::optional<FileEntry> FindFile(const std::string& path) = 0;
  // FileTimeToLocalFileTime; empty when the conversion fails.
  virtual std::optional<std::uint64_t> FileTimeToLocalFileTime(std::uint64_t fileTime) = 0;
  // True when the existing file can be opened for reading and writing with no sharing (the
  // handle is closed again at once).
  virtual bool CanOpenExclusively(const std::string& path) = 0;
  // Opens the existing file for reading and writing with no sharing, moves to its end, writes
  // the characters as they are and closes it; false when it cannot be opened or written.
  virtual bool AppendToFile(const std::string& path, const std::string& text) = 0;
  // Creates a new file for reading and writing with no sharing, writes the characters and
  // closes it; false when it cannot be created or written.
  virtual bool CreateFileWithText(const std::string& path, const std::string& text) = 0;
};

}  // namespace pennock
