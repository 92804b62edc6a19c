// The shell's folder browse dialog, as the folder picker drives it: open it with a prompt and
// flags, answer its "initialized" report, turn the returned item into a path, free the item.
// Used on the main thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace corvale {

// The dialog while it is open, as its "initialized" report sees it.
class BrowseDialogWindow {
 public:
  struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
  };
  virtual ~BrowseDialogWindow() = default;
  // Selects a folder given by its path in the folder tree.
  virtual void SelectFolder(const std::string& path) = 0;
  // The dialog's place and size on the screen.
  virtual Rect Bounds() = 0;
  // Width and height of the desktop.
  virtual Rect Desktop() = 0;
  // Moves the dialog without changing its size or stacking order.
  virtual void MoveTo(int x, int y) = 0;
  // The dialog's window text (its caption).
  virtual void SetText(const std::string& text) = 0;
};

class BrowseCallback {
 public:
  virtual ~BrowseCallback() = default;
  virtual void Initialized(BrowseDialogWindow& dialog) = 0;
};

struct FolderBrowseRequest {
  // The owning window's handle; 0 for the application's window.
  std::uintptr_t owner = 0;
  std::string prompt;  // text above the folder tree
  uint32_t flags = 0;  // the BIF_ browse flags
};

// An item list handed back by the dialog; the browser's own allocator frees it.
struct BrowsedItem {
  std::uintptr_t id = 0;
  int image_index = 0;  // the chosen folder's icon in the system image list
};

class FolderBrowser {
 public:
  virtual ~FolderBrowser() = default;
  // Shows the dialog modally; nothing when the operator cancelled. May raise an error (one
  // raised by the callback, too), after freeing an item the dialog returned.
  virtual std::optional<BrowsedItem> Browse(const FolderBrowseRequest& request,
                                            BrowseCallback& callback) = 0;
  // The item's file-system path written into a buffer of `buffer_length` characters (the
  // terminating NUL included); nothing when the item has none or it does not fit.
  virtual std::optional<std::string> PathFromItem(const BrowsedItem& item,
                                                  size_t buffer_length) = 0;
  // Frees the item with the shell's allocator.
  virtual void FreeItem(const BrowsedItem& item) = 0;
  // The process's current working folder.
  virtual std::string CurrentDirectory() = 0;
};

}  // namespace corvale
