// The window calls of the activity window: the modal dialog, its edit control, and sending
// to the window's thread. Windows are opaque 32-bit ids. The dialog's messages reach the
// monitor through DialogHandler on the window's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace pennock {

using WindowId = std::uint32_t;
using IconId = std::uint32_t;
// A window id that denotes no window (all bits set).
inline constexpr WindowId kNoWindow = 0xFFFFFFFF;

struct ClientRect {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
};

// The messages the activity window handles; every other one gets the default handling.
class DialogHandler {
 public:
  virtual ~DialogHandler() = default;
  virtual void InitDialog(WindowId dialog) = 0;
  virtual void Size(WindowId dialog) = 0;
  virtual void Close(WindowId dialog) = 0;
  virtual void FlushActivity(WindowId dialog) = 0;
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // DialogBoxParamA: the dialog from `templateId` with no parent, run modally on this thread
  // until EndDialog; returns the dialog's result.
  virtual int RunModalDialog(int templateId, DialogHandler& handler) = 0;
  virtual void EndDialog(WindowId dialog, int result) = 0;
  virtual WindowId GetDlgItem(WindowId dialog, int controlId) = 0;
  virtual WindowId GetParent(WindowId window) = 0;
  virtual bool IsWindow(WindowId window) = 0;
  virtual IconId LoadIconResource(int resourceId) = 0;
  // WM_SETICON with ICON_SMALL and with ICON_BIG.
  virtual void SetIcons(WindowId dialog, IconId icon) = 0;
  // WM_SETTEXT with the whole text.
  virtual void SetText(WindowId window, const std::string& text) = 0;
  // WM_VSCROLL with SB_BOTTOM.
  virtual void ScrollToBottom(WindowId window) = 0;
  // GetWindowTextA: at most maxCount - 1 characters.
  virtual std::string GetText(WindowId window, int maxCount) = 0;
  // SendMessageA with WM_FLUSHACTIVITY; returns when the dialog has handled it.
  virtual void SendFlushActivity(WindowId dialog) = 0;
  virtual ClientRect GetClientRect(WindowId window) = 0;
  virtual void MoveWindow(WindowId window, int x, int y, int width, int height, bool repaint) = 0;
  // Runs `task` on the thread that owns `dialog` and returns when it has run, as a sent
  // message does; from that thread itself it runs at once. Nothing runs when `dialog` is no
  // window.
  virtual void SendTask(WindowId dialog, const std::function<void()>& task) = 0;
};

}  // namespace pennock
