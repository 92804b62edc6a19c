// The main thread's message loop behind Corvale's EventLoop interface. Created and used on the
// main thread; Wake and PostToMain may be called from any thread.
#pragma once

#include <deque>
#include <functional>
#include <mutex>

#include "corvale/platform/event_loop.h"

namespace corvale::win32 {

class Win32EventLoop : public EventLoop {
 public:
  Win32EventLoop();
  ~Win32EventLoop() override;

  void ProcessPendingEvents() override;
  void WaitForEvents() override;
  void Wake() override;
  void PostToMain(std::function<void()> task) override;
  void SetHandlerBoundary(HandlerBoundary boundary) override { boundary_ = std::move(boundary); }

  // The application's message loop; returns when WM_QUIT arrives.
  int Run();
  // Dialog navigation (Tab) for this window while the loop runs.
  void SetDialogWindow(void* window) { dialog_window_ = window; }

  void RunPostedTasks();

 private:
  bool Dispatch(void* message);

  void* window_ = nullptr;  // HWND of the message-only window
  void* dialog_window_ = nullptr;
  std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
  HandlerBoundary boundary_;
};

}  // namespace corvale::win32
