// A scripted main-thread event loop: the test decides what is pending whenever the code under
// test lets events run, and tasks posted from other threads run at the next pump.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "corvale/platform/event_loop.h"

namespace corvale::testing {

class FakeEventLoop : public EventLoop {
 public:
  // Runs at every ProcessPendingEvents, before the posted tasks: the events "pending" then.
  std::function<void()> OnPump;
  int PumpCount = 0;

  void ProcessPendingEvents() override {
    ++PumpCount;
    if (OnPump) OnPump();
    if (!Holding()) RunPosted();
  }

  void WaitForEvents() override {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return woken_ || (!hold_posted_ && !tasks_.empty()); });
    woken_ = false;
  }

  // While held, letting events run leaves posted tasks waiting; RunPosted still runs them.
  void HoldPosted(bool hold) {
    std::lock_guard lock(mutex_);
    hold_posted_ = hold;
  }

  void Wake() override {
    {
      std::lock_guard lock(mutex_);
      woken_ = true;
    }
    cv_.notify_all();
  }

  void PostToMain(std::function<void()> task) override {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    cv_.notify_all();
  }

  void SetHandlerBoundary(HandlerBoundary boundary) override { boundary_ = std::move(boundary); }
  bool HasHandlerBoundary() const { return static_cast<bool>(boundary_); }

  // Runs every task posted so far (and those they post), in order, each inside the handler
  // boundary when one is set.
  void RunPosted() {
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
        task();
      }
    }
  }

  size_t PostedCount() {
    std::lock_guard lock(mutex_);
    return tasks_.size();
  }

 private:
  bool Holding() {
    std::lock_guard lock(mutex_);
    return hold_posted_;
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> tasks_;
  bool woken_ = false;
  bool hold_posted_ = false;
  HandlerBoundary boundary_;  // main thread only
};

}  // namespace corvale::testing
