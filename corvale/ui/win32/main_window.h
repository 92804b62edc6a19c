// The Win32 main window of Corvale: creates the real controls from the window model, mirrors
// every model change into them and turns the operator's input into the model's handlers.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "common/win32/windows_support.h"
#include "corvale/ui/server_main_unit.h"
#include "corvale/ui/win32/control_mirror.h"
#include "corvale/ui/win32/win32_dialogs.h"

namespace corvale::win32 {

class Win32EventLoop;

// Posted by the close request of "corvale.exe /Close" (see close_request.h).
constexpr UINT kCloseRequestMessage = WM_APP + 20;

class MainWindow : public ControlObserver {
 public:
  MainWindow(TForm1& form, Win32EventLoop& loop, Win32Dialogs& dialogs);
  ~MainWindow() override;

  // Creates the window and its controls, hidden; then the model's changes are mirrored.
  bool Create();
  void Show();
  HWND Handle() const { return window_; }

  void ControlChanged(Control& control) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void OnCommand(int id, int code, HWND child);
  void CreateControl(Control& control);
  // Whether focus that left a box went elsewhere in this window (or out of the program) rather
  // than to a box or dialog of this program that opened meanwhile.
  bool FocusStayedWithWindow() const;

  TForm1& form_;
  Win32EventLoop& loop_;
  Win32Dialogs& dialogs_;
  HWND window_ = nullptr;
  bool closing_ = false;
  HFONT font_ = nullptr;
  ControlMirror mirror_;
  std::map<Control*, int> timer_ids_;
  std::map<int, Control*> by_timer_id_;
};

}  // namespace corvale::win32
