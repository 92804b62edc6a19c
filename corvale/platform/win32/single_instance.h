// One Corvale per logged-on user: the first one holds a named mutex of the user's session; a
// second start brings the first one's window to the front and ends.
#pragma once

#include "common/win32/windows_support.h"

namespace corvale::win32 {

class SingleInstance {
 public:
  SingleInstance();
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when this is the only Corvale of the session.
  bool First() const { return first_; }
  // True when a Corvale of this session runs (its mutex exists), without taking its place.
  static bool Running();
  // Restores the running Corvale's window (class `window_class`, caption `title`) when it is
  // minimized and brings it to the front; false when no such window appeared in time.
  static bool ActivateRunning(const char* window_class, const char* title);

 private:
  HANDLE mutex_ = nullptr;
  bool first_ = true;
};

}  // namespace corvale::win32
