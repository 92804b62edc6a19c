// The message loop, with a message-only window that receives tasks posted from other threads.
#include "corvale/platform/win32/win32_event_loop.h"

#include "common/win32/windows_support.h"

namespace corvale::win32 {

namespace {

constexpr UINT kRunTasks = WM_APP + 1;
constexpr UINT kWake = WM_APP + 2;
constexpr char kClassName[] = "CorvaleEventLoop";

LRESULT CALLBACK LoopWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kRunTasks) {
    auto* loop = reinterpret_cast<Win32EventLoop*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (loop) loop->RunPostedTasks();
    return 0;
  }
  if (message == kWake) return 0;
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

Win32EventLoop::Win32EventLoop() {
  window_ = varnell::win32::CreateMessageWindow(kClassName, LoopWindowProc, this);
}

Win32EventLoop::~Win32EventLoop() {
  if (window_) DestroyWindow(static_cast<HWND>(window_));
}

bool Win32EventLoop::Dispatch(void* raw) {
  MSG& message = *static_cast<MSG*>(raw);
  if (message.message == WM_QUIT) return false;
  HWND dialog = static_cast<HWND>(dialog_window_);
  if (dialog && IsDialogMessageA(dialog, &message)) return true;
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return true;
}

void Win32EventLoop::ProcessPendingEvents() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (!Dispatch(&message)) {
      // Leave the quit request for the application's loop.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
  }
}

void Win32EventLoop::WaitForEvents() {
  WaitMessage();
}

void Win32EventLoop::Wake() {
  PostMessageA(static_cast<HWND>(window_), kWake, 0, 0);
}

void Win32EventLoop::PostToMain(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  PostMessageA(static_cast<HWND>(window_), kRunTasks, 0, 0);
}

void Win32EventLoop::RunPostedTasks() {
  while (true) {
    std::function<void()> task;
    {
      std::lock_guard lock(mutex_);
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    if (boundary_) {
      boundary_(task);
    } else {
      // No error may unwind through the window procedure into the system's code.
      try {
        task();
      } catch (...) {
      }
    }
  }
}

int Win32EventLoop::Run() {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) Dispatch(&message);
  return static_cast<int>(message.wParam);
}

}  // namespace corvale::win32
