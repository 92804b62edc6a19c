// Standing conditions that the status bar keeps showing while they last (a folder that is not
// watched, a printer that is not there, a log that cannot be written), one text per cause.
// OnChange hears of a cause that begins to stand (with its text) and of one that ends (null);
// ClearAll tells it nothing. Main thread only.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace corvale {

class StatusNotices {
 public:
  std::function<void(const std::string& cause, const std::string* text)> OnChange;

  void Set(const std::string& cause, const std::string& text) {
    for (auto& notice : notices_) {
      if (notice.first == cause) {
        notice.second = text;
        return;
      }
    }
    notices_.emplace_back(cause, text);
    if (OnChange) OnChange(cause, &text);
  }
  void Clear(const std::string& cause) {
    if (std::erase_if(notices_, [&](const auto& notice) { return notice.first == cause; }) &&
        OnChange)
      OnChange(cause, nullptr);
  }
  void ClearAll() { notices_.clear(); }
  bool Has(const std::string& cause) const {
    for (const auto& notice : notices_) {
      if (notice.first == cause) return true;
    }
    return false;
  }
  // Every text, oldest cause first, joined by " | "; empty when nothing stands.
  std::string Text() const {
    std::string text;
    for (const auto& notice : notices_) text += (text.empty() ? "" : " | ") + notice.second;
    return text;
  }

 private:
  std::vector<std::pair<std::string, std::string>> notices_;
};

}  // namespace corvale
