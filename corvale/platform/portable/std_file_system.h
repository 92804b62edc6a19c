// The file system over std::filesystem, for native integration tests and benchmarks.
// Takes Windows-style paths: "\" is read as "/", so "/tmp/x" + "\\In\\a.afp" names
// /tmp/x/In/a.afp. Failures are reported with the Windows error codes of the same cases.
// Safe for use from any thread.
#pragma once

#include "corvale/platform/file_system.h"

namespace corvale {

class StdFileSystem : public FileSystem {
 public:
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  std::string FolderIdentity(const std::string& path) override;
  bool CreateDirectories(const std::string& path) override;
  std::vector<FileEntry> ListFolder(const std::string& folder) override;
  SystemError MoveFile(const std::string& from, const std::string& to) override;
  SystemError MoveFileNoReplace(const std::string& from, const std::string& to) override;
  SystemError DeleteFile(const std::string& path) override;
  using FileSystem::AppendToFile;
  SystemError AppendToFile(const std::string& path, const std::string& bytes,
                           const std::string& first_bytes) override;
  SystemError EmptyFile(const std::string& path) override;
  // There is no deny-write open here: the size is taken from the file's status.
  SystemError FileSizeDenyingWriters(const std::string& path, uint64_t& size) override;
  std::optional<std::string> ReadTextFile(const std::string& path) override;
  // An advisory lock (flock) stands for the denied writers: two holds of one file fail, within
  // one process as between processes.
  std::unique_ptr<HeldFile> HoldFile(const std::string& path, const std::string& text,
                                     SystemError& error) override;
  // No drive letters here: every path is its own.
  std::string UniversalPath(const std::string& path) override { return path; }
  // No 8.3 names here: an existing path is its own short form.
  std::string ShortPath(const std::string& path) override;
  std::string ErrorText(SystemError code) override;

 private:
  SystemError Move(const std::string& from, const std::string& to, bool replace);
};

// FILETIME value (100 ns intervals since 1601-01-01 UTC) of a Unix time in seconds.
int64_t FileTimeOfUnixTime(int64_t seconds);
// MS-DOS date (high 16 bits) and time (low 16 bits) of a local time; 0 outside 1980-2107.
uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second);

}  // namespace corvale
