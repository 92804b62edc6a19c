// The job record: one tab-separated line per finished job in a daily file
// "Jobs\Jobs_yyyyMMdd.tsv" beside the log file, each new file beginning with a header line.
// Written by the job runners whatever the log options say; old files go after as many days as
// old log files (90 when the log keeps its files). Write may be called from any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "corvale/platform/system_info.h"

namespace corvale {

class FileSystem;

// Days the record keeps its files when the log's age limit is off.
constexpr int kJobRecordDefaultDays = 90;

// What became of a finished job's file.
enum class JobOutcome {
  kDoneFolder,   // printed, moved to the done folder
  kDeleted,      // printed, deleted
  kFailed,       // not printed, waits in "Failed"
  kSetAside,     // printed, but neither moved nor deleted: in "Printed" or the job store
  kNotFinished,  // an error ended the runner; the file stays where it was
};

struct FinishedJob {
  LocalTime End;
  std::string Printer;
  std::string FileName;
  std::string SourceFolder;
  std::optional<uint64_t> Bytes;
  int64_t QueueSeconds = 0;
  int64_t PrintSeconds = 0;
  std::optional<uint32_t> ExitCode;
  JobOutcome Outcome = JobOutcome::kDoneFolder;
  std::string Location;  // where the file is now; empty when it is gone
};

extern const char kJobRecordHeader[];

// "done folder", "deleted", "failed", "set aside", "not finished".
std::string OutcomeName(JobOutcome outcome);
// "yyyy-MM-dd hh:mm:ss".
std::string RecordTime(const LocalTime& time);
// The job's line, without its line end.
std::string JobRecordLine(const FinishedJob& job);
// The log's summary of the job (category "JobStatus").
std::string JobStatusSummary(const FinishedJob& job);
// "Jobs_yyyyMMdd.tsv".
std::string JobRecordFileName(const LocalTime& day);

class JobRecord {
 public:
  JobRecord(FileSystem& files, SystemInfo& system);

  // The folder the daily files go to.
  void SetFolder(const std::string& folder);
  std::string Folder() const;

  // Appends the job's line to the file of its end day (a new file begins with the header); the
  // system's error, or 0.
  uint32_t Write(const FinishedJob& job);
  // "The job record <file> cannot be written: <error>" while the last write failed; empty once
  // a line has been written again.
  std::string Failure() const;

  // Deletes the record's daily files last written more than `days` days before `now_utc`
  // (FILETIME); the paths deleted, joined by ", ".
  std::string DeleteOld(int days, int64_t now_utc);

 private:
  FileSystem& files_;
  SystemInfo& system_;
  mutable std::mutex mutex_;
  std::string folder_;   // mutex_
  std::string failure_;  // mutex_
};

}  // namespace corvale
