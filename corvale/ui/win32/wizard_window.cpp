// The setup wizard's dialog: layout, mirroring, the owner-drawn printer list and input.
#include "corvale/ui/win32/wizard_window.h"

#include <vector>

#include "corvale/engine/errors.h"
#include "corvale/platform/win32/wide_text.h"
#include "corvale/ui/win32/dialog_template.h"
#include "corvale/ui/win32/resource.h"

namespace corvale::win32 {

namespace {

constexpr wchar_t kCaption[] = L"Configuration Wizard";
constexpr int kClientWidth = 594;
constexpr int kClientHeight = 411;
constexpr int kItemHeight = 16;
constexpr int kRowsShown = 32;

using Kind = ControlKind;

// Positions on the 594 x 411 client area. Page 1 in one column 546 pixels wide, its labels
// tall enough for the lines their longest texts wrap to; the summary box takes the same
// column on page 2; the two buttons below, on both pages.
constexpr int kLeft = 24;
constexpr int kWidth = 546;
constexpr int kBoxX = 136;
constexpr int kRight = kLeft + kWidth;
const std::vector<ControlLayout> kLayout = {
    {"Label1", IDC_WIZ_LABEL1, Kind::kLabel, kLeft, 20, kWidth, 28},
    {"Label2", IDC_WIZ_LABEL2, Kind::kLabel, kLeft, 58, kWidth, 28},
    {"Label3", IDC_WIZ_LABEL3, Kind::kLabel, kLeft, 100, kBoxX - kLeft - 4, 14},
    {"Edit1", IDC_WIZ_EDIT1, Kind::kEdit, kBoxX, 96, kRight - 38 - kBoxX, 21},
    {"btnBrowse", IDC_WIZ_BTNBROWSE, Kind::kButton, kRight - 32, 96, 32, 21},
    {"Label4", IDC_WIZ_LABEL4, Kind::kLabel, kLeft, 130, kWidth, 68},
    {"Label6", IDC_WIZ_LABEL6, Kind::kLabel, kLeft, 206, kWidth, 14},
    {"Label5", IDC_WIZ_LABEL5, Kind::kLabel, kLeft, 236, kBoxX - kLeft - 4, 14},
    {"ComboBox1", IDC_WIZ_COMBOBOX1, Kind::kOwnerDrawCombo, kBoxX, 232, kRight - kBoxX,
     kItemHeight + 8 + kRowsShown* kItemHeight + 2},
    {"Label7", IDC_WIZ_LABEL7, Kind::kLabel, kLeft, 266, kWidth, 42},
    {"Memo1", IDC_WIZ_MEMO1, Kind::kMemo, kLeft, 20, kWidth, 320},
    {"btnOK", IDC_WIZ_BTNOK, Kind::kButton, kRight - 196, 366, 96, 26},
    {"btnCancel", IDC_WIZ_BTNCANCEL, Kind::kButton, kRight - 96, 366, 96, 26},
};

// An entry of the printer list drawn in the colours of its state.
class Win32ItemCanvas : public ItemCanvas {
 public:
  explicit Win32ItemCanvas(const DRAWITEMSTRUCT& item)
      : dc_(item.hDC),
        selected_((item.itemState & ODS_SELECTED) != 0),
        disabled_((item.itemState & ODS_DISABLED) != 0) {}

  void FillRect(const TRect& rect) override {
    RECT area = Win32Rect(rect);
    ::FillRect(dc_, &area, GetSysColorBrush(selected_ ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  }
  void DrawCheckBox(const TRect& rect, bool checked) override {
    RECT area = Win32Rect(rect);
    DrawFrameControl(dc_, &area, DFC_BUTTON,
                     DFCS_BUTTONCHECK | DFCS_FLAT | (checked ? DFCS_CHECKED : 0));
  }
  void WriteText(int x, int y, const std::string& text) override {
    const std::wstring wide = Wide(text);
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, GetSysColor(disabled_   ? COLOR_GRAYTEXT
                                  : selected_ ? COLOR_HIGHLIGHTTEXT
                                              : COLOR_WINDOWTEXT));
    TextOutW(dc_, x, y, wide.c_str(), static_cast<int>(wide.size()));
  }

 private:
  static RECT Win32Rect(const TRect& rect) {
    return {rect.Left, rect.Top, rect.Right, rect.Bottom};
  }

  HDC dc_;
  bool selected_;
  bool disabled_;
};

}  // namespace

WizardWindow::~WizardWindow() {
  for (Control* control : form_.AllControls()) control->SetObserver(nullptr);
}

TModalResult WizardWindow::ShowModal(HWND owner, const std::function<void(HWND)>& opened) {
  owner_ = owner;
  opened_ = opened;
  form_.ModalResult = TModalResult::mrNone;
  // Sized in pixels once it exists.
  DialogTemplate wizard(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 396, 268, kCaption);
  const INT_PTR shown = DialogBoxIndirectParamW(GetModuleHandleA(nullptr), wizard.Get(), owner,
                                                DialogProc, reinterpret_cast<LPARAM>(this));
  if (error_) std::rethrow_exception(error_);
  if (shown == -1) throw Error(varnell::win32::SystemErrorText(GetLastError()));
  return form_.ModalResult == TModalResult::mrNone ? TModalResult::mrCancel : form_.ModalResult;
}

INT_PTR CALLBACK WizardWindow::DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lparam);
    reinterpret_cast<WizardWindow*>(lparam)->dialog_ = dialog;
  }
  auto* self = reinterpret_cast<WizardWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (!self || self->dialog_ != dialog) return FALSE;
  return self->Handle(message, wparam, lparam);
}

void WizardWindow::Initialize() {
  // The client area in pixels, centred on the main window.
  RECT frame = {}, client = {}, owner = {};
  GetWindowRect(dialog_, &frame);
  GetClientRect(dialog_, &client);
  const int width = kClientWidth + (frame.right - frame.left) - client.right;
  const int height = kClientHeight + (frame.bottom - frame.top) - client.bottom;
  if (!owner_ || !GetWindowRect(owner_, &owner))
    owner = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const int x = owner.left + ((owner.right - owner.left) - width) / 2;
  const int y = owner.top + ((owner.bottom - owner.top) - height) / 2;
  SetWindowPos(dialog_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

  // The dialog's own font, MS Sans Serif 8 point, for every control.
  auto font = reinterpret_cast<HFONT>(SendMessageA(dialog_, WM_GETFONT, 0, 0));
  for (Control* control : form_.AllControls()) {
    if (const ControlLayout* layout = FindLayout(kLayout, control->Name()))
      mirror_.Create(*control, *layout, dialog_, font, this);
  }
  HWND list = mirror_.HandleOf(form_.ComboBox1);
  SendMessageA(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), kItemHeight);
  SendMessageA(list, CB_SETITEMHEIGHT, 0, kItemHeight);
  form_.BaseFolderDialog.OwnerWindow = reinterpret_cast<std::uintptr_t>(dialog_);
  if (opened_) opened_(dialog_);
  SetFocus(mirror_.HandleOf(form_.Edit1));
}

void WizardWindow::ControlChanged(Control& control) {
  mirror_.Mirror(control);
}

void WizardWindow::FocusRequested(Control& control) {
  if (HWND child = mirror_.HandleOf(control))
    SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(child), TRUE);
}

void WizardWindow::Run(const std::function<void()>& handler) {
  // No error may unwind through the dialog's code: it ends the wizard and is raised once the
  // wizard has closed.
  try {
    handler();
  } catch (...) {
    error_ = std::current_exception();
    Close(TModalResult::mrCancel);
    return;
  }
  if (form_.ModalResult != TModalResult::mrNone) EndDialog(dialog_, 0);
}

void WizardWindow::Close(TModalResult result) {
  form_.ModalResult = result;
  EndDialog(dialog_, 0);
}

void WizardWindow::DrawItem(const DRAWITEMSTRUCT& item) {
  Win32ItemCanvas canvas(item);
  const TRect rect{item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom};
  Run([&] { form_.ComboBox1DrawItem(canvas, static_cast<int>(item.itemID), rect); });
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT))
    DrawFocusRect(item.hDC, &item.rcItem);
}

INT_PTR WizardWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      Initialize();
      return FALSE;  // the focus is set
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      if (item->CtlID != IDC_WIZ_COMBOBOX1) return FALSE;
      item->itemHeight = kItemHeight;
      return TRUE;
    }
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
      if (item->CtlID != IDC_WIZ_COMBOBOX1) return FALSE;
      DrawItem(*item);
      return TRUE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      // Escape, like the window's close box, ends the wizard as Cancel.
      if (id == IDCANCEL) {
        Close(TModalResult::mrCancel);
        return TRUE;
      }
      mirror_.Command(
          id, HIWORD(wparam), reinterpret_cast<HWND>(lparam),
          [this](const std::function<void()>& handler) { Run(handler); }, [] { return true; });
      return TRUE;
    }
    case WM_CLOSE:
      Close(TModalResult::mrCancel);
      return TRUE;
    case WM_DESTROY:
      // The model outlives its window.
      for (Control* control : form_.AllControls()) control->SetObserver(nullptr);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace corvale::win32
