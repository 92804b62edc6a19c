// Message boxes and error displays that record their texts instead of showing them.
// Safe for use from any thread.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "corvale/platform/dialogs.h"

namespace corvale::testing {

class FakeDialogs : public Dialogs {
 public:
  // Runs while a message box "is open", after its text has been recorded.
  std::function<void(const std::string&)> OnMessage;
  // Runs while an error box "is open", after its text has been recorded.
  std::function<void(const std::string&)> OnError;

  void ShowMessage(const std::string& text) override {
    {
      std::lock_guard lock(mutex_);
      messages_.push_back(text);
    }
    if (OnMessage) OnMessage(text);
  }

  void ShowError(const std::string& text) override {
    {
      std::lock_guard lock(mutex_);
      errors_.push_back(text);
    }
    if (OnError) OnError(text);
  }

  std::vector<std::string> Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::vector<std::string> Errors() const {
    std::lock_guard lock(mutex_);
    return errors_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
    errors_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> messages_;
  std::vector<std::string> errors_;
};

}  // namespace corvale::testing
