// The log file: line layout, date-stamped names, the file system's wildcard matching of those
// names, and the size and age limits of the once-a-minute tick.
#include "corvale/settings/log_file.h"

#include <cstdio>
#include <vector>

#include "common/text.h"
#include "corvale/engine/errors.h"
#include "corvale/platform/event_loop.h"
#include "corvale/platform/file_system.h"

namespace corvale {

namespace {

constexpr uint64_t kBytesPerMB = 1048576;
constexpr double kFileTimeTicksPerDay = 864000000000.0;
constexpr char kStampPattern[] = "????????????";

bool IsPathDelimiter(char c) {
  return c == '\\' || c == '/' || c == ':';
}

// Index where the file name of `path` begins.
size_t FileNameStart(const std::string& path) {
  size_t i = path.size();
  while (i > 0 && !IsPathDelimiter(path[i - 1])) --i;
  return i;
}

// Puts `insert` between the path's stem and its extension. The extension is the file name's
// last dot with at least one character after it; a dot that ends the name is dropped.
std::string InsertBeforeExtension(const std::string& path, const std::string& insert) {
  if (path.empty()) return std::string();
  const size_t name_start = FileNameStart(path);
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < name_start) return path + insert;
  if (dot + 1 == path.size()) return path.substr(0, dot) + insert;
  return path.substr(0, dot) + insert + path.substr(dot);
}

std::string FolderOf(const std::string& path) {
  size_t i = path.size();
  while (i > 0 && path[i - 1] != '\\' && path[i - 1] != '/') --i;
  return i == 0 ? std::string() : path.substr(0, i - 1);
}

std::string FileNameOf(const std::string& path) {
  return path.substr(FileNameStart(path));
}

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// The file system matches with these once the pattern's "?", "*" and "." are translated.
enum class Wild {
  kLiteral,
  kAny,      // "?": one character other than a dot; nothing before a dot or at the end
  kStar,     // "*": any run of characters
  kDosStar,  // "*" before a dot: any run that does not take the name's last dot
  kDosDot,   // "." before "?" or "*": a dot, or nothing at the end of the name
};

struct PatternItem {
  Wild kind;
  char literal;
};

std::vector<PatternItem> Translate(const std::string& pattern) {
  std::vector<PatternItem> items;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (c == '?') {
      items.push_back({Wild::kAny, c});
    } else if (c == '*') {
      items.push_back({next == '.' ? Wild::kDosStar : Wild::kStar, c});
    } else if (c == '.' && (next == '?' || next == '*')) {
      items.push_back({Wild::kDosDot, c});
    } else {
      items.push_back({Wild::kLiteral, UpperAscii(c)});
    }
  }
  return items;
}

}  // namespace

std::string LogTimestamp(const LocalTime& t, char date_separator, char time_separator) {
  char text[96];
  std::snprintf(text, sizeof text, "%02d%c%02d%c%02d %02d%c%02d%c%02d", t.month, date_separator,
                t.day, date_separator, t.year % 100, t.hour, time_separator, t.minute,
                time_separator, t.second);
  return text;
}

std::string DateStamp(const LocalTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "_%04d%02d%02d_%02d", t.year, t.month, t.day, t.hour);
  return text;
}

std::string DateStampedName(const std::string& path, const LocalTime& time) {
  return InsertBeforeExtension(path, DateStamp(time));
}

std::string DateStampPattern(const std::string& path) {
  return InsertBeforeExtension(path, kStampPattern);
}

bool MatchesFileNamePattern(const std::string& name, const std::string& pattern) {
  const std::vector<PatternItem> items = Translate(pattern);
  const size_t last_dot = name.rfind('.');
  const size_t n = items.size();
  // Positions in the pattern that the name read so far can have reached.
  std::vector<bool> states(n + 1, false);
  states[0] = true;
  for (size_t i = 0;; ++i) {
    const bool at_end = i == name.size();
    const char c = at_end ? '\0' : name[i];
    // Items that may match nothing here.
    for (size_t j = 0; j < n; ++j) {
      if (!states[j]) continue;
      const Wild kind = items[j].kind;
      if (kind == Wild::kStar || kind == Wild::kDosStar ||
          (kind == Wild::kAny && (at_end || c == '.')) || (kind == Wild::kDosDot && at_end)) {
        states[j + 1] = true;
      }
    }
    if (at_end) return states[n];
    std::vector<bool> next(n + 1, false);
    bool any = false;
    for (size_t j = 0; j < n; ++j) {
      if (!states[j]) continue;
      const PatternItem& item = items[j];
      switch (item.kind) {
        case Wild::kLiteral:
          if (UpperAscii(c) == item.literal) next[j + 1] = any = true;
          break;
        case Wild::kAny:
          if (c != '.') next[j + 1] = any = true;
          break;
        case Wild::kStar:
          next[j] = any = true;
          break;
        case Wild::kDosStar:
          if (c != '.' || i != last_dot) next[j] = any = true;
          break;
        case Wild::kDosDot:
          if (c == '.') next[j + 1] = any = true;
          break;
      }
    }
    if (!any) return false;
    states.swap(next);
  }
}

std::string FileErrorMessage(uint32_t code) {
  switch (code) {
    case 2:
      return "File not found";
    case 3:
      return "Path not found";
    case 5:
      return "File access denied";
    default:
      return "I/O error " + std::to_string(code);
  }
}

LogFile::LogFile(FileSystem& files, Clock& clock, SystemInfo& system, EventLoop& loop)
    : files_(files), clock_(clock), system_(system), loop_(loop) {}

void LogFile::SetCurrentLogFile(const std::string& path) {
  std::lock_guard lock(mutex_);
  current_log_file_ = path;
}

std::string LogFile::CurrentLogFile() const {
  std::lock_guard lock(mutex_);
  return current_log_file_;
}

std::string LogFile::Failure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

void LogFile::WriteLog(const std::string& message, const std::string& category) {
  if (!Enabled()) return;
  std::lock_guard lock(mutex_);
  // A cleared log file box means no log, not a file in the working folder.
  if (current_log_file_.empty()) return;
  try {
    AppendEntry(current_log_file_, message, category);
  } catch (const LogWriteError& e) {
    failure_ = "The log file " + e.Path() + " cannot be written: " + e.what();
    throw;
  }
  failure_.clear();
}

void LogFile::AppendEntry(const std::string& path, const std::string& message,
                          const std::string& category) {
  // A log file this line creates begins with a line that says so; one open of the file either
  // way, as this runs every second.
  const std::string stamp = Timestamp();
  AppendLine(path, stamp + " [" + category + "] " + message, stamp + " Log file created");
}

void LogFile::AppendLine(const std::string& path, const std::string& line,
                         const std::string& first_line) {
  // The log keeps the 8-bit encoding of the system; a name it cannot spell shows as "?".
  const std::string first = first_line.empty() ? "" : system_.ToAnsiCodePage(first_line + "\r\n");
  if (SystemError error = files_.AppendToFile(path, system_.ToAnsiCodePage(line + "\r\n"), first)) {
    throw LogWriteError(path, FileErrorMessage(error));
  }
}

std::string LogFile::Timestamp() {
  return LogTimestamp(clock_.Now(), system_.DateSeparator(), system_.TimeSeparator());
}

void LogFile::Timer3Timer(const std::string& log_box_text, const LogSettings& settings) {
  const std::string plain = varnell::Trim(log_box_text);
  if (settings.KeepLogFileSize > 0 && settings.KeepLogFileSmall) {
    ApplySizeLimit(settings.KeepLogFileSize);
  }
  if (settings.DeleteLogFileDays > 0 && settings.AppendLogDate && settings.DeleteLogFile) {
    DeleteOldLogFiles(FolderOf(CurrentLogFile()), FileNameOf(DateStampPattern(plain)),
                      settings.DeleteLogFileDays);
  }
  if (settings.AppendLogDate) SetCurrentLogFile(DateStampedName(plain, clock_.Now()));
}

void LogFile::ApplySizeLimit(int32_t limit_mb) {
  // Held throughout, so that no writer's line goes into the file that is about to be deleted
  // and the deletion is the first entry of the new file.
  std::lock_guard lock(mutex_);
  const std::string path = current_log_file_;
  if (path.empty() || !files_.FileExists(path)) return;
  uint64_t size = 0;
  if (SystemError error = files_.FileSizeDenyingWriters(path, size)) {
    throw Error("Cannot open file \"" + path + "\". " + files_.ErrorText(error));
  }
  if (size <= static_cast<uint64_t>(limit_mb) * kBytesPerMB) return;
  // Emptied in place rather than deleted: a user who may write the file may not always create
  // it again (the program's folder), and the file keeps the rights it was given. A file held
  // open by another program stays; the next tick tries again.
  if (files_.EmptyFile(path) != 0) return;
  if (!Enabled()) return;
  AppendLine(path, Timestamp() + " Log file created");
  AppendLine(path, Timestamp() + " [DeleteFile] Log file " + path +
                       " is deleted, since it exceeded " + std::to_string(limit_mb) + "MB limit.");
}

void LogFile::DeleteOldLogFiles(const std::string& folder, const std::string& pattern,
                                int32_t days) {
  for (const FileEntry& entry : files_.ListFolder(folder)) {
    if (entry.is_directory || !MatchesFileNamePattern(entry.name, pattern)) continue;
    const double age_days =
        static_cast<double>(clock_.NowUtcFileTime() - entry.last_write_utc) / kFileTimeTicksPerDay;
    if (age_days > days) {
      const std::string path = folder + "\\" + entry.name;
      if (files_.FileExists(path) && files_.DeleteFile(path) == 0) {
        WriteLog("Log file " + path + " is deleted, since it was created " + std::to_string(days) +
                     "days ago",
                 "DeleteFile");
      }
    }
    loop_.ProcessPendingEvents();
  }
  loop_.ProcessPendingEvents();
}

}  // namespace corvale
