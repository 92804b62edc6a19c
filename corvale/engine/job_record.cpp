// The job record's lines and daily files.
#include "corvale/engine/job_record.h"

#include <cstdio>

#include "corvale/engine/engine_state.h"
#include "corvale/platform/file_system.h"
#include "corvale/settings/log_file.h"

namespace corvale {

namespace {

constexpr double kFileTimeTicksPerDay = 864000000000.0;
constexpr char kRecordPattern[] = "Jobs_????????.tsv";

// A field never holds the tab or line end that would split the line.
std::string Field(const std::string& text) {
  std::string field = text;
  for (char& c : field) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return field;
}

std::string ExitCodeText(const std::optional<uint32_t>& code) {
  return code ? std::to_string(static_cast<int32_t>(*code)) : std::string();
}

}  // namespace

const char kJobRecordHeader[] =
    "End time\tPrinter\tFile name\tSource folder\tBytes\tSeconds in queue\tSeconds printing\t"
    "Exit code\tOutcome\tFile now";

std::string OutcomeName(JobOutcome outcome) {
  switch (outcome) {
    case JobOutcome::kDoneFolder:
      return "done folder";
    case JobOutcome::kDeleted:
      return "deleted";
    case JobOutcome::kFailed:
      return "failed";
    case JobOutcome::kSetAside:
      return "set aside";
    case JobOutcome::kNotFinished:
      return "not finished";
  }
  return "not finished";
}

std::string RecordTime(const LocalTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return text;
}

std::string JobRecordLine(const FinishedJob& job) {
  return RecordTime(job.End) + "\t" + Field(job.Printer) + "\t" + Field(job.FileName) + "\t" +
         Field(job.SourceFolder) + "\t" + (job.Bytes ? std::to_string(*job.Bytes) : "") + "\t" +
         std::to_string(job.QueueSeconds) + "\t" + std::to_string(job.PrintSeconds) + "\t" +
         ExitCodeText(job.ExitCode) + "\t" + OutcomeName(job.Outcome) + "\t" +
         Field(job.Location);
}

std::string JobStatusSummary(const FinishedJob& job) {
  std::string text = "Job " + job.FileName + " from " + job.SourceFolder + " on " + job.Printer +
                     ": " + OutcomeName(job.Outcome);
  text += job.ExitCode ? ", exit code " + ExitCodeText(job.ExitCode) : ", no exit code";
  text += ", " + std::to_string(job.QueueSeconds) + " s in queue, " +
          std::to_string(job.PrintSeconds) + " s printing";
  if (job.Bytes) text += ", " + std::to_string(*job.Bytes) + " bytes";
  text += job.Location.empty() ? "" : "; now " + job.Location;
  return text;
}

std::string JobRecordFileName(const LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "Jobs_%04d%02d%02d.tsv", t.year, t.month, t.day);
  return text;
}

JobRecord::JobRecord(FileSystem& files, SystemInfo& system) : files_(files), system_(system) {}

void JobRecord::SetFolder(const std::string& folder) {
  std::lock_guard lock(mutex_);
  folder_ = folder;
}

std::string JobRecord::Folder() const {
  std::lock_guard lock(mutex_);
  return folder_;
}

std::string JobRecord::Failure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

uint32_t JobRecord::Write(const FinishedJob& job) {
  std::lock_guard lock(mutex_);
  const std::string path = folder_ + "\\" + JobRecordFileName(job.End);
  std::string bytes;
  if (!files_.FileExists(path)) {
    // Only "Jobs" is made: a log folder that has gone (a share that is down) stays gone, and
    // the record cannot be written, as the log cannot.
    const std::string log_folder = ExtractFileDir(folder_);
    if (!files_.DirectoryExists(folder_) &&
        (log_folder.empty() || files_.DirectoryExists(log_folder)))
      files_.CreateDirectories(folder_);
    bytes = std::string(kJobRecordHeader) + "\r\n";
  }
  bytes += JobRecordLine(job) + "\r\n";
  const uint32_t error = files_.AppendToFile(path, system_.ToAnsiCodePage(bytes));
  failure_ = error == 0 ? std::string()
                        : "The job record " + path + " cannot be written: " + FileErrorMessage(error);
  return error;
}

std::string JobRecord::DeleteOld(int days, int64_t now_utc) {
  const std::string folder = Folder();
  std::string deleted;
  for (const FileEntry& entry : files_.ListFolder(folder + "\\")) {
    if (entry.is_directory || !MatchesFileNamePattern(entry.name, kRecordPattern)) continue;
    const double age = static_cast<double>(now_utc - entry.last_write_utc) / kFileTimeTicksPerDay;
    const std::string path = folder + "\\" + entry.name;
    if (age > days && files_.DeleteFile(path) == 0) deleted += (deleted.empty() ? "" : ", ") + path;
  }
  return deleted;
}

}  // namespace corvale
