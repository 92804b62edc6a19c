// Keeps a repeated cause from filling the log: a line for a cause is due at once the first time,
// then at most once per interval while the cause lasts. Main thread only.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace corvale {

// FILETIME units: 100 ns.
constexpr int64_t kFileTimeTicksPerSecond = 10000000;
constexpr int64_t kOneMinute = 60 * kFileTimeTicksPerSecond;

class LogThrottle {
 public:
  // True when a line for `cause` may be written at `now` (the clock's steady ticks); it is then
  // counted as written.
  bool Due(const std::string& cause, int64_t now, int64_t interval = kOneMinute) {
    auto [it, first] = last_.try_emplace(cause, now);
    if (first) return true;
    if (now - it->second < interval) return false;
    it->second = now;
    return true;
  }
  // The cause has ended: its next line is due at once.
  void Forget(const std::string& cause) { last_.erase(cause); }
  void Clear() { last_.clear(); }

 private:
  std::map<std::string, int64_t> last_;
};

}  // namespace corvale
