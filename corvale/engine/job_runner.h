// The job runner TOpenFile: a thread per job that runs the print utility, releases the
// dispatcher when the utility has ended, then finishes the job's file: moved to the done folder
// or deleted when the utility reports success, set aside in the job store's "Failed" folder when
// it does not. It logs the outcome, gives the slot's capacity back and frees itself when it ends.
#pragma once

#include <cstdint>
#include <string>

#include "corvale/engine/print_policy.h"

namespace corvale {

class TForm1;

// Every while a utility runs this long, a line says which job is still printing.
constexpr int kStillPrintingReportMinutes = 10;
// The exit code of a utility that Corvale ended because it ran too long.
constexpr uint32_t kEndedByCorvaleExitCode = 0xC0DE0001;

// What one runner works on.
struct PrintJob {
  std::string Program;     // the print utility
  std::string Parameters;  // the job file's path as the utility gets it, then "  /N /P"
  std::string JobFile;     // the job's file in its job store folder
  std::string DoneFolder;  // without trailing delimiter
  std::string Action;      // "MoveFile" or "DeleteFile"
  int Slot = 0;
  PrintPolicy Policy;
};

// The job file's path as the print utility gets it: its short form, or the path itself where the
// volume has none; in quotes when it holds a space.
std::string UtilityPathArgument(const std::string& short_path, const std::string& path);

class TOpenFile {
 public:
  // Starts the runner thread at once; the creator keeps no reference to it.
  static void Start(TForm1& form, PrintJob job);

 private:
  TOpenFile(TForm1& form, PrintJob job, uint64_t run);
  void Execute();
  void Run();
  // Runs the utility to its end; the reason the print failed, or empty when it succeeded.
  std::string Print();
  // Logs from the runner thread: a line that cannot be written is dropped, never the job.
  void LogLine(const std::string& message, const std::string& category);
  void PostStatus(const std::string& text);
  std::string FinishFile();
  std::string SetAside(const std::string& subfolder, const std::string& what);
  void Complete();

  TForm1& form_;
  PrintJob job_;
  uint64_t run_;
};

}  // namespace corvale
