// The file system over std::filesystem, with Windows paths and Windows error codes.
#include "corvale/platform/portable/std_file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace corvale {

namespace fs = std::filesystem;

namespace {

constexpr int64_t kFileTimeOfUnixEpoch = 116444736000000000LL;
constexpr int64_t kFileTimeTicksPerSecond = 10000000LL;
constexpr size_t kMaxShortPath = 259;

// The codes a Windows call gives in the same situations.
constexpr SystemError kFileNotFound = 2;
constexpr SystemError kPathNotFound = 3;
constexpr SystemError kTooManyOpenFiles = 4;
constexpr SystemError kAccessDenied = 5;
constexpr SystemError kNotSameDevice = 17;
constexpr SystemError kGenFailure = 31;
constexpr SystemError kSharingViolation = 32;
constexpr SystemError kFileExists = 80;
constexpr SystemError kInvalidParameter = 87;
constexpr SystemError kDiskFull = 112;
constexpr SystemError kDirNotEmpty = 145;
constexpr SystemError kAlreadyExists = 183;
constexpr SystemError kFilenameTooLong = 206;

fs::path ToPath(const std::string& windows_path) {
  std::string path = windows_path;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return fs::path(path);
}

bool ParentIsFolder(const fs::path& path) {
  const fs::path parent = path.parent_path();
  if (parent.empty()) return true;
  std::error_code ec;
  return fs::is_directory(parent, ec);
}

// A missing file in an existing folder, or a missing folder on the way to it.
SystemError MissingError(const fs::path& path) {
  return ParentIsFolder(path) ? kFileNotFound : kPathNotFound;
}

SystemError MapError(const std::error_code& ec, const fs::path& path) {
  const std::error_condition c = ec.default_error_condition();
  if (c == std::errc::no_such_file_or_directory) return MissingError(path);
  if (c == std::errc::not_a_directory) return kPathNotFound;
  if (c == std::errc::permission_denied || c == std::errc::operation_not_permitted ||
      c == std::errc::is_a_directory || c == std::errc::read_only_file_system) {
    return kAccessDenied;
  }
  if (c == std::errc::device_or_resource_busy || c == std::errc::text_file_busy) {
    return kSharingViolation;
  }
  if (c == std::errc::file_exists) return kFileExists;
  if (c == std::errc::no_space_on_device) return kDiskFull;
  if (c == std::errc::filename_too_long) return kFilenameTooLong;
  if (c == std::errc::cross_device_link) return kNotSameDevice;
  if (c == std::errc::too_many_files_open) return kTooManyOpenFiles;
  if (c == std::errc::invalid_argument) return kInvalidParameter;
  if (c == std::errc::directory_not_empty) return kDirNotEmpty;
  return kGenFailure;
}

SystemError MapErrno(int error, const fs::path& path) {
  return MapError(std::error_code(error, std::generic_category()), path);
}

bool LocalTimeOf(std::time_t seconds, std::tm& local) {
#ifdef _WIN32
  return localtime_s(&local, &seconds) == 0;
#else
  return localtime_r(&seconds, &local) != nullptr;
#endif
}

}  // namespace

int64_t FileTimeOfUnixTime(int64_t seconds) {
  return kFileTimeOfUnixEpoch + seconds * kFileTimeTicksPerSecond;
}

uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1980 || year > 2107) return 0;
  const uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
  const uint32_t time = static_cast<uint32_t>((hour << 11) | (minute << 5) | (second / 2));
  return (date << 16) | time;
}

bool StdFileSystem::FileExists(const std::string& path) {
  std::error_code ec;
  const fs::file_status status = fs::status(ToPath(path), ec);
  return fs::exists(status) && !fs::is_directory(status);
}

bool StdFileSystem::DirectoryExists(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(ToPath(path), ec);
}

bool StdFileSystem::CreateDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  const fs::path folder = ToPath(path);
  fs::create_directories(folder, ec);
  return fs::is_directory(folder, ec);
}

std::vector<FileEntry> StdFileSystem::ListFolder(const std::string& folder) {
  std::vector<FileEntry> entries;
  if (folder.empty()) return entries;
  std::error_code ec;
  fs::directory_iterator it(ToPath(folder), ec);
  for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
    FileEntry entry;
    entry.name = it->path().filename().string();
    std::error_code entry_ec;
    entry.is_directory = it->is_directory(entry_ec);
    const fs::file_time_type written = it->last_write_time(entry_ec);
    if (!entry_ec) {
      using FileTimeTicks = std::chrono::duration<int64_t, std::ratio<1, kFileTimeTicksPerSecond>>;
      const auto utc = std::chrono::file_clock::to_sys(written);
      entry.last_write_utc =
          kFileTimeOfUnixEpoch + std::chrono::floor<FileTimeTicks>(utc.time_since_epoch()).count();
      const std::time_t seconds = static_cast<std::time_t>(
          std::chrono::floor<std::chrono::seconds>(utc.time_since_epoch()).count());
      std::tm local{};
      if (LocalTimeOf(seconds, local)) {
        entry.last_write_dos = DosDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                           local.tm_hour, local.tm_min, local.tm_sec);
      }
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

SystemError StdFileSystem::MoveFile(const std::string& from, const std::string& to) {
  return Move(from, to, /*replace=*/true);
}

SystemError StdFileSystem::MoveFileNoReplace(const std::string& from, const std::string& to) {
  return Move(from, to, /*replace=*/false);
}

SystemError StdFileSystem::Move(const std::string& from, const std::string& to, bool replace) {
  const fs::path source = ToPath(from);
  const fs::path target = ToPath(to);
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(source, ec))) return MissingError(source);
  if (!replace && fs::exists(fs::symlink_status(target, ec))) return kAlreadyExists;
  // Replacing an existing target never replaces a folder.
  if (fs::is_directory(fs::symlink_status(target, ec))) return kAccessDenied;
  fs::rename(source, target, ec);
  if (!ec) return 0;
  if (ec.default_error_condition() != std::errc::cross_device_link) return MapError(ec, target);
  if (fs::is_directory(source, ec)) return kNotSameDevice;
  ec.clear();
  fs::copy_file(source, target,
                replace ? fs::copy_options::overwrite_existing : fs::copy_options::none, ec);
  if (ec) return MapError(ec, target);
  fs::remove(source, ec);
  return ec ? MapError(ec, source) : 0;
}

SystemError StdFileSystem::DeleteFile(const std::string& path) {
  const fs::path file = ToPath(path);
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(file, ec);
  if (!fs::exists(status)) return MissingError(file);
  if (fs::is_directory(status)) return kAccessDenied;
  fs::remove(file, ec);
  return ec ? MapError(ec, file) : 0;
}

SystemError StdFileSystem::AppendToFile(const std::string& path, const std::string& bytes,
                                        const std::string& first_bytes) {
  const fs::path file = ToPath(path);
  std::error_code ec;
  const bool existed = fs::exists(file, ec);
  std::FILE* stream = std::fopen(file.string().c_str(), "ab");
  if (!stream) return MapErrno(errno, file);
  const std::string written = existed ? bytes : first_bytes + bytes;
  int error = 0;
  if (std::fwrite(written.data(), 1, written.size(), stream) != written.size()) error = errno;
  if (std::fclose(stream) != 0 && error == 0) error = errno;
  return error ? MapErrno(error, file) : 0;
}

std::string StdFileSystem::FolderIdentity(const std::string& path) {
  struct stat info = {};
  if (stat(ToPath(path).string().c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    return std::string();
  return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

SystemError StdFileSystem::EmptyFile(const std::string& path) {
  const fs::path file = ToPath(path);
  std::error_code ec;
  const fs::file_status status = fs::status(file, ec);
  if (!fs::exists(status)) return MissingError(file);
  if (fs::is_directory(status)) return kAccessDenied;
  fs::resize_file(file, 0, ec);
  return ec ? MapError(ec, file) : 0;
}

SystemError StdFileSystem::FileSizeDenyingWriters(const std::string& path, uint64_t& size) {
  const fs::path file = ToPath(path);
  std::error_code ec;
  const fs::file_status status = fs::status(file, ec);
  if (!fs::exists(status)) return MissingError(file);
  if (fs::is_directory(status)) return kAccessDenied;
  const uintmax_t bytes = fs::file_size(file, ec);
  if (ec) return MapError(ec, file);
  size = bytes;
  return 0;
}

std::optional<std::string> StdFileSystem::ReadTextFile(const std::string& path) {
  std::ifstream in(ToPath(path), std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

namespace {

class StdHeldFile : public HeldFile {
 public:
  explicit StdHeldFile(int fd) : fd_(fd) {}
  ~StdHeldFile() override { close(fd_); }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<HeldFile> StdFileSystem::HoldFile(const std::string& path, const std::string& text,
                                                  SystemError& error) {
  const fs::path file = ToPath(path);
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = MapErrno(errno, file);
    return nullptr;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    error = kSharingViolation;
    return nullptr;
  }
  auto held = std::make_unique<StdHeldFile>(fd);
  if (ftruncate(fd, 0) != 0 ||
      write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    error = MapErrno(errno, file);
    return nullptr;
  }
  error = 0;
  return held;
}

std::string StdFileSystem::ShortPath(const std::string& path) {
  std::error_code ec;
  if (path.empty() || path.size() > kMaxShortPath || !fs::exists(ToPath(path), ec)) return "";
  return path;
}

std::string StdFileSystem::ErrorText(SystemError code) {
  switch (code) {
    case 0:
      return "The operation completed successfully.";
    case kFileNotFound:
      return "The system cannot find the file specified.";
    case kPathNotFound:
      return "The system cannot find the path specified.";
    case kTooManyOpenFiles:
      return "The system cannot open the file.";
    case kAccessDenied:
      return "Access is denied.";
    case kNotSameDevice:
      return "The system cannot move the file to a different disk drive.";
    case kGenFailure:
      return "A device attached to the system is not functioning.";
    case kSharingViolation:
      return "The process cannot access the file because it is being used by another process.";
    case kFileExists:
      return "The file exists.";
    case kInvalidParameter:
      return "The parameter is incorrect.";
    case kDiskFull:
      return "There is not enough space on the disk.";
    case kDirNotEmpty:
      return "The directory is not empty.";
    case kAlreadyExists:
      return "Cannot create a file when that file already exists.";
    case kFilenameTooLong:
      return "The filename or extension is too long.";
    default:
      return "System error code " + std::to_string(code);
  }
}

}  // namespace corvale
