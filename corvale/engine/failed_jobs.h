// The jobs whose print failed, as they wait in a printer's "Failed" folder of the job store:
// counting them, the reason kept beside each, and printing them again by moving them back into
// the printer's input folder. Safe for use from any thread; nothing here holds state.
#pragma once

#include <functional>
#include <string>

namespace corvale {

class FileSystem;

// Beside a failed job's file "<name>" its reason waits as "<name>.why.txt".
constexpr char kReasonSuffix[] = ".why.txt";

// The "Failed" folder of `printer` in the job store `job_store_root`.
std::string FailedFolderOf(const std::string& job_store_root, const std::string& printer);

// The failed jobs of a "Failed" folder: every plain file but the reasons kept beside them.
int CountFailedJobs(FileSystem& files, const std::string& failed_folder);

// Writes why the job now in `failed_file` failed beside it, in place of an earlier reason.
// The system's error, or 0.
uint32_t WriteFailureReason(FileSystem& files, const std::string& failed_file,
                            const std::string& reason);

struct PrintAgainResult {
  int moved = 0;       // put back into the input folder
  int stayed = 0;      // left in "Failed": the name is taken there, or the move failed
  std::string summary;  // the line that sums it up, as the log has it
};

// Moves the failed jobs of `failed_folder` into `input_folder`, oldest first, never replacing a
// file there; a job put back loses its reason. Each move, and each job that stays, makes one
// line through `log` (category "MoveFile").
PrintAgainResult MoveFailedJobsBack(
    FileSystem& files, const std::string& failed_folder, const std::string& input_folder,
    const std::function<void(const std::string& message)>& log);

}  // namespace corvale
