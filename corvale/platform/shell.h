// Starting programs and documents through the Windows shell.
#pragma once

#include <cstdint>
#include <string>

namespace corvale {

class Shell {
 public:
  virtual ~Shell() = default;
  // Starts `program` hidden with `parameters` (no verb, no working folder) and waits until its
  // process has ended. Returns 0 when it started, otherwise the system's error code.
  // Called on a runner thread.
  virtual uint32_t RunHiddenAndWait(const std::string& program, const std::string& parameters) = 0;
  // Opens a document with the "open" action, shown normally; failures are not reported.
  virtual void OpenDocument(const std::string& path) = 0;
};

}  // namespace corvale
