// The process's standard output and standard error streams. Texts are written byte for byte:
// line ends are exactly those in the text.
#pragma once

#include <string_view>

namespace falcrest {

class Console {
 public:
  virtual ~Console() = default;
  virtual void WriteOut(std::string_view text) = 0;
  virtual void WriteErr(std::string_view text) = 0;
};

}  // namespace falcrest
