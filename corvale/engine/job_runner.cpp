// The job runner thread.
#include "corvale/engine/job_runner.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <thread>

#include "common/text.h"
#include "corvale/engine/engine_state.h"
#include "corvale/engine/errors.h"
#include "corvale/engine/failed_jobs.h"
#include "corvale/engine/job_ledger.h"
#include "corvale/engine/job_store.h"
#include "corvale/platform/file_system.h"
#include "corvale/platform/shell.h"

namespace corvale {

namespace {

constexpr uint32_t kMinuteMs = 60000;
constexpr SystemError kAccessDenied = 5;

std::string Minutes(int minutes) {
  return std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
}

}  // namespace

void TOpenFile::Start(const std::shared_ptr<JobLedger>& ledger, PrintJob job) {
  // Entered on the runner's behalf: the server is there now, and stays until the runner leaves.
  if (!ledger->Enter()) throw Error("Corvale is closing; " + job.JobFile + " is not printed now");
  uint64_t run;
  {
    std::lock_guard lock(ledger->Mutex);
    ++ledger->ActiveRunners;
    run = ledger->RunGeneration;
  }
  try {
    auto runner = std::unique_ptr<TOpenFile>(new TOpenFile(ledger, std::move(job), run));
    std::thread([runner = std::move(runner)] { runner->Execute(); }).detach();
  } catch (...) {
    // No thread: nobody may wait for a runner that never ran.
    ledger->Leave();
    std::lock_guard lock(ledger->Mutex);
    if (--ledger->ActiveRunners == 0) ledger->RunnersDone.notify_all();
    throw;
  }
}

TOpenFile::TOpenFile(std::shared_ptr<JobLedger> ledger, PrintJob job, uint64_t run)
    : ledger_(std::move(ledger)), job_(std::move(job)), run_(run) {}

void TOpenFile::LogLine(const std::string& message, const std::string& category) {
  // Straight to the log file: the server's own WriteLog shows failures in the status bar, which
  // belongs to the main thread. The status tick shows this one's failure too.
  try {
    ledger_->Log.WriteLog(message, category);
  } catch (const std::exception&) {
    // The log file cannot be written now; the job goes on all the same.
  }
}

void TOpenFile::Execute() {
  std::string error;
  bool finished = false;
  try {
    finished = Run();
  } catch (const std::exception& e) {
    error = e.what();
  } catch (...) {
    error = "Unknown error";
  }
  if (!error.empty()) {
    // Nothing may end the process from a runner thread: the dispatcher is released and the
    // capacity given back all the same, and the log says where the job was left.
    ledger_->RunnerBusy = false;
    if (entered_ || (entered_ = ledger_->Enter())) {
      ledger_->WakeMainThread();
      LogLine("ERROR (" + error + "): the job " + job_.JobFile +
                  " was not finished; its file stays where it is now",
              "JobStatus");
      if (outcome_ == JobOutcome::kNotFinished) location_ = job_.JobFile;
      if (failure_.empty()) failure_ = error;
      finished = true;
    }
  }
  if (entered_ && finished) Record();
  if (entered_) ledger_->Leave();
  Complete();
}

bool TOpenFile::Run() {
  const std::optional<std::string> failure = Print();
  if (!failure) return false;
  ledger_->RunnerBusy = false;
  ledger_->WakeMainThread();
  if (failure->empty()) {
    ledger_->PostStatus(FinishFile());
    return true;
  }
  failure_ = *failure;
  // A print that failed is never finished as printed: the file waits in "Failed", whatever the
  // delete option says, for an operator to print it again.
  LogLine("Printing ERROR (" + *failure + "): " + job_.Program + " did not print " + job_.JobFile,
          "JobStatus");
  const std::string outcome = SetAside(kFailedFolder, "was not printed (" + *failure + ")");
  ledger_->Events.Report("failed print " + std::to_string(job_.Slot), EventKind::kWarning,
                         EventId::kPrintFailed, outcome);
  ledger_->PostStatus(outcome);
  ledger_->PostJobFailed(job_.Slot);
  return true;
}

std::optional<std::string> TOpenFile::Print() {
  uint64_t size = 0;
  if (ledger_->Files.FileSizeDenyingWriters(job_.JobFile, size) == 0) bytes_ = size;
  uint32_t start_error = 0;
  print_started_ = print_ended_ = ledger_->Time.Ticks();
  std::unique_ptr<StartedProgram> utility =
      ledger_->Programs.StartHidden(job_.Program, job_.Parameters, start_error);
  if (!utility) return "cannot start: " + ledger_->Files.ErrorText(start_error);

  const int limit = job_.Policy.TimeoutMinutes;
  int minutes = 0;
  while (true) {
    // The server may close while the utility runs: the runner waits without holding it.
    ledger_->Leave();
    entered_ = false;
    const bool ended = utility->WaitForExit(kMinuteMs);
    if (!(entered_ = ledger_->Enter())) return std::nullopt;
    print_ended_ = ledger_->Time.Ticks();
    if (ended) break;
    ++minutes;
    if (limit > 0 && minutes >= limit) {
      utility->Terminate(kEndedByCorvaleExitCode);
      utility->WaitForExit(kMinuteMs);
      exit_code_ = kEndedByCorvaleExitCode;
      return "still running after " + Minutes(minutes) + ", ended";
    }
    if (minutes % kStillPrintingReportMinutes == 0) {
      const std::string text =
          job_.JobFile + " is still printing after " + Minutes(minutes) + " (" + job_.Program + ")";
      LogLine(text, "JobStatus");
      ledger_->PostStatus(text + ".");
    }
  }
  const std::optional<uint32_t> exit_code = utility->ExitCode();
  exit_code_ = exit_code;
  if (!exit_code) return std::string("its exit code cannot be read");
  if (job_.Policy.IsSuccess(*exit_code)) return std::string();
  return "exit code " + std::to_string(static_cast<int32_t>(*exit_code));
}

std::string TOpenFile::FinishFile() {
  FileSystem& files = ledger_->Files;
  const std::string& job_file = job_.JobFile;
  switch (job_.Action) {
    case FinishAction::kMoveToDoneFolder: {
      // Without a done folder the file would go to the root of the job store's drive.
      if (job_.DoneFolder.empty())
        return SetAside(kPrintedFolder, "is printed but its printer has no done folder");
      const std::string target = job_.DoneFolder + "\\" + ExtractFileName(job_file);
      const bool replacing = files.FileExists(target);
      const SystemError error = files.MoveFile(job_file, target);
      // A move across volumes of a file that cannot be removed (read-only) copies it and says it
      // moved it: the file that stays would print again.
      const bool stayed = error == 0 && files.FileExists(job_file);
      if (error == 0 && !stayed) {
        outcome_ = JobOutcome::kDoneFolder;
        location_ = target;
        LogLine("MoveFile OK: Moved " + job_file + " to " + target +
                    (replacing ? " (replacing the file of that name that was there)" : ""),
                "MoveFile");
        return job_file + " is processed successfully.";
      }
      LogLine("MoveFile ERROR (" +
                  (stayed ? std::string("the file was copied but cannot be removed")
                          : files.ErrorText(error)) +
                  "): Failed to move " + job_file + " to " + target,
              "MoveFile");
      return SetAside(kPrintedFolder, "is printed but could not be moved to " + target);
    }
    case FinishAction::kDelete: {
      const SystemError error = files.DeleteFile(job_file);
      if (error == 0) {
        outcome_ = JobOutcome::kDeleted;
        location_.clear();
        LogLine("DeleteFile OK: Deleted " + job_file, "DeleteFile");
        return job_file + " is processed successfully.";
      }
      LogLine("DeleteFile ERROR (" + files.ErrorText(error) + "): Failed to delete " + job_file,
              "DeleteFile");
      return SetAside(kPrintedFolder, "is printed but could not be deleted");
    }
  }
  return job_file + " is processed successfully.";
}

// Moves the job's file into `subfolder` of its job store folder, where the next Start leaves
// it; the status text says what became of it and where it is.
std::string TOpenFile::SetAside(const std::string& subfolder, const std::string& what) {
  FileSystem& files = ledger_->Files;
  SetAsideResult moved = SetJobFileAside(files, job_.JobFile, subfolder);
  // A move that copied and could not remove the file set nothing aside.
  if (moved.error == 0 && files.FileExists(job_.JobFile)) moved.error = kAccessDenied;
  outcome_ = subfolder == kFailedFolder ? JobOutcome::kFailed : JobOutcome::kSetAside;
  location_ = moved.error == 0 ? moved.target : job_.JobFile;
  if (moved.error == 0) {
    LogLine("MoveFile OK: Moved " + job_.JobFile + " to " + moved.target, "MoveFile");
    return job_.JobFile + " " + what + "; it is in " + moved.target + ".";
  }
  LogLine("MoveFile ERROR (" + files.ErrorText(moved.error) + "): Failed to move " + job_.JobFile +
              " to " + moved.target + "; it stays in the job store",
          "MoveFile");
  // A printed file that stays where the next Start looks for jobs is noted as printed.
  if (subfolder == kPrintedFolder) {
    const int64_t last_write =
        LastWriteOf(files, ExtractFileDir(job_.JobFile), ExtractFileName(job_.JobFile));
    if (SystemError noted = NoteAsPrinted(files, job_.JobFile, last_write)) {
      LogLine("ERROR (" + files.ErrorText(noted) + "): " + job_.JobFile +
                  " cannot be noted as printed; the next Start may print it again",
              "JobStatus");
    }
  }
  return job_.JobFile + " " + what + "; it stays in the job store.";
}

void TOpenFile::Record() {
  constexpr int64_t kTicksPerSecond = 10000000;
  const int64_t now = ledger_->Time.Ticks();
  const int64_t started = print_started_ ? print_started_ : now;
  FinishedJob job;
  job.End = ledger_->Time.Now();
  job.Printer = job_.Printer;
  job.FileName = ExtractFileName(job_.JobFile);
  job.SourceFolder = job_.SourceFolder;
  job.Bytes = bytes_;
  job.QueueSeconds = job_.TakenAt ? std::max<int64_t>(0, started - job_.TakenAt) / kTicksPerSecond
                                  : 0;
  job.PrintSeconds = std::max<int64_t>(0, print_ended_ - print_started_) / kTicksPerSecond;
  job.ExitCode = exit_code_;
  job.Outcome = outcome_;
  job.Location = location_;
  // A record that cannot be written costs the job nothing: the server's status tick shows it.
  try {
    ledger_->Record.Write(job);
  } catch (const std::exception&) {
  }
  LogLine(JobStatusSummary(job), "JobStatus");
  if (outcome_ == JobOutcome::kFailed && location_ != job_.JobFile) {
    const std::string reason = "Failed at " + RecordTime(job.End) + " on " + job_.Printer + ": " +
                               failure_ + " (" + job_.Program + ")";
    if (SystemError error = WriteFailureReason(ledger_->Files, location_, reason)) {
      LogLine("ERROR (" + ledger_->Files.ErrorText(error) + "): why " + location_ +
                  " failed cannot be written beside it",
              "JobStatus");
    }
  }
}

void TOpenFile::Complete() {
  JobLedger& ledger = *ledger_;
  std::lock_guard lock(ledger.Mutex);
  ledger.PendingJobFiles.erase(varnell::ToLowerAscii(job_.JobFile));
  // A runner that outlived its run leaves the counters of the next run alone.
  if (ledger.RunGeneration == run_) --ledger.JobsInFlight[job_.Slot];
  if (--ledger.ActiveRunners == 0) ledger.RunnersDone.notify_all();
}

}  // namespace corvale
