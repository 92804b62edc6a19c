// The shell's folder browse dialog (SHBrowseForFolder) behind FolderBrowser.
// Used on the main thread.
#pragma once

#include "common/win32/windows_support.h"
#include "corvale/platform/folder_browser.h"

namespace corvale::win32 {

class Win32FolderBrowser : public FolderBrowser {
 public:
  // The owner of a dialog whose request names none.
  void SetApplicationWindow(HWND window) { application_window_ = window; }

  std::optional<BrowsedItem> Browse(const FolderBrowseRequest& request,
                                    BrowseCallback& callback) override;
  std::optional<std::string> PathFromItem(const BrowsedItem& item, size_t buffer_length) override;
  void FreeItem(const BrowsedItem& item) override;
  std::string CurrentDirectory() override;

 private:
  HWND application_window_ = nullptr;
};

}  // namespace corvale::win32
