// SaveActivityText and its file tests.
#include "pennock/save_activity.h"

#include "pennock/format_line.h"

namespace pennock {
namespace {

constexpr int kInUseRetries = 11;
constexpr std::uint32_t kInUsePauseMs = 100;
constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kDaysFrom1601To1970 = 134774;

// Year, month and day of a day count since 1970-01-01 (proleptic Gregorian calendar).
void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
  days += 719468;
  std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  std::int64_t dayOfEra = days - era * 146097;
  std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

std::optional<DosDateTime> FileTimeToDosDateTime(std::uint64_t fileTime) {
  std::uint64_t seconds = fileTime / kTicksPerSecond;
  auto days = static_cast<std::int64_t>(seconds / 86400) - kDaysFrom1601To1970;
  auto secondOfDay = static_cast<int>(seconds % 86400);
  int year = 0, month = 0, day = 0;
  CivilFromDays(days, year, month, day);
  if (year < 1980 || year > 2107) return std::nullopt;
  DosDateTime dos;
  dos.Date = static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
  dos.Time = static_cast<std::uint16_t>(((secondOfDay / 3600) << 11) |
                                        ((secondOfDay / 60 % 60) << 5) | (secondOfDay % 60 / 2));
  return dos;
}

bool FileExists(FileSystem& files, const std::string& path) {
  std::optional<FileEntry> entry = files.FindFile(path);
  if (!entry || entry->Directory) return false;
  std::optional<std::uint64_t> local = files.FileTimeToLocalFileTime(entry->LastWriteTime);
  return local && FileTimeToDosDateTime(*local).has_value();
}

bool FileInUse(FileSystem& files, const std::string& path) {
  return !files.CanOpenExclusively(path);
}

void SaveActivityText(FileSystem& files, System& system, const std::string& path,
                      const std::string& text) {
  bool saved = false;
  if (FileExists(files, path)) {
    if (FileInUse(files, path)) {
      for (int i = 0; i < kInUseRetries; ++i) {
        system.Sleep(kInUsePauseMs);
        if (!FileInUse(files, path)) break;
      }
    }
    saved = files.AppendToFile(path, text);
  } else {
    saved = files.CreateFileWithText(path, text);
  }
  // The chunk itself is lost; at least the debugger output tells so.
  if (!saved) {
    system.WriteDebugOutput(FormatLine("Could not save %d characters of the activity log to \"%s\"",
                                       {text.size(), path}));
  }
}

}  // namespace pennock
