// The Win32 main window: layout of the controls, mirroring and input.
#include "corvale/ui/win32/main_window.h"

#include <commctrl.h>

#include "corvale/platform/win32/wide_text.h"
#include "corvale/platform/win32/win32_event_loop.h"
#include "corvale/service/print_again_command.h"
#include "corvale/ui/win32/resource.h"

namespace corvale::win32 {

namespace {

constexpr char kClassName[] = "TForm1";
constexpr char kTitle[] = "Corvale";
constexpr int kClientWidth = 662;
constexpr int kClientHeight = 622;

using Kind = ControlKind;

// Positions on the 662 x 622 client area, top to bottom. One column of labels and one of
// boxes; rows 38 pixels apart inside the groups; labels 4 and check boxes 1 pixel below the top
// of the box beside them, so that their text lines up with the box's.
constexpr int kLabelX = 24;
constexpr int kLabelWidth = 86;
constexpr int kBoxX = 112;
constexpr int kBoxRight = 606;
constexpr int kBrowseX = 612;
constexpr int kRight = 650;  // right edge of the groups and of the rows above them
constexpr int kGroup1 = 88;
constexpr int kGroup2 = 327;
constexpr int kRow = 38;
// The row of buttons halfway between the Log group (bottom 513) and the status bar (top 600),
// centred: Start, Stop and Print again together, then Help and About.
constexpr int kButtonsY = 542;
const std::vector<ControlLayout> kLayout = {
    {"Label1", IDC_LABEL1, Kind::kLabel, kLabelX, 20, kLabelWidth, 14},
    {"cmbPrinter", IDC_CMBPRINTER, Kind::kCombo, kBoxX, 16, 300, 340},
    {"cbEnableEmulation", IDC_CBENABLEEMULATION, Kind::kCheck, kBoxX, 50, 300, 20},
    {"btnWizard", IDC_BTNWIZARD, Kind::kButton, kRight - 94, 14, 94, 26},
    {"Label5", IDC_LABEL5, Kind::kLabel, 440, 53, 124, 14},
    {"lblJobStatus", IDC_LBLJOBSTATUS, Kind::kLabel, 568, 53, kRight - 568, 14},
    {"GroupBox1", IDC_GROUPBOX1, Kind::kGroup, 12, kGroup1, kRight - 12, 186},
    {"Label2", IDC_LABEL2, Kind::kLabel, kLabelX, kGroup1 + 32, kLabelWidth, 14},
    {"edtInputFolder", IDC_EDTINPUTFOLDER, Kind::kEdit, kBoxX, kGroup1 + 28, kBoxRight - kBoxX, 21},
    {"btnBrowseInputFolder", IDC_BTNBROWSEINPUTFOLDER, Kind::kButton, kBrowseX, kGroup1 + 28,
     kRight - 12 - kBrowseX, 21},
    {"cbDeleteAFP", IDC_CBDELETEAFP, Kind::kCheck, kBoxX, kGroup1 + 28 + kRow + 1,
     kRight - 6 - kBoxX, 20},
    {"Label3", IDC_LABEL3, Kind::kLabel, kLabelX, kGroup1 + 32 + 2 * kRow, kLabelWidth, 14},
    {"edtDoneFolder", IDC_EDTDONEFOLDER, Kind::kEdit, kBoxX, kGroup1 + 28 + 2 * kRow,
     kBoxRight - kBoxX, 21},
    {"btnBrowseDoneFolder", IDC_BTNBROWSEDONEFOLDER, Kind::kButton, kBrowseX,
     kGroup1 + 28 + 2 * kRow, kRight - 12 - kBrowseX, 21},
    {"Label4", IDC_LABEL4, Kind::kLabel, kLabelX, kGroup1 + 32 + 3 * kRow, kLabelWidth, 14},
    {"edtQueueDepth", IDC_EDTQUEUEDEPTH, Kind::kEdit, kBoxX, kGroup1 + 28 + 3 * kRow, 60, 21},
    {"cbLog", IDC_CBLOG, Kind::kCheck, kLabelX, kGroup1 + 186 + 16, 200, 20},
    {"cbAutoRun", IDC_CBAUTORUN, Kind::kCheck, 330, kGroup1 + 186 + 16, 300, 20},
    {"GroupBox2", IDC_GROUPBOX2, Kind::kGroup, 12, kGroup2, kRight - 12, 186},
    {"Label6", IDC_LABEL6, Kind::kLabel, kLabelX, kGroup2 + 32, kLabelWidth, 14},
    {"edtLogFile", IDC_EDTLOGFILE, Kind::kEdit, kBoxX, kGroup2 + 28, kBoxRight - kBoxX, 21},
    {"btnBrowseLogFile", IDC_BTNBROWSELOGFILE, Kind::kButton, kBrowseX, kGroup2 + 28,
     kRight - 12 - kBrowseX, 21},
    {"cbLogDeleteBySize", IDC_CBLOGDELETEBYSIZE, Kind::kCheck, kLabelX, kGroup2 + 29 + kRow, 158,
     20},
    {"edtMB", IDC_EDTMB, Kind::kEdit, 190, kGroup2 + 28 + kRow, 50, 21},
    {"lblMB", IDC_LBLMB, Kind::kLabel, 246, kGroup2 + 32 + kRow, 40, 14},
    {"cbTimeStamp", IDC_CBTIMESTAMP, Kind::kCheck, kLabelX, kGroup2 + 29 + 2 * kRow, 300, 20},
    {"cbLogDeleteByDay", IDC_CBLOGDELETEBYDAY, Kind::kCheck, kLabelX, kGroup2 + 29 + 3 * kRow, 158,
     20},
    {"edtDays", IDC_EDTDAYS, Kind::kEdit, 190, kGroup2 + 28 + 3 * kRow, 50, 21},
    {"lblDays", IDC_LBLDAYS, Kind::kLabel, 246, kGroup2 + 32 + 3 * kRow, 40, 14},
    {"btnStart", IDC_BTNSTART, Kind::kButton, 12, kButtonsY, 84, 28},
    {"btnStop", IDC_BTNSTOP, Kind::kButton, 102, kButtonsY, 84, 28},
    {"btnPrintAgain", IDC_BTNPRINTAGAIN, Kind::kButton, 192, kButtonsY, 98, 28},
    {"btnExportSettings", IDC_BTNEXPORTSETTINGS, Kind::kButton, 296, kButtonsY, 84, 28},
    {"btnImportSettings", IDC_BTNIMPORTSETTINGS, Kind::kButton, 386, kButtonsY, 84, 28},
    {"btnHelp", IDC_BTNHELP, Kind::kButton, 476, kButtonsY, 84, 28},
    {"btnAbout", IDC_BTNABOUT, Kind::kButton, 566, kButtonsY, 84, 28},
    {"statBar", IDC_STATBAR, Kind::kStatus, 0, 0, 0, 0},
    {"Timer1", IDT_TIMER1, Kind::kTimer, 0, 0, 0, 0},
    {"Timer2", IDT_TIMER2, Kind::kTimer, 0, 0, 0, 0},
    {"Timer3", IDT_TIMER3, Kind::kTimer, 0, 0, 0, 0},
    {"TimerAutoRun", IDT_TIMERAUTORUN, Kind::kTimer, 0, 0, 0, 0},
};

}  // namespace

MainWindow::MainWindow(TForm1& form, Win32EventLoop& loop, Win32Dialogs& dialogs)
    : form_(form), loop_(loop), dialogs_(dialogs) {}

MainWindow::~MainWindow() {
  for (Control* control : form_.AllControls()) control->SetObserver(nullptr);
  if (font_) DeleteObject(font_);
}

bool MainWindow::Create() {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_CORVALE));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kClassName;
  RegisterClassA(&window_class);

  // A fixed size: no sizing border and no maximize box.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT rect = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRect(&rect, style, FALSE);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  window_ = CreateWindowExA(WS_EX_CONTROLPARENT, kClassName, kTitle, style, x, y, width, height,
                            nullptr, nullptr, GetModuleHandleA(nullptr), this);
  if (!window_) return false;
  form_.Width = width;
  form_.Height = height;
  // A script's request may come from a process of lower integrity (an elevated Corvale).
  ChangeWindowMessageFilterEx(window_, WM_COPYDATA, MSGFLT_ALLOW, nullptr);
  dialogs_.SetOwner(window_);
  loop_.SetDialogWindow(window_);
  const auto owner = reinterpret_cast<std::uintptr_t>(window_);
  form_.InputFolderDialog.OwnerWindow = owner;
  form_.DoneFolderDialog.OwnerWindow = owner;

  HDC screen = GetDC(nullptr);
  const int font_height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  font_ = CreateFontA(font_height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                      DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
  for (Control* control : form_.AllControls()) CreateControl(*control);
  return true;
}

void MainWindow::Show() {
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
}

void MainWindow::CreateControl(Control& control) {
  const ControlLayout* layout = FindLayout(kLayout, control.Name());
  if (!layout) return;
  if (layout->kind == Kind::kTimer) {
    timer_ids_[&control] = layout->id;
    by_timer_id_[layout->id] = &control;
    control.SetObserver(this);
    ControlChanged(control);
    return;
  }
  mirror_.Create(control, *layout, window_, font_, this);
}

void MainWindow::ControlChanged(Control& control) {
  if (auto* timer = dynamic_cast<Timer*>(&control)) {
    if (!window_) return;
    UINT_PTR id = static_cast<UINT_PTR>(timer_ids_[&control]);
    if (timer->Enabled()) {
      SetTimer(window_, id, timer->Interval(), nullptr);
    } else {
      KillTimer(window_, id);
    }
    return;
  }
  mirror_.Mirror(control);
}

bool MainWindow::FocusStayedWithWindow() const {
  // A box that loses the focus because the window closes, is minimized or another program is
  // brought to the front is not checked: no message box may open then.
  if (closing_ || dialogs_.ModalOpen() || IsIconic(window_) || GetActiveWindow() != window_)
    return false;
  HWND focus = GetFocus();
  return !focus || focus == window_ || IsChild(window_, focus);
}

void MainWindow::OnCommand(int id, int code, HWND child) {
  mirror_.Command(
      id, code, child, [this](const std::function<void()>& handler) { form_.Guarded(handler); },
      [this] { return FocusStayedWithWindow(); });
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self && self->window_ == window) return self->Handle(message, wparam, lparam);
  return DefWindowProcA(window, message, wparam, lparam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
      return 0;
    case WM_TIMER: {
      auto found = by_timer_id_.find(static_cast<int>(wparam));
      if (found == by_timer_id_.end()) break;
      if (auto* timer = dynamic_cast<Timer*>(found->second))
        form_.GuardedUnattended([&] { timer->Tick(); });
      return 0;
    }
    case WM_SIZE: {
      HWND status = mirror_.HandleOf(form_.statBar);
      if (status) SendMessageA(status, WM_SIZE, 0, 0);
      break;
    }
    case WM_GETMINMAXINFO: {
      // Maximizing asks for the size answered here, in place.
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      if (form_.Width) {
        int width = info->ptMaxSize.x, height = info->ptMaxSize.y;
        bool resize = true;
        form_.FormCanResize(width, height, resize);
        if (resize) {
          info->ptMinTrackSize = {width, height};
          info->ptMaxTrackSize = {width, height};
          info->ptMaxSize = {width, height};
          RECT rect;
          GetWindowRect(window_, &rect);
          info->ptMaxPosition = {rect.left, rect.top};
        }
      }
      return 0;
    }
    case WM_WINDOWPOSCHANGING: {
      // Every resize request, whoever makes it, goes through FormCanResize.
      auto* pos = reinterpret_cast<WINDOWPOS*>(lparam);
      if (form_.Width && !(pos->flags & SWP_NOSIZE) && !IsIconic(window_)) {
        int width = pos->cx, height = pos->cy;
        bool resize = true;
        form_.FormCanResize(width, height, resize);
        if (resize) {
          pos->cx = width;
          pos->cy = height;
        } else {
          pos->flags |= SWP_NOSIZE;
        }
      }
      break;
    }
    case WM_COPYDATA: {
      // "corvale.exe /PrintFailedAgain [printer]" from a script: the answer is the exit code and
      // the jobs' counts (PrintAgainReply).
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
      if (!data || data->dwData != kPrintAgainRequest) break;
      const std::string printer(static_cast<const char*>(data->lpData),
                                data->lpData ? data->cbData : 0);
      const PrintServer::PrintAgainOutcome outcome = form_.PrintAgainRequested(printer);
      return static_cast<LRESULT>(
          PrintAgainReply(outcome.exit_code, outcome.jobs.moved, outcome.jobs.stayed));
    }
    case WM_QUERYENDSESSION:
      // Nothing needs the operator: the close runs at WM_ENDSESSION.
      return TRUE;
    case WM_ENDSESSION:
      if (wparam) {
        // Log-off or shutdown: Windows ends the process soon after this returns.
        closing_ = true;
        form_.EndSession();
        DestroyWindow(window_);
      }
      return 0;
    case kCloseRequestMessage:
      // "corvale.exe /Close" from a deployment script, in whatever session: the same close,
      // without a box, while nobody may be there to answer one.
      if (!closing_) {
        closing_ = true;
        form_.CloseOnRequest();
        DestroyWindow(window_);
      }
      return 0;
    case WM_CLOSE: {
      closing_ = true;
      bool close = true;
      form_.Guarded([&] { close = form_.FormCloseQuery(); });
      if (close) {
        form_.FormClose();
        DestroyWindow(window_);
      } else {
        closing_ = false;
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // Labels, check boxes and group boxes on the window's own face colour.
      HDC dc = reinterpret_cast<HDC>(wparam);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window_, message, wparam, lparam);
}

}  // namespace corvale::win32
