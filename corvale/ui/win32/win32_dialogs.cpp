// Message boxes, the About window, GetSaveFileName and the setup wizard.
#include "corvale/ui/win32/win32_dialogs.h"

#include <commdlg.h>

#include <vector>

#include "corvale/platform/win32/wide_text.h"
#include "corvale/ui/win32/about_box.h"
#include "corvale/ui/win32/wizard_window.h"

namespace corvale::win32 {

namespace {

constexpr char kTitle[] = "Corvale";
// Room for long paths typed into the dialog's file name box.
constexpr size_t kFileNameBuffer = 4096;

// Counts one modal box or dialog as open while it lives.
class ModalScope {
 public:
  explicit ModalScope(int& depth) : depth_(depth) { ++depth_; }
  ~ModalScope() { --depth_; }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  int& depth_;
};

}  // namespace

// The model's texts are UTF-8; the boxes and dialogs get and give them through the wide calls.
void Win32Dialogs::ShowMessage(const std::string& text) {
  ModalScope modal(modal_depth_);
  MessageBoxW(owner_, Wide(text).c_str(), Wide(kTitle).c_str(), MB_OK);
}

void Win32Dialogs::ShowError(const std::string& text) {
  ModalScope modal(modal_depth_);
  MessageBoxW(owner_, Wide(text).c_str(), Wide(kTitle).c_str(), MB_OK | MB_ICONERROR);
}

void Win32Dialogs::ShowAbout(const std::string& program, const std::string& version) {
  ModalScope modal(modal_depth_);
  ShowAboutBox(owner_, program, version);
}

std::optional<std::string> Win32Dialogs::ChooseSaveFile(const SaveFileRequest& request) {
  return ChooseFile(request, /*open=*/false);
}

std::optional<std::string> Win32Dialogs::ChooseOpenFile(const SaveFileRequest& request) {
  return ChooseFile(request, /*open=*/true);
}

std::optional<std::string> Win32Dialogs::ChooseFile(const SaveFileRequest& request, bool open) {
  ModalScope modal(modal_depth_);
  std::vector<wchar_t> file(kFileNameBuffer, L'\0');
  Wide(request.file_name).copy(file.data(), file.size() - 1);
  const std::wstring initial_dir = Wide(request.initial_dir);
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner_;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = initial_dir.empty() ? nullptr : initial_dir.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
  if (open) dialog.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
  if (!(open ? GetOpenFileNameW(&dialog) : GetSaveFileNameW(&dialog))) return std::nullopt;
  return Utf8(file.data());
}

TModalResult Win32Dialogs::ShowSetupWizard(TForm4& wizard) {
  ModalScope modal(modal_depth_);
  // While the wizard is open, the boxes it shows are its own.
  struct OwnerScope {
    HWND& owner;
    HWND saved;
    ~OwnerScope() { owner = saved; }
  } owner_scope{owner_, owner_};
  WizardWindow window(wizard);
  return window.ShowModal(owner_scope.saved, [this](HWND opened) { owner_ = opened; });
}

}  // namespace corvale::win32
