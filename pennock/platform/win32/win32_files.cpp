// The file calls behind saving the activity text.
#include "pennock/platform/win32/win32_platform.h"

namespace pennock::win32 {
namespace {

std::uint64_t ToUint64(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ToFileTime(std::uint64_t time) {
  return FILETIME{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
}

varnell::win32::ScopedFileHandle OpenExclusive(const std::string& path, DWORD disposition) {
  return varnell::win32::ScopedFileHandle(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                                      nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                                                      nullptr));
}

bool WriteAll(HANDLE file, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    DWORD written = 0;
    if (!WriteFile(file, text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                   nullptr) ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

}  // namespace

std::optional<FileEntry> Win32FileSystem::FindFile(const std::string& path) {
  WIN32_FIND_DATAA found{};
  varnell::win32::ScopedFindHandle find(FindFirstFileA(path.c_str(), &found));
  if (!find) return std::nullopt;
  return FileEntry{(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                   ToUint64(found.ftLastWriteTime)};
}

std::optional<std::uint64_t> Win32FileSystem::FileTimeToLocalFileTime(std::uint64_t fileTime) {
  FILETIME utc = ToFileTime(fileTime);
  FILETIME local{};
  if (!::FileTimeToLocalFileTime(&utc, &local)) return std::nullopt;
  return ToUint64(local);
}

bool Win32FileSystem::CanOpenExclusively(const std::string& path) {
  return OpenExclusive(path, OPEN_EXISTING).Valid();
}

bool Win32FileSystem::AppendToFile(const std::string& path, const std::string& text) {
  varnell::win32::ScopedFileHandle file = OpenExclusive(path, OPEN_EXISTING);
  if (!file) return false;
  LARGE_INTEGER end{};
  if (!SetFilePointerEx(file.Get(), end, nullptr, FILE_END)) return false;
  return WriteAll(file.Get(), text);
}

bool Win32FileSystem::CreateFileWithText(const std::string& path, const std::string& text) {
  varnell::win32::ScopedFileHandle file = OpenExclusive(path, CREATE_NEW);
  return file && WriteAll(file.Get(), text);
}

}  // namespace pennock::win32
