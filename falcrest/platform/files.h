// File copies as the installer makes them.
#pragma once

#include <string>

#include "falcrest/platform/outcome.h"

namespace falcrest {

class Files {
 public:
  virtual ~Files() = default;
  // CopyFileW with bFailIfExists FALSE: an existing target is overwritten.
  virtual Outcome CopyOver(const std::u16string& from, const std::u16string& to) = 0;
};

}  // namespace falcrest
