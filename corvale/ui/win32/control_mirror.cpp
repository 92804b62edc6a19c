// Child windows of the model's controls: creation, mirroring and input.
#include "corvale/ui/win32/control_mirror.h"

#include <commctrl.h>

#include "corvale/platform/win32/wide_text.h"

namespace corvale::win32 {

const ControlLayout* FindLayout(const std::vector<ControlLayout>& layouts,
                                const std::string& name) {
  for (const ControlLayout& layout : layouts) {
    if (name == layout.name) return &layout;
  }
  return nullptr;
}

std::string WindowTextUtf8(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return Utf8(text);
}

HWND ControlMirror::Create(Control& control, const ControlLayout& layout, HWND parent, HFONT font,
                           ControlObserver* observer) {
  const char* window_class = "STATIC";
  DWORD style = WS_CHILD;
  DWORD ex_style = 0;
  switch (layout.kind) {
    case ControlKind::kLabel:
      style |= SS_LEFT | SS_NOPREFIX;
      break;
    case ControlKind::kGroup:
      window_class = "BUTTON";
      style |= BS_GROUPBOX;
      break;
    case ControlKind::kButton:
      window_class = "BUTTON";
      style |= BS_PUSHBUTTON | WS_TABSTOP;
      break;
    case ControlKind::kCheck:
      window_class = "BUTTON";
      style |= BS_AUTOCHECKBOX | WS_TABSTOP;
      break;
    case ControlKind::kEdit:
      window_class = "EDIT";
      style |= ES_AUTOHSCROLL | WS_TABSTOP;
      ex_style = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::kMemo:
      window_class = "EDIT";
      style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP;
      ex_style = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::kCombo:
      window_class = "COMBOBOX";
      style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
      break;
    case ControlKind::kOwnerDrawCombo:
      window_class = "COMBOBOX";
      style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP;
      break;
    case ControlKind::kStatus:
      window_class = STATUSCLASSNAMEA;  // no size grip: the windows cannot be resized
      break;
    case ControlKind::kTimer:
      return nullptr;
  }
  HWND child = CreateWindowExA(
      ex_style, window_class, "", style, layout.x, layout.y, layout.width, layout.height, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), GetModuleHandleA(nullptr), nullptr);
  SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  handles_[&control] = child;
  by_id_[layout.id] = &control;
  control.SetObserver(observer);
  Mirror(control);
  return child;
}

void ControlMirror::Mirror(Control& control) {
  auto found = handles_.find(&control);
  if (found == handles_.end()) return;
  HWND child = found->second;

  if (auto* edit = dynamic_cast<EditBox*>(&control)) {
    if (WindowTextUtf8(child) != edit->Text()) SetWindowTextW(child, Wide(edit->Text()).c_str());
  } else if (auto* memo = dynamic_cast<Memo*>(&control)) {
    // What the operator typed gives way to the program's text.
    if (WindowTextUtf8(child) != memo->Text()) SetWindowTextW(child, Wide(memo->Text()).c_str());
  } else if (auto* combo = dynamic_cast<ComboBox*>(&control)) {
    std::vector<std::string>& mirrored = mirrored_items_[&control];
    if (mirrored != combo->Items()) {
      SendMessageA(child, CB_RESETCONTENT, 0, 0);
      for (const std::string& item : combo->Items())
        SendMessageW(child, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
      mirrored = combo->Items();
    }
    SendMessageA(child, CB_SETCURSEL, static_cast<WPARAM>(combo->ItemIndex()), 0);
  } else if (auto* status = dynamic_cast<StatusBar*>(&control)) {
    SendMessageW(child, SB_SETTEXTW, 0,
                 reinterpret_cast<LPARAM>(Wide(status->SimpleText()).c_str()));
    UpdateWindow(child);  // shown at once, also while the engine works
  } else {
    if (WindowTextUtf8(child) != control.Caption())
      SetWindowTextW(child, Wide(control.Caption()).c_str());
    if (auto* check = dynamic_cast<CheckBox*>(&control)) {
      SendMessageA(child, BM_SETCHECK, check->Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
    }
  }
  const TBounds& bounds = control.Bounds();
  if (bounds.Width > 0 && placed_[&control] != bounds) {
    MoveWindow(child, bounds.Left, bounds.Top, bounds.Width, bounds.Height, TRUE);
    placed_[&control] = bounds;
  }
  EnableWindow(child, control.Enabled());
  ShowWindow(child, control.Visible() ? SW_SHOWNA : SW_HIDE);
}

Control* ControlMirror::ControlById(int id) const {
  auto found = by_id_.find(id);
  return found == by_id_.end() ? nullptr : found->second;
}

HWND ControlMirror::HandleOf(const Control& control) const {
  auto found = handles_.find(&control);
  return found == handles_.end() ? nullptr : found->second;
}

void ControlMirror::Command(int id, int code, HWND child, const Guard& guard,
                            const std::function<bool()>& exit_counts) {
  Control* control = ControlById(id);
  if (!control) return;
  if (auto* check = dynamic_cast<CheckBox*>(control)) {
    if (code == BN_CLICKED) {
      bool checked = SendMessageA(child, BM_GETCHECK, 0, 0) == BST_CHECKED;
      guard([&] { check->SetChecked(checked); });
    }
  } else if (auto* button = dynamic_cast<Button*>(control)) {
    if (code == BN_CLICKED) guard([&] { button->Click(); });
  } else if (auto* edit = dynamic_cast<EditBox*>(control)) {
    if (code == EN_CHANGE) {
      std::string text = WindowTextUtf8(child);
      guard([&] { edit->SetText(text); });
    } else if (code == EN_KILLFOCUS) {
      if (exit_counts()) guard([&] { edit->Exit(); });
    }
  } else if (auto* combo = dynamic_cast<ComboBox*>(control)) {
    if (code == CBN_SELCHANGE) {
      int index = static_cast<int>(SendMessageA(child, CB_GETCURSEL, 0, 0));
      guard([&] { combo->Select(index); });
    }
  }
}

}  // namespace corvale::win32
