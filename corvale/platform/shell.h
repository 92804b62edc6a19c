// Starting programs and documents through the Windows shell.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace corvale {

// A program the shell started, until its process has ended; the process handle is closed when
// this is freed. Used on the thread that started it.
class StartedProgram {
 public:
  virtual ~StartedProgram() = default;
  // Waits up to `timeout_ms` for the process to end; true once it has ended.
  virtual bool WaitForExit(uint32_t timeout_ms) = 0;
  // The exit code of the ended process; nothing when the system cannot tell it.
  virtual std::optional<uint32_t> ExitCode() = 0;
  // Ends the process, which then exits with `exit_code`.
  virtual void Terminate(uint32_t exit_code) = 0;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // Starts `program` hidden with `parameters` (no verb, no working folder), so that neither it
  // nor the system shows a box for a critical error or a crash of it. Returns the started
  // program, or null with the system's error code in `error`.
  // Called on a runner thread.
  virtual std::unique_ptr<StartedProgram> StartHidden(const std::string& program,
                                                      const std::string& parameters,
                                                      uint32_t& error) = 0;
  // Opens a document with the "open" action, shown normally; failures are not reported.
  virtual void OpenDocument(const std::string& path) = 0;
  // Starts `program` with `parameters` elevated (the system asks the user); false when it did
  // not start (refused, cancelled). Does not wait for it.
  virtual bool StartElevated(const std::string& program, const std::string& parameters) = 0;
};

}  // namespace corvale
