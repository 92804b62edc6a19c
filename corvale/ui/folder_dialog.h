// TFolderDialog: a component without a window of its own that shows the shell's folder browse
// dialog and hands back the folder the operator chose. Owned and used on the main thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "corvale/platform/folder_browser.h"

namespace corvale {

class FileSystem;

enum class TOptions {
  fdoBrowseForComputer,
  fdoBrowseForPrinter,
  fdoDontgoBelowDomain,
  fdoReturnFSAncestors,
  fdoReturnOnlyFSDirs,
  fdoStatusText,
  fdoNewDialogStyle,
  fdoNoNewFolderButton,
  fdoEditBox,
};

enum class TDialogPosition { fdpDefault, fdpScreenCenter, fdpXY };

// The browse flag each option adds.
uint32_t BrowseFlagOf(TOptions option);

class TFolderDialog : private BrowseCallback {
 public:
  // The shell's path buffer: MAX_PATH characters and the terminating NUL.
  static constexpr size_t kPathBufferLength = 261;
  // Read as four bytes, most significant first.
  static constexpr uint32_t kVersion = 0x01010001;

  // Directory starts as the current working folder.
  TFolderDialog(FolderBrowser& browser, FileSystem& files);

  // Properties.
  std::string Caption;  // window caption given to the dialog; empty keeps the system's
  std::string Title;    // prompt above the folder tree
  std::string Directory;
  int ImageIndex = 0;
  std::set<TOptions> Options{TOptions::fdoNewDialogStyle};
  TDialogPosition DialogPosition = TDialogPosition::fdpDefault;
  int DialogX = 0;
  int DialogY = 0;
  // "1.1.0.1"; read-only: writing it changes nothing.
  std::string Version() const;
  void SetVersion(const std::string&) {}

  // The window of the form that owns the component; 0 for the application's window.
  std::uintptr_t OwnerWindow = 0;

  // Shows the dialog modally; true when a folder was chosen, which is then in Directory.
  bool Execute();

  // The OR of the flags of every option in Options.
  uint32_t Flags() const;

 private:
  void Initialized(BrowseDialogWindow& dialog) override;

  FolderBrowser& browser_;
  FileSystem& files_;
};

}  // namespace corvale
