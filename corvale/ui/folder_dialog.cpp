// The folder picker over the shell's folder browse dialog.
#include "corvale/ui/folder_dialog.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "corvale/platform/file_system.h"

namespace corvale {

uint32_t BrowseFlagOf(TOptions option) {
  switch (option) {
    case TOptions::fdoBrowseForComputer:
      return 0x1000;  // BIF_BROWSEFORCOMPUTER
    case TOptions::fdoBrowseForPrinter:
      return 0x2000;  // BIF_BROWSEFORPRINTER
    case TOptions::fdoDontgoBelowDomain:
      return 0x2;  // BIF_DONTGOBELOWDOMAIN
    case TOptions::fdoReturnFSAncestors:
      return 0x8;  // BIF_RETURNFSANCESTORS
    case TOptions::fdoReturnOnlyFSDirs:
      return 0x1;  // BIF_RETURNONLYFSDIRS
    case TOptions::fdoStatusText:
      return 0x4;  // BIF_STATUSTEXT
    case TOptions::fdoNewDialogStyle:
      return 0x40;  // BIF_NEWDIALOGSTYLE
    case TOptions::fdoNoNewFolderButton:
      return 0x200;  // BIF_NONEWFOLDERBUTTON
    case TOptions::fdoEditBox:
      return 0x10;  // BIF_EDITBOX
  }
  return 0;
}

TFolderDialog::TFolderDialog(FolderBrowser& browser, FileSystem& files)
    : Directory(browser.CurrentDirectory()), browser_(browser), files_(files) {}

std::string TFolderDialog::Version() const {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    if (!text.empty()) text += '.';
    text += std::to_string((kVersion >> shift) & 0xFF);
  }
  return text;
}

uint32_t TFolderDialog::Flags() const {
  uint32_t flags = 0;
  for (TOptions option : Options) flags |= BrowseFlagOf(option);
  return flags;
}

bool TFolderDialog::Execute() {
  const FolderBrowseRequest request{OwnerWindow, Title, Flags()};
  if (!files_.DirectoryExists(Directory)) Directory = browser_.CurrentDirectory();

  std::optional<BrowsedItem> item;
  try {
    item = browser_.Browse(request, *this);
  } catch (const std::exception&) {
    return false;  // an error while the dialog runs counts as no choice
  }
  if (!item) return false;

  // The item is freed in every case, also when taking its path fails.
  struct Release {
    FolderBrowser& browser;
    const BrowsedItem& item;
    ~Release() { browser.FreeItem(item); }
  } release{browser_, *item};
  std::optional<std::string> path = browser_.PathFromItem(*item, kPathBufferLength);
  if (!path) return false;
  Directory = *path;
  ImageIndex = item->image_index;
  return true;
}

void TFolderDialog::Initialized(BrowseDialogWindow& dialog) {
  dialog.SelectFolder(Directory);
  const BrowseDialogWindow::Rect bounds = dialog.Bounds();
  int x = bounds.x;
  int y = bounds.y;
  switch (DialogPosition) {
    case TDialogPosition::fdpDefault:
      break;
    case TDialogPosition::fdpScreenCenter: {
      const BrowseDialogWindow::Rect desktop = dialog.Desktop();
      x = desktop.width / 2 - bounds.width / 2;
      y = desktop.height / 2 - bounds.height / 2;
      break;
    }
    case TDialogPosition::fdpXY:
      x = std::max(DialogX, 0);
      y = std::max(DialogY, 0);
      break;
  }
  dialog.MoveTo(x, y);
  if (!Caption.empty()) dialog.SetText(Caption);
}

}  // namespace corvale
