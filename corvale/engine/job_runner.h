// The job runner TOpenFile: a thread per job that runs the print utility, releases the
// dispatcher when the utility has ended, then moves or deletes the job's file, logs the outcome
// and gives the slot's capacity back. It frees itself when it ends.
#pragma once

#include <cstdint>
#include <string>

namespace corvale {

class TForm1;

class TOpenFile {
 public:
  // Starts the runner thread at once; the creator keeps no reference to it.
  static void Start(TForm1& form, std::string program, std::string parameters, std::string job_file,
                    std::string done_folder, std::string action, int slot);

 private:
  TOpenFile(TForm1& form, std::string program, std::string parameters, std::string job_file,
            std::string done_folder, std::string action, int slot, uint64_t run);
  void Execute();
  void Run();
  // Logs from the runner thread: a line that cannot be written is dropped, never the job.
  void LogLine(const std::string& message, const std::string& category);
  std::string FinishFile();
  void Complete();

  TForm1& form_;
  std::string program_;
  std::string parameters_;
  std::string job_file_;
  std::string done_folder_;
  std::string action_;
  int slot_;
  uint64_t run_;
};

}  // namespace corvale
