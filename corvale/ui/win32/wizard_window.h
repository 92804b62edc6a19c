// The setup wizard's Win32 window: a modal dialog over the wizard model TForm4, made for one use.
// It creates the real controls from the model, mirrors every model change into them, draws the
// printer list's entries through the model and turns the operator's input into its handlers.
// Used on the main thread.
#pragma once

#include <exception>
#include <functional>

#include "common/win32/windows_support.h"
#include "corvale/ui/configure_unit.h"
#include "corvale/ui/win32/control_mirror.h"

namespace corvale::win32 {

class WizardWindow : public ControlObserver {
 public:
  explicit WizardWindow(TForm4& form) : form_(form) {}
  ~WizardWindow() override;
  WizardWindow(const WizardWindow&) = delete;
  WizardWindow& operator=(const WizardWindow&) = delete;

  // Shows the wizard centred on `owner` until it closes; `opened` hears of its window first.
  // The result it closed with; an error raised by a handler closes it and is raised here.
  TModalResult ShowModal(HWND owner, const std::function<void(HWND)>& opened);

  void ControlChanged(Control& control) override;
  void FocusRequested(Control& control) override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Initialize();
  void DrawItem(const DRAWITEMSTRUCT& item);
  // Runs a handler; closes the window when it has set a result or raised an error.
  void Run(const std::function<void()>& handler);
  void Close(TModalResult result);

  TForm4& form_;
  HWND dialog_ = nullptr;
  HWND owner_ = nullptr;
  std::function<void(HWND)> opened_;
  ControlMirror mirror_;
  std::exception_ptr error_;
};

}  // namespace corvale::win32
