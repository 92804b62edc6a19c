// The request of "corvale.exe /Close" to every Corvale window of the computer: a manual-reset
// event in the global namespace, which crosses sessions where window messages do not. Each
// window's listener waits for it on a thread of its own and posts a message to the window.
#pragma once

#include <thread>

#include "common/win32/windows_support.h"

namespace corvale::win32 {

constexpr wchar_t kCloseRequestName[] = L"Global\\Varnell.Corvale.Close";

class CloseRequestListener {
 public:
  CloseRequestListener() = default;
  ~CloseRequestListener();
  CloseRequestListener(const CloseRequestListener&) = delete;
  CloseRequestListener& operator=(const CloseRequestListener&) = delete;

  // Posts `message` to `window` once a close is asked for. False when the request cannot be
  // heard (the event cannot be made or opened): the window runs all the same.
  bool Listen(HWND window, UINT message);

 private:
  HANDLE request_ = nullptr;
  HANDLE stop_ = nullptr;
  std::thread thread_;
};

}  // namespace corvale::win32
