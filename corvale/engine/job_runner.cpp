// The job runner thread.
#include "corvale/engine/job_runner.h"

#include <exception>
#include <memory>
#include <thread>

#include "common/text.h"
#include "corvale/platform/event_loop.h"
#include "corvale/platform/file_system.h"
#include "corvale/platform/shell.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

void TOpenFile::Start(TForm1& form, std::string program, std::string parameters,
                      std::string job_file, std::string done_folder, std::string action, int slot) {
  uint64_t run;
  {
    std::lock_guard lock(form.Engine.RunMutex);
    ++form.Engine.ActiveRunners;
    run = form.Engine.RunGeneration;
  }
  try {
    auto runner = std::unique_ptr<TOpenFile>(
        new TOpenFile(form, std::move(program), std::move(parameters), std::move(job_file),
                      std::move(done_folder), std::move(action), slot, run));
    std::thread([runner = std::move(runner)] { runner->Execute(); }).detach();
  } catch (...) {
    // No thread: the window must not wait for a runner that never ran.
    std::lock_guard lock(form.Engine.RunMutex);
    if (--form.Engine.ActiveRunners == 0) form.Engine.RunnersDone.notify_all();
    throw;
  }
}

TOpenFile::TOpenFile(TForm1& form, std::string program, std::string parameters,
                     std::string job_file, std::string done_folder, std::string action, int slot,
                     uint64_t run)
    : form_(form),
      program_(std::move(program)),
      parameters_(std::move(parameters)),
      job_file_(std::move(job_file)),
      done_folder_(std::move(done_folder)),
      action_(std::move(action)),
      slot_(slot),
      run_(run) {}

void TOpenFile::LogLine(const std::string& message, const std::string& category) {
  try {
    form_.WriteLog(message, category);
  } catch (const std::exception&) {
    // The log file cannot be written now; the job goes on all the same.
  }
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
  CorvalePlatform& platform = form_.Platform();
  const uint32_t start_error = platform.shell.RunHiddenAndWait(program_, parameters_);
  form_.Engine.RunnerBusy = false;
  platform.loop.Wake();

  std::string status;
  if (start_error != 0) {
    // Without the print utility nothing was printed: the file stays in the job store.
    LogLine("Printing ERROR (" + platform.files.ErrorText(start_error) + "): Failed to start " +
                program_ + " for " + job_file_,
            "JobStatus");
    status = job_file_ + " is not printed: the print utility could not be started.";
  } else {
    status = FinishFile();
  }
  platform.loop.PostToMain([&form = form_, status] { form.SetStatusText(status); });
}

std::string TOpenFile::FinishFile() {
  FileSystem& files = form_.Platform().files;
  if (action_ == "MoveFile") {
    const std::string target = done_folder_ + "\\" + ExtractFileName(job_file_);
    const SystemError error = files.MoveFile(job_file_, target);
    if (error == 0) {
      LogLine("MoveFile OK: Moved " + job_file_ + " to " + target, "MoveFile");
      return job_file_ + " is processed successfully.";
    }
    LogLine("MoveFile ERROR (" + files.ErrorText(error) + "): Failed to move " + job_file_ +
                " to " + target,
            "MoveFile");
    return job_file_ + " is printed but could not be moved to " + target + ".";
  }
  if (action_ == "DeleteFile") {
    const SystemError error = files.DeleteFile(job_file_);
    if (error == 0) {
      LogLine("DeleteFile OK: Deleted " + job_file_, "DeleteFile");
      return job_file_ + " is processed successfully.";
    }
    LogLine("DeleteFile ERROR (" + files.ErrorText(error) + "): Failed to delete " + job_file_,
            "DeleteFile");
    return job_file_ + " is printed but could not be deleted.";
  }
  return job_file_ + " is processed successfully.";
}

void TOpenFile::Complete() {
  EngineState& engine = form_.Engine;
  std::lock_guard lock(engine.RunMutex);
  engine.PendingJobFiles.erase(varnell::ToLowerAscii(job_file_));
  // A runner that outlived its run leaves the counters of the next run alone.
  if (engine.RunGeneration == run_) --engine.JobsInFlight[slot_];
  if (--engine.ActiveRunners == 0) engine.RunnersDone.notify_all();
}

}  // namespace corvale
