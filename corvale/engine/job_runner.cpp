// The job runner thread.
#include "corvale/engine/job_runner.h"

#include <exception>
#include <memory>
#include <thread>

#include "common/text.h"
#include "corvale/engine/job_store.h"
#include "corvale/platform/event_loop.h"
#include "corvale/platform/file_system.h"
#include "corvale/platform/shell.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

namespace {

constexpr uint32_t kMinuteMs = 60000;

std::string Minutes(int minutes) {
  return std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
}

}  // namespace

void TOpenFile::Start(TForm1& form, PrintJob job) {
  uint64_t run;
  {
    std::lock_guard lock(form.Engine.RunMutex);
    ++form.Engine.ActiveRunners;
    run = form.Engine.RunGeneration;
  }
  try {
    auto runner = std::unique_ptr<TOpenFile>(new TOpenFile(form, std::move(job), run));
    std::thread([runner = std::move(runner)] { runner->Execute(); }).detach();
  } catch (...) {
    // No thread: the window must not wait for a runner that never ran.
    std::lock_guard lock(form.Engine.RunMutex);
    if (--form.Engine.ActiveRunners == 0) form.Engine.RunnersDone.notify_all();
    throw;
  }
}

TOpenFile::TOpenFile(TForm1& form, PrintJob job, uint64_t run)
    : form_(form), job_(std::move(job)), run_(run) {}

void TOpenFile::LogLine(const std::string& message, const std::string& category) {
  // Straight to the log file: the window's own WriteLog shows failures in the status bar, which
  // belongs to the main thread. The status tick shows this one's failure too.
  try {
    form_.Log.WriteLog(message, category);
  } catch (const std::exception&) {
    // The log file cannot be written now; the job goes on all the same.
  }
}

void TOpenFile::PostStatus(const std::string& text) {
  form_.Platform().loop.PostToMain([&form = form_, text] { form.SetStatusText(text); });
}

void TOpenFile::Execute() {
  try {
    Run();
  } catch (...) {
    // Nothing may end the process from a runner thread: the dispatcher is released and the
    // capacity given back all the same.
    form_.Engine.RunnerBusy = false;
    form_.Platform().loop.Wake();
  }
  Complete();
}

void TOpenFile::Run() {
  const std::string failure = Print();
  form_.Engine.RunnerBusy = false;
  form_.Platform().loop.Wake();
  if (failure.empty()) {
    PostStatus(FinishFile());
    return;
  }
  // A print that failed is never finished as printed: the file waits in "Failed", whatever the
  // delete option says, for an operator to print it again.
  LogLine("Printing ERROR (" + failure + "): " + job_.Program + " did not print " + job_.JobFile,
          "JobStatus");
  PostStatus(SetAside(kFailedFolder, "was not printed (" + failure + ")"));
}

std::string TOpenFile::Print() {
  CorvalePlatform& platform = form_.Platform();
  uint32_t start_error = 0;
  std::unique_ptr<StartedProgram> utility =
      platform.shell.StartHidden(job_.Program, job_.Parameters, start_error);
  if (!utility) return "cannot start: " + platform.files.ErrorText(start_error);

  const int limit = job_.Policy.TimeoutMinutes;
  int minutes = 0;
  while (!utility->WaitForExit(kMinuteMs)) {
    ++minutes;
    if (limit > 0 && minutes >= limit) {
      utility->Terminate(kEndedByCorvaleExitCode);
      utility->WaitForExit(kMinuteMs);
      return "still running after " + Minutes(minutes) + ", ended";
    }
    if (minutes % kStillPrintingReportMinutes == 0) {
      const std::string text =
          job_.JobFile + " is still printing after " + Minutes(minutes) + " (" + job_.Program + ")";
      LogLine(text, "JobStatus");
      PostStatus(text + ".");
    }
  }
  const uint32_t exit_code = utility->ExitCode();
  if (job_.Policy.IsSuccess(exit_code)) return std::string();
  return "exit code " + std::to_string(static_cast<int32_t>(exit_code));
}

std::string TOpenFile::FinishFile() {
  FileSystem& files = form_.Platform().files;
  const std::string& job_file = job_.JobFile;
  if (job_.Action == "MoveFile") {
    const std::string target = job_.DoneFolder + "\\" + ExtractFileName(job_file);
    const bool replacing = files.FileExists(target);
    const SystemError error = files.MoveFile(job_file, target);
    if (error == 0) {
      LogLine("MoveFile OK: Moved " + job_file + " to " + target +
                  (replacing ? " (replacing the file of that name that was there)" : ""),
              "MoveFile");
      return job_file + " is processed successfully.";
    }
    LogLine("MoveFile ERROR (" + files.ErrorText(error) + "): Failed to move " + job_file + " to " +
                target,
            "MoveFile");
    return SetAside(kPrintedFolder, "is printed but could not be moved to " + target);
  }
  if (job_.Action == "DeleteFile") {
    const SystemError error = files.DeleteFile(job_file);
    if (error == 0) {
      LogLine("DeleteFile OK: Deleted " + job_file, "DeleteFile");
      return job_file + " is processed successfully.";
    }
    LogLine("DeleteFile ERROR (" + files.ErrorText(error) + "): Failed to delete " + job_file,
            "DeleteFile");
    return SetAside(kPrintedFolder, "is printed but could not be deleted");
  }
  return job_file + " is processed successfully.";
}

// Moves the job's file into `subfolder` of its job store folder, where the next Start leaves
// it; the status text says what became of it and where it is.
std::string TOpenFile::SetAside(const std::string& subfolder, const std::string& what) {
  FileSystem& files = form_.Platform().files;
  const SetAsideResult moved = SetJobFileAside(files, job_.JobFile, subfolder);
  if (moved.error == 0) {
    LogLine("MoveFile OK: Moved " + job_.JobFile + " to " + moved.target, "MoveFile");
    return job_.JobFile + " " + what + "; it is in " + moved.target + ".";
  }
  LogLine("MoveFile ERROR (" + files.ErrorText(moved.error) + "): Failed to move " + job_.JobFile +
              " to " + moved.target + "; it stays in the job store",
          "MoveFile");
  return job_.JobFile + " " + what + "; it stays in the job store.";
}

void TOpenFile::Complete() {
  EngineState& engine = form_.Engine;
  std::lock_guard lock(engine.RunMutex);
  engine.PendingJobFiles.erase(varnell::ToLowerAscii(job_.JobFile));
  // A runner that outlived its run leaves the counters of the next run alone.
  if (engine.RunGeneration == run_) --engine.JobsInFlight[job_.Slot];
  if (--engine.ActiveRunners == 0) engine.RunnersDone.notify_all();
}

}  // namespace corvale
