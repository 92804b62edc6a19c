// The error that ends an event handler and is shown to the operator by the standard display.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace corvale {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// A log line that could not be written: the message is the file error ("Path not found").
class LogWriteError : public Error {
 public:
  LogWriteError(std::string path, const std::string& message)
      : Error(message), path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace corvale
