// The Win32 main window of Corvale: creates the real controls from the window model, mirrors
// every model change into them and turns the operator's input into the model's handlers.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "common/win32/windows_support.h"
#include "corvale/platform/dialogs.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale::win32 {

class Win32EventLoop;

// Message boxes owned by the main window, captioned with the application's title.
class Win32Dialogs : public Dialogs {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;

 private:
  HWND owner_ = nullptr;
};

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
  Control* ControlById(int id);
  std::string WindowText(HWND window);

  TForm1& form_;
  Win32EventLoop& loop_;
  Win32Dialogs& dialogs_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  std::map<Control*, HWND> handles_;
  std::map<int, Control*> by_id_;
  std::map<Control*, int> ids_;
  std::map<Control*, std::vector<std::string>> mirrored_items_;
  SIZE fixed_size_{};
};

}  // namespace corvale::win32
