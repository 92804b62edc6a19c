// Modal message boxes and dialogs of the main window; tests answer them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvale {

class SetupWizard;

struct SaveFileRequest {
  std::string initial_dir;  // folder the dialog opens in; empty: the system's choice
  std::string file_name;    // file name shown when it opens
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // An operator message with an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // An error caught at a handler boundary.
  virtual void ShowError(const std::string& text) = 0;
  // The modal window "About": the program's name, its version text and an "OK" button.
  virtual void ShowAbout(const std::string& program, const std::string& version) = 0;
  // The standard save-file dialog (no filter, default extension or title of its own): the
  // confirmed file name, or nothing when the operator cancelled.
  virtual std::optional<std::string> ChooseSaveFile(const SaveFileRequest& request) = 0;
  // Makes a new setup wizard over the printer box's entries and shows it modally: the closed
  // wizard when it closed with OK, nothing when with Cancel.
  virtual std::unique_ptr<SetupWizard> RunSetupWizard(const std::vector<std::string>& printers) = 0;
};

}  // namespace corvale
