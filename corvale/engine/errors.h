// The error that ends an event handler and is shown to the operator by the standard display.
#pragma once

#include <stdexcept>
#include <string>

namespace corvale {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace corvale
