// Modal message boxes and dialogs of the main window; tests answer them.
#pragma once

#include <optional>
#include <string>

namespace corvale {

struct FolderPickRequest {
  std::string caption;    // window caption, "Choose Folder"
  std::string prompt;     // text above the folder tree
  std::string directory;  // folder selected when the dialog opens
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // An operator message with an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // An error caught at a handler boundary.
  virtual void ShowError(const std::string& text) = 0;
};

}  // namespace corvale
