// Modal message boxes and dialogs of the main window; tests answer them.
#pragma once

#include <optional>
#include <string>

namespace corvale {

class TForm4;
enum class TModalResult;

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
  // The standard open-file dialog, for a file that exists: the chosen file name, or nothing when
  // the operator cancelled.
  virtual std::optional<std::string> ChooseOpenFile(const SaveFileRequest& request) = 0;
  // Shows the setup wizard modally in a window of its own, made for this use and discarded
  // when it closes; the result it closed with.
  virtual TModalResult ShowSetupWizard(TForm4& wizard) = 0;
};

}  // namespace corvale
