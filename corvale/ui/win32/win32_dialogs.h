// The main window's message boxes and dialogs on Windows: message boxes, the About window, the
// standard save-file dialog and the setup wizard, each owned by the main window.
// Used on the main thread.
#pragma once

#include "common/win32/windows_support.h"
#include "corvale/platform/dialogs.h"

namespace corvale::win32 {

class Win32Dialogs : public Dialogs {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }
  // True while one of these boxes or dialogs is open.
  bool ModalOpen() const { return modal_depth_ > 0; }

  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void ShowAbout(const std::string& program, const std::string& version) override;
  std::optional<std::string> ChooseSaveFile(const SaveFileRequest& request) override;
  std::optional<std::string> ChooseOpenFile(const SaveFileRequest& request) override;
  TModalResult ShowSetupWizard(TForm4& wizard) override;

 private:
  std::optional<std::string> ChooseFile(const SaveFileRequest& request, bool open);

  HWND owner_ = nullptr;
  int modal_depth_ = 0;
};

}  // namespace corvale::win32
