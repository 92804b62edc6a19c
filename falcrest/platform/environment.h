// Where the system and the program live: environment expansion, the program file, the system
// folder.
#pragma once

#include <optional>
#include <string>

#include "falcrest/platform/outcome.h"

namespace falcrest {

// Paths the installer builds fit in buffers of this many UTF-16 units, terminator included.
constexpr size_t kPathBufferUnits = 260;

class Environment {
 public:
  virtual ~Environment() = default;
  // ExpandEnvironmentStringsW into a 260-unit buffer; nothing when the call fails or the
  // expanded text does not fit.
  virtual std::optional<std::u16string> ExpandText(const std::u16string& text) = 0;
  // GetModuleFileNameW of the program file into a 260-unit buffer; empty when it fails.
  virtual std::u16string ProgramFilePath() = 0;
  // GetSystemDirectoryW into a 261-unit buffer; fails when the call returns 0.
  virtual Outcome SystemDirectory(std::u16string& folder) = 0;
};

}  // namespace falcrest
