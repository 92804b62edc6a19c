// One ordered record of calls across several fakes, so that a test can check that one platform
// call came before another (the default printer restored before the settings are saved, ...).
// Safe for use from any thread.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace corvale::testing {

class CallJournal {
 public:
  void Add(const std::string& entry) {
    std::lock_guard lock(mutex_);
    entries_.push_back(entry);
  }

  std::vector<std::string> Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
  }

  // Index of the first entry that begins with `prefix`, or -1.
  int IndexOf(const std::string& prefix) const {
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (entries_[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
    }
    return -1;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> entries_;
};

}  // namespace corvale::testing
