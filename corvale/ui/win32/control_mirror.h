// The real controls of a window model's controls: each is created from a layout line, gets
// every model change mirrored into it, and turns the operator's input back into the model's
// calls. Used by the main window and the setup wizard on the main thread.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/win32/windows_support.h"
#include "corvale/ui/controls.h"

namespace corvale::win32 {

enum class ControlKind {
  kLabel,           // static text, wrapped at word boundaries
  kGroup,           // group box
  kButton,          // push button
  kCheck,           // check box
  kEdit,            // one-line edit box
  kMemo,            // multi-line edit box with a vertical scroll bar
  kCombo,           // drop-down list without typing
  kOwnerDrawCombo,  // the same, its entries drawn by the window (fixed height, with texts)
  kStatus,          // status bar with one simple text
  kTimer,           // no window: the owner's timer
};

// Where a control sits on its window's client area, in pixels. For the drop-down lists the
// height includes the list when it is open.
struct ControlLayout {
  const char* name;
  int id;
  ControlKind kind;
  int x, y, width, height;
};

// The layout line of the named control, or nothing.
const ControlLayout* FindLayout(const std::vector<ControlLayout>& layouts, const std::string& name);

// A window's text as UTF-8.
std::string WindowTextUtf8(HWND window);

class ControlMirror {
 public:
  // Runs a model call so that no error unwinds into the system's code.
  using Guard = std::function<void(const std::function<void()>&)>;

  // Creates the control's child window on `parent` and mirrors the model into it.
  HWND Create(Control& control, const ControlLayout& layout, HWND parent, HFONT font,
              ControlObserver* observer);
  // Copies the model's state into the control's window.
  void Mirror(Control& control);
  Control* ControlById(int id) const;
  HWND HandleOf(const Control& control) const;
  // The model's handling of a child's WM_COMMAND notification, run by `guard`. A focus that
  // left an edit box counts only when `exit_counts` says so.
  void Command(int id, int code, HWND child, const Guard& guard,
               const std::function<bool()>& exit_counts);

 private:
  std::map<const Control*, HWND> handles_;
  std::map<int, Control*> by_id_;
  std::map<const Control*, std::vector<std::string>> mirrored_items_;
  std::map<const Control*, TBounds> placed_;
};

}  // namespace corvale::win32
