// The file system through the wide Win32 file calls; paths are UTF-8 here and UTF-16 there.
// Failures are GetLastError codes.
// Safe for use from any thread.
#pragma once

#include "corvale/platform/file_system.h"

namespace corvale {

class Win32FileSystem : public FileSystem {
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
  SystemError FileSizeDenyingWriters(const std::string& path, uint64_t& size) override;
  std::optional<std::string> ReadTextFile(const std::string& path) override;
  std::unique_ptr<HeldFile> HoldFile(const std::string& path, const std::string& text,
                                     SystemError& error) override;
  std::string UniversalPath(const std::string& path) override;
  std::string ShortPath(const std::string& path) override;
  std::string ErrorText(SystemError code) override;
};

}  // namespace corvale
