// Directory change notifications and the notifier's message window through Win32.
#pragma once

#include "corvale/engine/gx_file_notify.h"

namespace corvale::win32 {

class Win32FolderWatch : public FolderWatchPlatform, public NotifierWindow {
 public:
  Win32FolderWatch();
  ~Win32FolderWatch() override;
  void Attach(TGXThreadFileNotifier* notifier) override { notifier_ = notifier; }
  void Detach(TGXThreadFileNotifier* notifier) override {
    if (notifier_ == notifier) notifier_ = nullptr;
  }
  TGXThreadFileNotifier* Notifier() const { return notifier_; }

  std::unique_ptr<FolderChangeWaiter> CreateWaiter(const std::string& folder) override;
  void LowerCurrentThreadPriority() override;
  NotifierWindow& Window() override { return *this; }

  void Post(uint32_t message, uintptr_t watcher, uint32_t data) override;
  void RemovePending(uint32_t message, uintptr_t watcher) override;

 private:
  void* window_ = nullptr;  // HWND of the hidden message window
  TGXThreadFileNotifier* notifier_ = nullptr;
};

}  // namespace corvale::win32
