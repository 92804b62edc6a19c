// The activity window: the modal dialog from its template, its dialog procedure, and the
// window calls on its edit control.
#include "pennock/platform/win32/win32_platform.h"

#include "pennock/activity_log.h"

namespace pennock::win32 {
namespace {

HWND Window(WindowId id) {
  return HandleOf<HWND>(id);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
  auto* handler = reinterpret_cast<DialogHandler*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (handler == nullptr) return FALSE;
  const WindowId id = IdOf(dialog);
  // No exception may unwind through the system's frames.
  try {
    switch (message) {
      case WM_INITDIALOG:
        handler->InitDialog(id);
        return TRUE;
      case WM_SIZE:
        handler->Size(id);
        return TRUE;
      case WM_CLOSE:
        handler->Close(id);
        return TRUE;
      case WM_FLUSHACTIVITY:
        handler->FlushActivity(id);
        return TRUE;
      case kRunTaskMessage:
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return TRUE;
      default:
        return FALSE;
    }
  } catch (...) {
    return TRUE;
  }
}

}  // namespace

int Win32WindowSystem::RunModalDialog(int templateId, DialogHandler& handler) {
  return static_cast<int>(DialogBoxParamA(instance_, MAKEINTRESOURCEA(templateId), nullptr,
                                          &DialogProc, reinterpret_cast<LPARAM>(&handler)));
}

void Win32WindowSystem::EndDialog(WindowId dialog, int result) {
  ::EndDialog(Window(dialog), result);
}

WindowId Win32WindowSystem::GetDlgItem(WindowId dialog, int controlId) {
  return IdOf(::GetDlgItem(Window(dialog), controlId));
}

WindowId Win32WindowSystem::GetParent(WindowId window) {
  return IdOf(::GetParent(Window(window)));
}

bool Win32WindowSystem::IsWindow(WindowId window) {
  return ::IsWindow(Window(window)) != FALSE;
}

IconId Win32WindowSystem::LoadIconResource(int resourceId) {
  return IdOf(LoadIconA(instance_, MAKEINTRESOURCEA(resourceId)));
}

void Win32WindowSystem::SetIcons(WindowId dialog, IconId icon) {
  auto value = reinterpret_cast<LPARAM>(HandleOf<HICON>(icon));
  SendMessageA(Window(dialog), WM_SETICON, ICON_SMALL, value);
  SendMessageA(Window(dialog), WM_SETICON, ICON_BIG, value);
}

void Win32WindowSystem::SetText(WindowId window, const std::string& text) {
  SendMessageA(Window(window), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Win32WindowSystem::ScrollToBottom(WindowId window) {
  SendMessageA(Window(window), WM_VSCROLL, SB_BOTTOM, 0);
}

std::string Win32WindowSystem::GetText(WindowId window, int maxCount) {
  std::string text(static_cast<std::size_t>(maxCount), '\0');
  int length = GetWindowTextA(Window(window), text.data(), maxCount);
  text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
  return text;
}

void Win32WindowSystem::SendFlushActivity(WindowId dialog) {
  SendMessageA(Window(dialog), WM_FLUSHACTIVITY, 0, 0);
}

ClientRect Win32WindowSystem::GetClientRect(WindowId window) {
  RECT rect{};
  ::GetClientRect(Window(window), &rect);
  return ClientRect{rect.left, rect.top, rect.right, rect.bottom};
}

void Win32WindowSystem::MoveWindow(WindowId window, int x, int y, int width, int height,
                                   bool repaint) {
  ::MoveWindow(Window(window), x, y, width, height, repaint ? TRUE : FALSE);
}

void Win32WindowSystem::SendTask(WindowId dialog, const std::function<void()>& task) {
  SendMessageA(Window(dialog), kRunTaskMessage, 0, reinterpret_cast<LPARAM>(&task));
}

}  // namespace pennock::win32
