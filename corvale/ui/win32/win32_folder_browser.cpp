// SHBrowseForFolder with its callback, SHGetPathFromIDList and the shell's allocator.
#include "corvale/ui/win32/win32_folder_browser.h"

#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "corvale/platform/win32/wide_text.h"

namespace corvale::win32 {

namespace {

class Win32BrowseDialogWindow : public BrowseDialogWindow {
 public:
  explicit Win32BrowseDialogWindow(HWND dialog) : dialog_(dialog) {}

  void SelectFolder(const std::string& path) override {
    const std::wstring wide = Wide(path);
    SendMessageW(dialog_, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
  }
  Rect Bounds() override { return RectOf(dialog_); }
  Rect Desktop() override { return RectOf(GetDesktopWindow()); }
  void MoveTo(int x, int y) override {
    SetWindowPos(dialog_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  void SetText(const std::string& text) override { SetWindowTextW(dialog_, Wide(text).c_str()); }

 private:
  static Rect RectOf(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
  }

  HWND dialog_;
};

struct BrowseContext {
  BrowseCallback& callback;
  std::exception_ptr error;
};

// No exception may pass through the shell: it is kept and raised once the dialog has closed.
int CALLBACK BrowseProc(HWND dialog, UINT message, LPARAM, LPARAM data) {
  auto* context = reinterpret_cast<BrowseContext*>(data);
  if (message != BFFM_INITIALIZED || context->error) return 0;
  try {
    Win32BrowseDialogWindow window(dialog);
    context->callback.Initialized(window);
  } catch (...) {
    context->error = std::current_exception();
    // The operator cannot make a valid choice in a dialog that failed to set itself up.
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  }
  return 0;
}

void FreeWithShellAllocator(void* item) {
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
    allocator->Free(item);
    allocator->Release();
  }
}

}  // namespace

std::optional<BrowsedItem> Win32FolderBrowser::Browse(const FolderBrowseRequest& request,
                                                      BrowseCallback& callback) {
  // The new dialog style hosts OLE controls.
  const HRESULT ole = OleInitialize(nullptr);
  BrowseContext context{callback, nullptr};
  wchar_t display_name[MAX_PATH] = L"";
  const std::wstring prompt = Wide(request.prompt);
  BROWSEINFOW info = {};
  info.hwndOwner = request.owner ? reinterpret_cast<HWND>(request.owner) : application_window_;
  info.pszDisplayName = display_name;
  info.lpszTitle = prompt.c_str();
  info.ulFlags = request.flags;
  info.lpfn = BrowseProc;
  info.lParam = reinterpret_cast<LPARAM>(&context);
  LPITEMIDLIST item = SHBrowseForFolderW(&info);
  if (SUCCEEDED(ole)) OleUninitialize();
  if (context.error) {
    if (item) FreeWithShellAllocator(item);
    std::rethrow_exception(context.error);
  }
  if (!item) return std::nullopt;
  return BrowsedItem{reinterpret_cast<std::uintptr_t>(item), info.iImage};
}

std::optional<std::string> Win32FolderBrowser::PathFromItem(const BrowsedItem& item,
                                                            size_t buffer_length) {
  // The call writes up to MAX_PATH characters whatever the buffer's size.
  std::vector<wchar_t> buffer(std::max<size_t>(buffer_length, MAX_PATH + 1), L'\0');
  if (!SHGetPathFromIDListW(reinterpret_cast<LPCITEMIDLIST>(item.id), buffer.data()))
    return std::nullopt;
  const std::wstring path(buffer.data());
  if (path.size() + 1 > buffer_length) return std::nullopt;
  return Utf8(path);
}

void Win32FolderBrowser::FreeItem(const BrowsedItem& item) {
  FreeWithShellAllocator(reinterpret_cast<void*>(item.id));
}

std::string Win32FolderBrowser::CurrentDirectory() {
  DWORD length = GetCurrentDirectoryW(0, nullptr);
  if (length == 0) return std::string();
  std::wstring folder(length, L'\0');
  length = GetCurrentDirectoryW(length, folder.data());
  folder.resize(length);
  return Utf8(folder);
}

}  // namespace corvale::win32
