// Console lines with a number, printed as "%d" prints a signed 32-bit value.
#pragma once

#include <cstdint>
#include <string>

namespace falcrest {

// `pattern` with its "%d" replaced by `value`; system error words and service status fields
// are unsigned, so e.g. 0xFFFFFFFF prints as -1.
inline std::string FormatNumber(const std::string& pattern, uint32_t value) {
  std::string text = pattern;
  const size_t at = text.find("%d");
  if (at != std::string::npos) text.replace(at, 2, std::to_string(static_cast<int32_t>(value)));
  return text;
}

}  // namespace falcrest
