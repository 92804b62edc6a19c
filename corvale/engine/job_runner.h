// The job runner TOpenFile: a thread per job that runs the print utility, releases the
// dispatcher when the utility has ended, then finishes the job's file: moved to the done folder
// or deleted when the utility reports success, set aside in the job store's "Failed" folder when
// it does not. It logs the outcome, gives the slot's capacity back and frees itself when it ends.
// It holds the ledger, never the server: the server may be gone before its utility ends.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "corvale/engine/job_record.h"
#include "corvale/engine/print_policy.h"

namespace corvale {

class JobLedger;

// Every while a utility runs this long, a line says which job is still printing.
constexpr int kStillPrintingReportMinutes = 10;
// The exit code of a utility that Corvale ended because it ran too long.
constexpr uint32_t kEndedByCorvaleExitCode = 0xC0DE0001;

// What becomes of a printed job's file.
enum class FinishAction { kMoveToDoneFolder, kDelete };

// What one runner works on.
struct PrintJob {
  std::string Program;     // the print utility
  std::string Parameters;  // the job file's path as the utility gets it, then "  /N /P"
  std::string JobFile;     // the job's file in its job store folder
  std::string DoneFolder;  // without trailing delimiter
  FinishAction Action = FinishAction::kMoveToDoneFolder;
  int Slot = 0;
  PrintPolicy Policy;
  // For the job record: the printer, the folder the file was taken from and when.
  std::string Printer;
  std::string SourceFolder;
  int64_t TakenAt = 0;
};

// The job file's path as the print utility gets it: its short form, or the path itself where the
// volume has none; in quotes when it holds a space.
std::string UtilityPathArgument(const std::string& short_path, const std::string& path);

class TOpenFile {
 public:
  // Starts the runner thread at once; the creator keeps no reference to it. Main thread.
  static void Start(const std::shared_ptr<JobLedger>& ledger, PrintJob job);

 private:
  TOpenFile(std::shared_ptr<JobLedger> ledger, PrintJob job, uint64_t run);
  void Execute();
  // False when the server let its runners go while the utility ran: the job is left as it is.
  bool Run();
  // Runs the utility to its end; the reason the print failed, or empty when it succeeded.
  // Nothing when the server let its runners go while the utility ran.
  std::optional<std::string> Print();
  // Logs from the runner thread: a line that cannot be written is dropped, never the job.
  void LogLine(const std::string& message, const std::string& category);
  std::string FinishFile();
  std::string SetAside(const std::string& subfolder, const std::string& what);
  void Complete();
  // The job's line in the job record and its summary in the log; a failed job's reason beside
  // its file.
  void Record();

  std::shared_ptr<JobLedger> ledger_;
  PrintJob job_;
  uint64_t run_;
  // Whether the runner has entered the ledger (see JobLedger::Enter): from its start, except
  // while it waits for the utility. Once it cannot enter again, the job is left as it is.
  bool entered_ = true;
  // What the job record says of the job.
  std::optional<uint64_t> bytes_;
  int64_t print_started_ = 0;
  int64_t print_ended_ = 0;
  std::optional<uint32_t> exit_code_;
  std::string failure_;
  JobOutcome outcome_ = JobOutcome::kNotFinished;
  std::string location_;
};

}  // namespace corvale
