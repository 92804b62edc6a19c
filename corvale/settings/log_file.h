// The log file: one line per event with a timestamp and a category, an optional date-and-hour
// stamp in the file name, and size and age limits applied once a minute.
// WriteLog may be called from any thread; everything else runs on the main thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "corvale/platform/system_info.h"

namespace corvale {

class FileSystem;
class EventLoop;

// The log options of the main window, as the limits read them.
struct LogSettings {
  bool KeepLogFileSmall = false;
  int32_t KeepLogFileSize = 10;  // MB
  bool AppendLogDate = false;
  bool DeleteLogFile = false;
  int32_t DeleteLogFileDays = 7;
  bool operator==(const LogSettings&) const = default;
};

// "MM/dd/yy hh:mm:ss" with the given date and time separators.
std::string LogTimestamp(const LocalTime& time, char date_separator, char time_separator);
// "_yyyyMMdd_hh".
std::string DateStamp(const LocalTime& time);
// The path with the date stamp put in before the file name's extension.
std::string DateStampedName(const std::string& path, const LocalTime& time);
// The path with twelve "?" put in at the same place.
std::string DateStampPattern(const std::string& path);
// Windows file-system wildcard matching of a file name ("?" and "*"), ignoring case.
bool MatchesFileNamePattern(const std::string& name, const std::string& pattern);
// The text of a file error as the user sees it: "File not found", "Path not found",
// "File access denied" or "I/O error <code>".
std::string FileErrorMessage(uint32_t code);

class LogFile {
 public:
  LogFile(FileSystem& files, Clock& clock, SystemInfo& system, EventLoop& loop);

  // Writes one line in the system's ANSI code page; throws LogWriteError with the file error
  // when the file cannot be written.
  // A second writer waits for the first, so no line is lost and lines never mix.
  // An empty CurrentLogFile writes nothing.
  void WriteLog(const std::string& message, const std::string& category);

  // The state of the "Enable logging" box, read at every WriteLog.
  void SetEnabled(bool enabled) { enabled_.store(enabled); }
  bool Enabled() const { return enabled_.load(); }

  // What the status bar says while lines cannot be written: "The log file <path> cannot be
  // written: <file error>"; empty once a line has been written again.
  std::string Failure() const;

  // The path is taken as given; the caller trims what the operator typed.
  void SetCurrentLogFile(const std::string& path);
  std::string CurrentLogFile() const;

  // The once-a-minute tick: size limit, age limit, then the change of name.
  // `log_box_text` is the plain path typed into the log file box.
  // Throws Error when the log file cannot be opened to take its size.
  void Timer3Timer(const std::string& log_box_text, const LogSettings& settings);

  // Deletes the files of `folder` matching `pattern` whose age exceeds `days`, letting pending
  // events run after each matching file and once at the end.
  void DeleteOldLogFiles(const std::string& folder, const std::string& pattern, int32_t days);

 private:
  void ApplySizeLimit(int32_t limit_mb);
  // Writes one entry (and the "Log file created" line of a new file); mutex_ held.
  void AppendEntry(const std::string& path, const std::string& message,
                   const std::string& category);
  // Appends one line; a file it creates gets `first_line` before it.
  void AppendLine(const std::string& path, const std::string& line,
                  const std::string& first_line = std::string());
  std::string Timestamp();

  FileSystem& files_;
  Clock& clock_;
  SystemInfo& system_;
  EventLoop& loop_;
  std::atomic<bool> enabled_{true};
  mutable std::mutex mutex_;  // one writer at a time; guards current_log_file_
  std::string current_log_file_;
  std::string failure_;  // guarded by mutex_
};

}  // namespace corvale
