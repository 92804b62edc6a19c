// SaveDialog1: the standard save-file dialog as a component. It keeps the last confirmed file
// name between runs. Owned and used on the main thread.
#pragma once

#include <string>

#include "corvale/platform/dialogs.h"

namespace corvale {

class TSaveDialog {
 public:
  explicit TSaveDialog(Dialogs& dialogs) : dialogs_(dialogs) {}

  std::string InitialDir;
  std::string FileName;

  // True when the operator confirmed a file name, which is then in FileName.
  bool Execute() {
    std::optional<std::string> chosen = dialogs_.ChooseSaveFile({InitialDir, FileName});
    if (!chosen) return false;
    FileName = *chosen;
    return true;
  }

 private:
  Dialogs& dialogs_;
};

}  // namespace corvale
