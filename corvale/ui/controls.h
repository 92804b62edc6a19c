// Portable models of the window controls. Each holds its state and follows the rule of the
// windows it models: setting a check box or an edit text to a different value runs its handler,
// setting the same value runs nothing; enabling, captions and items are plain state.
// The Win32 window observes every model change and mirrors it into the real control.
// Owned and used on the main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvale {

class Control;

class ControlObserver {
 public:
  virtual ~ControlObserver() = default;
  virtual void ControlChanged(Control& control) = 0;
  // The program puts the keyboard focus into the control.
  virtual void FocusRequested(Control&) {}
};

// How a modal window closed, or mrNone while it is open.
enum class TModalResult { mrNone, mrOk, mrCancel };

// A place on a window's client area, in pixels.
struct TBounds {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool operator==(const TBounds&) const = default;
};

class Control {
 public:
  Control(std::string name, std::string caption) : name_(std::move(name)), caption_(caption) {}
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control() = default;

  const std::string& Name() const { return name_; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // Where the program placed the control; empty (no width) while the window's layout holds.
  const TBounds& Bounds() const { return bounds_; }
  void SetBounds(const TBounds& bounds);
  void SetFocus();
  // A number the program keeps with the control.
  int Tag = 0;

  void SetObserver(ControlObserver* observer) { observer_ = observer; }

 protected:
  void Changed();

 private:
  std::string name_;
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  TBounds bounds_;
  ControlObserver* observer_ = nullptr;
};

using Label = Control;

class Button : public Control {
 public:
  using Control::Control;
  std::function<void()> OnClick;
  void Click() {
    if (Enabled() && OnClick) OnClick();
  }
  // What a modal window closes with when the button is clicked; mrNone keeps it open.
  TModalResult ModalResult = TModalResult::mrNone;
};

class CheckBox : public Control {
 public:
  CheckBox(std::string name, std::string caption, bool checked)
      : Control(std::move(name), std::move(caption)), checked_(checked) {}
  bool Checked() const { return checked_; }
  // Runs OnClick when the state changes.
  void SetChecked(bool checked);
  std::function<void()> OnClick;

 private:
  bool checked_;
};

class EditBox : public Control {
 public:
  EditBox(std::string name, std::string text) : Control(std::move(name), ""), text_(text) {}
  const std::string& Text() const { return text_; }
  // Runs OnChange when the text changes (typing and program changes alike).
  void SetText(const std::string& text);
  // Focus leaves the box.
  void Exit() {
    if (OnExit) OnExit();
  }
  std::function<void()> OnChange;
  std::function<void()> OnExit;

 private:
  std::string text_;
};

// A drop-down list without typing: its text is the selected item's.
class ComboBox : public Control {
 public:
  using Control::Control;
  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  int ItemIndex() const { return item_index_; }
  // Selecting by program runs no handler.
  void SetItemIndex(int index);
  std::string Text() const;
  // The operator picks an entry: select it and run OnSelect.
  void Select(int index);
  std::function<void()> OnSelect;

 private:
  std::vector<std::string> items_;
  int item_index_ = -1;
};

// A multi-line text box; what the operator types stays in the window.
class Memo : public Control {
 public:
  explicit Memo(std::string name) : Control(std::move(name), "") {}
  const std::vector<std::string>& Lines() const { return lines_; }
  void Clear();
  void Add(const std::string& line);
  // The lines, each but the last followed by "\r\n".
  std::string Text() const;

 private:
  std::vector<std::string> lines_;
};

class StatusBar : public Control {
 public:
  using Control::Control;
  const std::string& SimpleText() const { return text_; }
  void SetSimpleText(const std::string& text);

 private:
  std::string text_;
};

// A window timer: while enabled, OnTimer runs every Interval milliseconds on the main thread.
class Timer : public Control {
 public:
  Timer(std::string name, uint32_t interval) : Control(std::move(name), ""), interval_(interval) {
    SetEnabled(false);
  }
  uint32_t Interval() const { return interval_; }
  void SetInterval(uint32_t interval) {
    if (interval_ == interval) return;
    interval_ = interval;
    Changed();
  }
  std::function<void()> OnTimer;
  void Tick() {
    if (Enabled() && OnTimer) OnTimer();
  }

 private:
  uint32_t interval_;
};

}  // namespace corvale
