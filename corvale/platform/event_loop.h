// The main thread's event loop as the engine sees it: letting pending events run while it
// works or waits, and handing work from other threads to the main thread.
#pragma once

#include <functional>

namespace corvale {

// Runs one event handler so that an error it raises ends that handler, is shown to the operator
// and never unwinds into the message loop.
using HandlerBoundary = std::function<void(const std::function<void()>& handler)>;

class EventLoop {
 public:
  virtual ~EventLoop() = default;
  // Main thread: runs every event that is pending now (window messages, timer ticks, posted
  // tasks, folder change reports), then returns.
  virtual void ProcessPendingEvents() = 0;
  // Main thread: blocks until an event is pending or Wake is called.
  virtual void WaitForEvents() = 0;
  // Any thread: ends a WaitForEvents of the main thread.
  virtual void Wake() = 0;
  // Any thread: runs `task` on the main thread, after the events already pending.
  virtual void PostToMain(std::function<void()> task) = 0;
  // Main thread: every posted task runs inside `boundary` (an empty one: as it is).
  virtual void SetHandlerBoundary(HandlerBoundary boundary) = 0;
};

}  // namespace corvale
