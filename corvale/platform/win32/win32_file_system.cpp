// The file system through the wide calls FindFirstFileW, MoveFileExW, DeleteFileW, CreateFileW
// and friends, so that every name Windows allows can be listed, moved and deleted.
// A path too long for MAX_PATH reaches them in the extended-length form ("\\?\C:\...").
#include "corvale/platform/win32/win32_file_system.h"

#include <cstdio>

#include <algorithm>

#include "common/win32/windows_support.h"

#include <winnetwk.h>
#include "corvale/platform/extended_length_path.h"
#include "corvale/platform/win32/wide_text.h"

namespace corvale {

namespace {

using varnell::win32::ScopedFileHandle;
using varnell::win32::ScopedFindHandle;
using win32::Utf8;
using win32::Wide;

static_assert(kMaxPathLength == MAX_PATH);

// The file number of an open file or folder (FileInternalInformation), 0 when it cannot be read.
uint64_t FileIndexOf(HANDLE file) {
  using QueryInformationFile = LONG(WINAPI*)(HANDLE, void* status_block, void* information,
                                             ULONG length, int information_class);
  constexpr int kFileInternalInformation = 6;
  static const auto query = reinterpret_cast<QueryInformationFile>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationFile")));
  struct {
    LONG status;
    ULONG_PTR information;
  } status_block = {};
  LARGE_INTEGER index = {};
  if (!query || query(file, &status_block, &index, sizeof index, kFileInternalInformation) < 0)
    return 0;
  return static_cast<uint64_t>(index.QuadPart);
}

// Windows 10 takes long ordinary paths only from a long-path-aware program on a system whose
// policy allows them; the extended form works everywhere, whatever the manifest or the policy.
std::wstring WidePath(const std::string& path, size_t limit = kMaxPathLength) {
  return Wide(ExtendedLengthPath(path, limit));
}

DWORD Attributes(const std::string& path) {
  return GetFileAttributesW(WidePath(path).c_str());
}

int64_t FileTimeValue(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<int64_t>(value.QuadPart);
}

uint32_t LocalDosDateTime(const FILETIME& utc) {
  FILETIME local;
  WORD date = 0;
  WORD time = 0;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time)) {
    return 0;
  }
  return (static_cast<uint32_t>(date) << 16) | time;
}

bool IsDelimiter(char c) {
  return c == '\\' || c == '/';
}

SystemError Move(const std::string& from, const std::string& to, DWORD flags) {
  if (MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), flags)) return 0;
  return GetLastError();
}

}  // namespace

bool Win32FileSystem::FileExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::DirectoryExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::CreateDirectories(const std::string& path) {
  std::string folder = path;
  while (folder.size() > 1 && IsDelimiter(folder.back())) folder.pop_back();
  if (folder.empty()) return false;
  if (DirectoryExists(folder)) return true;
  // A drive ("C:") or the root needs no creating; anything else gets its parent first.
  size_t cut = folder.size();
  while (cut > 0 && !IsDelimiter(folder[cut - 1])) --cut;
  if (cut > 1) {
    const std::string parent = folder.substr(0, cut - 1);
    if (!(parent.size() == 2 && parent[1] == ':') && !CreateDirectories(parent)) return false;
  }
  if (CreateDirectoryW(WidePath(folder, kMaxFolderPathLength).c_str(), nullptr)) return true;
  return DirectoryExists(folder);
}

std::vector<FileEntry> Win32FileSystem::ListFolder(const std::string& folder) {
  std::vector<FileEntry> entries;
  if (folder.empty()) return entries;
  std::string pattern = folder;
  if (!IsDelimiter(pattern.back())) pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAW data;
  ScopedFindHandle find(FindFirstFileW(WidePath(pattern).c_str(), &data));
  if (!find) return entries;
  do {
    const std::string name = Utf8(data.cFileName);
    if (name == "." || name == "..") continue;
    FileEntry entry;
    entry.name = name;
    entry.is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.last_write_utc = FileTimeValue(data.ftLastWriteTime);
    entry.last_write_dos = LocalDosDateTime(data.ftLastWriteTime);
    entries.push_back(std::move(entry));
  } while (FindNextFileW(find.Get(), &data));
  return entries;
}

SystemError Win32FileSystem::MoveFile(const std::string& from, const std::string& to) {
  return Move(from, to, kMoveFileFlags);
}

SystemError Win32FileSystem::MoveFileNoReplace(const std::string& from, const std::string& to) {
  return Move(from, to, kMoveFileFlags & ~static_cast<DWORD>(MOVEFILE_REPLACE_EXISTING));
}

SystemError Win32FileSystem::DeleteFile(const std::string& path) {
  if (DeleteFileW(WidePath(path).c_str())) return 0;
  return GetLastError();
}

SystemError Win32FileSystem::AppendToFile(const std::string& path, const std::string& bytes_given,
                                          const std::string& first_bytes) {
  ScopedFileHandle file(CreateFileW(WidePath(path).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return GetLastError();
  // OPEN_ALWAYS tells whether the file was there.
  const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  const std::string bytes = created ? first_bytes + bytes_given : bytes_given;
  if (SetFilePointer(file.Get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
    const DWORD error = GetLastError();
    if (error != NO_ERROR) return error;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    if (!WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr)) {
      return GetLastError();
    }
    done += written;
  }
  return 0;
}

std::string Win32FileSystem::FolderIdentity(const std::string& path) {
  // No access to the folder's contents is asked: only its attributes and file number.
  ScopedFileHandle folder(CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder) return std::string();
  // Asked every few seconds of every watched folder, it must cost next to nothing: the
  // attributes and the file number where the file system keeps them, without the volume's
  // serial number (GetFileInformationByHandle), which costs a question of the volume each time.
  // NTFS file numbers carry a sequence number, so a folder made again gets another one.
  FILE_ATTRIBUTE_TAG_INFO tag = {};
  const uint64_t index = FileIndexOf(folder.Get());
  char identity[40];
  if (index != 0 &&
      GetFileInformationByHandleEx(folder.Get(), FileAttributeTagInfo, &tag, sizeof tag)) {
    if (!(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return std::string();
    std::snprintf(identity, sizeof identity, "%016llx", static_cast<unsigned long long>(index));
    return identity;
  }
  // A file system that does not tell those (some network shares): the volume's serial number
  // and whatever index it gives.
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(folder.Get(), &info) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::string();
  std::snprintf(identity, sizeof identity, "%08lx:%08lx%08lx", info.dwVolumeSerialNumber,
                info.nFileIndexHigh, info.nFileIndexLow);
  return identity;
}

SystemError Win32FileSystem::EmptyFile(const std::string& path) {
  ScopedFileHandle file(CreateFileW(WidePath(path).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file ? 0 : GetLastError();
}

SystemError Win32FileSystem::FileSizeDenyingWriters(const std::string& path, uint64_t& size) {
  ScopedFileHandle file(CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return GetLastError();
  LARGE_INTEGER bytes;
  if (!GetFileSizeEx(file.Get(), &bytes)) return GetLastError();
  size = static_cast<uint64_t>(bytes.QuadPart);
  return 0;
}

std::optional<std::string> Win32FileSystem::ReadTextFile(const std::string& path) {
  // Readers let a holder (HoldFile) go on writing.
  ScopedFileHandle file(CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
    text.append(buffer, read);
  return text;
}

namespace {

class Win32HeldFile : public HeldFile {
 public:
  explicit Win32HeldFile(HANDLE file) : file_(file) {}

 private:
  ScopedFileHandle file_;
};

}  // namespace

std::unique_ptr<HeldFile> Win32FileSystem::HoldFile(const std::string& path,
                                                    const std::string& text, SystemError& error) {
  HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return nullptr;
  }
  auto held = std::make_unique<Win32HeldFile>(file);
  DWORD written = 0;
  if (!SetEndOfFile(file) ||
      !WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
    error = GetLastError();
    return nullptr;
  }
  error = 0;
  return held;
}

std::string Win32FileSystem::UniversalPath(const std::string& path) {
  if (path.size() < 2 || path[1] != ':') return path;
  const std::wstring root = Wide(path.substr(0, 2) + "\\");
  if (GetDriveTypeW(root.c_str()) != DRIVE_REMOTE) return path;
  std::wstring buffer(1024, L'\0');
  DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  const std::wstring wide = Wide(path);
  if (WNetGetUniversalNameW(wide.c_str(), UNIVERSAL_NAME_INFO_LEVEL, buffer.data(), &size) !=
      NO_ERROR)
    return std::string();
  const auto* info = reinterpret_cast<const UNIVERSAL_NAME_INFOW*>(buffer.data());
  return Utf8(info->lpUniversalName);
}

std::string Win32FileSystem::ShortPath(const std::string& path) {
  const std::wstring long_path = WidePath(path);
  // A long path's short form comes back in the extended form too, which may need more room.
  std::wstring buffer(MAX_PATH, L'\0');
  DWORD length = GetShortPathNameW(long_path.c_str(), buffer.data(), MAX_PATH);
  if (length >= buffer.size()) {
    buffer.resize(length);
    length = GetShortPathNameW(long_path.c_str(), buffer.data(), length);
  }
  if (length == 0 || length >= buffer.size()) return "";
  // At most 259 characters, the room of the print utility's path parameter, in the ordinary form
  // the utility takes.
  std::string short_path = OrdinaryPath(Utf8(std::wstring_view(buffer.data(), length)));
  if (Wide(short_path).size() >= MAX_PATH) return "";
  return short_path;
}

std::string Win32FileSystem::ErrorText(SystemError code) {
  return win32::SystemErrorTextUtf8(code);
}

}  // namespace corvale
