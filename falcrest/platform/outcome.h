// The outcome of one call into the system: success, or failure with the system's error code.
#pragma once

#include <cstdint>

namespace falcrest {

struct Outcome {
  bool Succeeded = true;
  // The system's error code (GetLastError, or the status a registry call returns) on failure.
  uint32_t Error = 0;

  static Outcome Success() { return {}; }
  static Outcome Failure(uint32_t error) { return {false, error}; }
  explicit operator bool() const { return Succeeded; }
};

// System error codes the installer tells apart.
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorMoreData = 234;

}  // namespace falcrest
