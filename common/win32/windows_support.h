// The one way our Win32 layers include <windows.h>, and handles that close themselves.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// The portable interfaces have operations named MoveFile and DeleteFile; the Win32 layer calls
// MoveFileExA and DeleteFileA by their explicit names.
#undef MoveFile
#undef DeleteFile

#include <string>
#include <utility>

namespace varnell::win32 {

// Owns one Win32 handle; Close is the function that releases it.
template <typename Handle, auto Close, auto Invalid>
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(Handle h) : handle_(h) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(std::exchange(other.handle_, Invalid())) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, Invalid()));
    return *this;
  }
  ~ScopedHandle() { Reset(); }

  Handle Get() const { return handle_; }
  bool Valid() const { return handle_ != Invalid(); }
  explicit operator bool() const { return Valid(); }
  void Reset(Handle h = Invalid()) {
    if (Valid()) Close(handle_);
    handle_ = h;
  }
  Handle Release() { return std::exchange(handle_, Invalid()); }

 private:
  Handle handle_ = Invalid();
};

inline HANDLE NullHandle() {
  return nullptr;
}
inline HANDLE InvalidFileHandle() {
  return INVALID_HANDLE_VALUE;
}
inline HKEY NullKey() {
  return nullptr;
}
inline void CloseKey(HKEY k) {
  RegCloseKey(k);
}
inline void CloseFind(HANDLE h) {
  FindClose(h);
}
inline void CloseChange(HANDLE h) {
  FindCloseChangeNotification(h);
}

using ScopedKernelHandle = ScopedHandle<HANDLE, CloseHandle, NullHandle>;
using ScopedFileHandle = ScopedHandle<HANDLE, CloseHandle, InvalidFileHandle>;
using ScopedKey = ScopedHandle<HKEY, CloseKey, NullKey>;
using ScopedFindHandle = ScopedHandle<HANDLE, CloseFind, InvalidFileHandle>;
using ScopedChangeHandle = ScopedHandle<HANDLE, CloseChange, InvalidFileHandle>;

// A hidden message-only window of its own class whose user data is `owner`: the window that
// receives messages posted from other threads to an object on the main thread.
inline HWND CreateMessageWindow(const char* class_name, WNDPROC procedure, void* owner) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = class_name;
  RegisterClassA(&window_class);
  HWND window = CreateWindowExA(0, class_name, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (window) SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
  return window;
}

// The system's text for an error code, without the trailing line end.
inline std::string SystemErrorText(DWORD code) {
  char* buffer = nullptr;
  DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = n && buffer ? std::string(buffer, n) : std::string();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  if (text.empty()) text = "System error code " + std::to_string(code);
  return text;
}

}  // namespace varnell::win32
