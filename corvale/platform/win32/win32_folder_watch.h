// Directory change notifications and the notifier's message window through Win32.
#pragma once

#include "corvale/platform/folder_watch.h"

namespace corvale::win32 {

class Win32FolderWatch : public FolderWatchPlatform, public NotifierWindow {
 public:
  Win32FolderWatch();
  ~Win32FolderWatch() override;
  void Attach(FolderMessageHandler* handler) override { handler_ = handler; }
  void Detach(FolderMessageHandler* handler) override {
    if (handler_ == handler) handler_ = nullptr;
  }
  FolderMessageHandler* Handler() const { return handler_; }

  std::unique_ptr<FolderChangeWaiter> CreateWaiter(const std::string& folder) override;
  void LowerCurrentThreadPriority() override;
  NotifierWindow& Window() override { return *this; }

  void Post(uint32_t message, uintptr_t watcher, uint32_t data) override;
  void RemovePending(uint32_t message, uintptr_t watcher) override;

 private:
  void* window_ = nullptr;  // HWND of the hidden message window
  FolderMessageHandler* handler_ = nullptr;
};

}  // namespace corvale::win32
