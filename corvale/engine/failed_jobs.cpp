// Counting, explaining and printing again the failed jobs of a printer.
#include "corvale/engine/failed_jobs.h"

#include <algorithm>
#include <set>
#include <vector>

#include "common/text.h"
#include "corvale/engine/engine_state.h"
#include "corvale/engine/job_store.h"
#include "corvale/platform/file_system.h"

namespace corvale {

namespace {

constexpr SystemError kFileNotFound = 2;

bool EndsWithReasonSuffix(const std::string& name) {
  const std::string suffix = kReasonSuffix;
  return name.size() > suffix.size() &&
         varnell::EqualsIgnoreCase(name.substr(name.size() - suffix.size()), suffix);
}

// The job files of the folder, oldest first: a "<name>.why.txt" counts as a reason only while
// "<name>" lies beside it, so that a job that is itself named so is not overlooked.
std::vector<FileEntry> FailedJobFiles(FileSystem& files, const std::string& failed_folder) {
  std::vector<FileEntry> entries;
  std::set<std::string> names;
  for (FileEntry& entry : files.ListFolder(failed_folder + "\\")) {
    if (entry.is_directory) continue;
    names.insert(varnell::ToLowerAscii(entry.name));
    entries.push_back(std::move(entry));
  }
  std::erase_if(entries, [&](const FileEntry& entry) {
    if (!EndsWithReasonSuffix(entry.name)) return false;
    const std::string described =
        entry.name.substr(0, entry.name.size() - std::string(kReasonSuffix).size());
    return names.count(varnell::ToLowerAscii(described)) > 0;
  });
  std::stable_sort(entries.begin(), entries.end(), [](const FileEntry& a, const FileEntry& b) {
    return a.last_write_utc < b.last_write_utc;
  });
  return entries;
}

}  // namespace

std::string FailedFolderOf(const std::string& job_store_root, const std::string& printer) {
  return job_store_root + "\\" + JobStoreFolderName(printer) + "\\" + kFailedFolder;
}

int CountFailedJobs(FileSystem& files, const std::string& failed_folder) {
  return static_cast<int>(FailedJobFiles(files, failed_folder).size());
}

uint32_t WriteFailureReason(FileSystem& files, const std::string& failed_file,
                            const std::string& reason) {
  const std::string path = failed_file + kReasonSuffix;
  if (files.FileExists(path)) files.DeleteFile(path);
  return files.AppendToFile(path, reason + "\r\n");
}

PrintAgainResult MoveFailedJobsBack(
    FileSystem& files, const std::string& failed_folder, const std::string& input_folder,
    const std::function<void(const std::string& message)>& log) {
  PrintAgainResult result;
  const std::string input = varnell::WithoutTrailingDelimiter(varnell::Trim(input_folder));
  for (const FileEntry& entry : FailedJobFiles(files, failed_folder)) {
    const std::string from = failed_folder + "\\" + entry.name;
    const std::string to = input + "\\" + entry.name;
    const SystemError error = files.MoveFileNoReplace(from, to);
    if (error == 0) {
      ++result.moved;
      const std::string reason = from + kReasonSuffix;
      if (files.FileExists(reason)) files.DeleteFile(reason);
      log("Print again: moved " + from + " to " + to);
    } else if (error == kFileNotFound) {
      // Put back meanwhile by another "print again".
    } else {
      ++result.stayed;
      log("Print again ERROR (" +
          (IsTargetTaken(error) ? std::string("a file of that name is in the input folder")
                                : files.ErrorText(error)) +
          "): " + from + " stays in " + failed_folder);
    }
  }
  return result;
}

}  // namespace corvale
