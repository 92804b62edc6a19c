// Message boxes, error displays and dialogs that record what they were asked instead of showing
// anything; the test sets their answers. Safe for use from any thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "corvale/platform/dialogs.h"
#include "corvale/ui/configure_unit.h"

namespace corvale::testing {

class FakeDialogs : public Dialogs {
 public:
  // Runs while a message box "is open", after its text has been recorded.
  std::function<void(const std::string&)> OnMessage;
  // Runs while an error box "is open", after its text has been recorded.
  std::function<void(const std::string&)> OnError;
  // The save dialog's answer to each request; unset: the operator cancels.
  std::function<std::optional<std::string>(const SaveFileRequest&)> OnSaveFile;
  // The open dialog's answer to each request; unset: the operator cancels.
  std::function<std::optional<std::string>(const SaveFileRequest&)> OnOpenFile;
  // The operator's work in the open wizard, ending with the result it closes with; unset: it
  // closes with Cancel at once.
  std::function<TModalResult(TForm4&)> OnWizard;

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

  void ShowAbout(const std::string& program, const std::string& version) override {
    std::lock_guard lock(mutex_);
    abouts_.push_back(program + " " + version);
  }

  std::optional<std::string> ChooseSaveFile(const SaveFileRequest& request) override {
    {
      std::lock_guard lock(mutex_);
      save_requests_.push_back(request);
    }
    return OnSaveFile ? OnSaveFile(request) : std::nullopt;
  }

  std::optional<std::string> ChooseOpenFile(const SaveFileRequest& request) override {
    return OnOpenFile ? OnOpenFile(request) : std::nullopt;
  }

  TModalResult ShowSetupWizard(TForm4& wizard) override {
    {
      std::lock_guard lock(mutex_);
      wizard_printers_.push_back(wizard.ComboBox1.Items());
    }
    return OnWizard ? OnWizard(wizard) : TModalResult::mrCancel;
  }

  std::vector<std::string> Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::vector<std::string> Errors() const {
    std::lock_guard lock(mutex_);
    return errors_;
  }
  // "<program> <version>" of every About window shown.
  std::vector<std::string> Abouts() const {
    std::lock_guard lock(mutex_);
    return abouts_;
  }
  std::vector<SaveFileRequest> SaveRequests() const {
    std::lock_guard lock(mutex_);
    return save_requests_;
  }
  // The printer list of every wizard shown.
  std::vector<std::vector<std::string>> WizardPrinters() const {
    std::lock_guard lock(mutex_);
    return wizard_printers_;
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
  std::vector<std::string> abouts_;
  std::vector<SaveFileRequest> save_requests_;
  std::vector<std::vector<std::string>> wizard_printers_;
};

}  // namespace corvale::testing
