// The Win32 implementations of the monitor's platform interfaces: thin translations to the
// spooler, thread, window, file and system calls of the same names.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "common/win32/windows_support.h"

#include <winspool.h>
#include "pennock/platform/platform.h"

namespace pennock::win32 {

// Handles travel through the portable code as 32-bit ids. The monitor is a 32-bit program;
// its 64-bit test build relies on the system's rule that handles are sign-extended 32-bit values.
inline std::uint32_t IdOf(const void* handle) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle));
}
template <typename Handle>
Handle HandleOf(std::uint32_t id) {
  return reinterpret_cast<Handle>(static_cast<std::intptr_t>(static_cast<std::int32_t>(id)));
}

// The spooler's notification information as the monitor keeps it; texts in the ANSI code page.
NotifyInfo CopyNotifyInfo(const PRINTER_NOTIFY_INFO& info);

// Sent to the activity window to run a task on its thread.
inline constexpr UINT kRunTaskMessage = WM_APP + 1;

class Win32Spooler : public Spooler {
 public:
  PrinterListSize LocalPrintersSize() override;
  PrinterList ReadLocalPrinters(std::uint32_t bufferSize) override;
  std::optional<PrinterId> OpenNamedPrinter(const std::string& name) override;
  void ClosePrinter(PrinterId printer) override;
  ChangeId FindFirstPrinterChangeNotification(PrinterId printer, std::uint32_t filter,
                                              std::uint32_t options,
                                              const NotifyOptions& notifyOptions) override;
  bool WaitForChange(ChangeId change) override;
  NotifyFetch FindNextPrinterChangeNotification(ChangeId change,
                                                const NotifyOptions& notifyOptions) override;
  void FindClosePrinterChangeNotification(ChangeId change) override;
};

// Used on the main thread only; each started thread reads its own start.
class Win32Threads : public Threads {
 public:
  struct Started;

  Win32Threads();
  ~Win32Threads() override;
  Win32Threads(const Win32Threads&) = delete;
  Win32Threads& operator=(const Win32Threads&) = delete;

  StartedThread CreateThread(std::function<std::uint32_t()> body) override;
  bool WaitUntilEntered(std::uint32_t handle, std::uint32_t timeoutMs) override;
  bool TerminateThread(std::uint32_t handle, std::uint32_t exitCode) override;
  void ReleaseThread(std::uint32_t handle, std::uint32_t timeoutMs) override;
  std::unique_ptr<CriticalSection> CreateCriticalSection() override;

 private:
  std::map<std::uint32_t, std::unique_ptr<Started>> started_;
};

class Win32WindowSystem : public WindowSystem {
 public:
  // `instance` holds the dialog template and the icon.
  explicit Win32WindowSystem(HINSTANCE instance) : instance_(instance) {}

  int RunModalDialog(int templateId, DialogHandler& handler) override;
  void EndDialog(WindowId dialog, int result) override;
  WindowId GetDlgItem(WindowId dialog, int controlId) override;
  WindowId GetParent(WindowId window) override;
  bool IsWindow(WindowId window) override;
  IconId LoadIconResource(int resourceId) override;
  void SetIcons(WindowId dialog, IconId icon) override;
  void SetText(WindowId window, const std::string& text) override;
  void ScrollToBottom(WindowId window) override;
  std::string GetText(WindowId window, int maxCount) override;
  void SendFlushActivity(WindowId dialog) override;
  ClientRect GetClientRect(WindowId window) override;
  void MoveWindow(WindowId window, int x, int y, int width, int height, bool repaint) override;
  void SendTask(WindowId dialog, const std::function<void()>& task) override;

 private:
  HINSTANCE instance_;
};

class Win32FileSystem : public FileSystem {
 public:
  std::optional<FileEntry> FindFile(const std::string& path) override;
  std::optional<std::uint64_t> FileTimeToLocalFileTime(std::uint64_t fileTime) override;
  bool CanOpenExclusively(const std::string& path) override;
  bool AppendToFile(const std::string& path, const std::string& text) override;
  bool CreateFileWithText(const std::string& path, const std::string& text) override;
};

class Win32System : public System {
 public:
  void WriteDebugOutput(const std::string& text) override;
  LocalTime GetLocalTime() override;
  std::string TimeSeparator() override;
  void Sleep(std::uint32_t milliseconds) override;
  std::vector<std::string> CommandLineArguments() override;
};

}  // namespace pennock::win32
