// gui_driver.exe: drives another process's windows from outside, one command per run, for the
// end-to-end tests under Wine. Exit code 0 on success, 1 on failure, 2 on bad usage.
#include "common/text.h"
#include "common/win32/windows_support.h"
#include "tools/gui_driver/selector.h"

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

using varnell::tools::ControlSelector;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr DWORD kPollMs = 20;
constexpr UINT kSendTimeoutMs = 5000;
// A handler that opens a modal box keeps a sent notification from returning; after this long
// the driver stops waiting for it.
constexpr UINT kNotifyTimeoutMs = 1000;
constexpr DWORD kAfterClickMs = 50;

struct Failure {
  std::string reason;
};

[[noreturn]] void Throw(const std::string& reason) {
  throw Failure{reason};
}

class Deadline {
 public:
  explicit Deadline(DWORD ms) : start_(GetTickCount()), ms_(ms) {}
  bool Passed() const { return GetTickCount() - start_ >= ms_; }

 private:
  DWORD start_;
  DWORD ms_;
};

std::string ClassOf(HWND h) {
  char name[256] = "";
  GetClassNameA(h, name, sizeof name);
  return name;
}

std::string CaptionOf(HWND h) {
  char text[1024] = "";
  GetWindowTextA(h, text, sizeof text);
  return text;
}

LRESULT Send(HWND h, UINT message, WPARAM w, LPARAM l, UINT timeout = kSendTimeoutMs) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(h, message, w, l, SMTO_NORMAL, timeout, &result))
    Throw("window " + ClassOf(h) + " did not answer message " + std::to_string(message));
  return static_cast<LRESULT>(result);
}

LRESULT SendW(HWND h, UINT message, WPARAM w, LPARAM l) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(h, message, w, l, SMTO_NORMAL, kSendTimeoutMs, &result))
    Throw("window " + ClassOf(h) + " did not answer message " + std::to_string(message));
  return static_cast<LRESULT>(result);
}

// Sends a notification whose handler may open a modal box: returns once the handler is done,
// or after a short wait while the box is open.
void Notify(HWND h, UINT message, WPARAM w, LPARAM l) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(h, message, w, l, SMTO_NORMAL, kNotifyTimeoutMs, &result) &&
      GetLastError() != ERROR_TIMEOUT && GetLastError() != 0)
    Throw("window " + ClassOf(h) + " did not take message " + std::to_string(message));
}

// WM_GETTEXT is marshalled between processes, unlike GetWindowText on another process's control.
std::string TextOf(HWND h) {
  LRESULT length = Send(h, WM_GETTEXTLENGTH, 0, 0);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  LRESULT copied = Send(h, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(copied < 0 ? 0 : copied));
  return text;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string text(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), text.data(), n,
                      nullptr, nullptr);
  return text;
}

// --- Finding windows -----------------------------------------------------------------------

struct CaptionSearch {
  const std::string* caption;
  HWND visible = nullptr;
  HWND any = nullptr;
};

BOOL CALLBACK CollectByCaption(HWND h, LPARAM l) {
  auto* search = reinterpret_cast<CaptionSearch*>(l);
  if (CaptionOf(h) != *search->caption) return TRUE;
  if (!search->any) search->any = h;
  if (IsWindowVisible(h)) {
    search->visible = h;
    return FALSE;
  }
  return TRUE;
}

HWND FindTopLevel(const std::string& caption) {
  CaptionSearch search{&caption};
  EnumWindows(CollectByCaption, reinterpret_cast<LPARAM>(&search));
  return search.visible ? search.visible : search.any;
}

BOOL CALLBACK CollectChild(HWND h, LPARAM l) {
  reinterpret_cast<std::vector<HWND>*>(l)->push_back(h);
  return TRUE;
}

std::vector<HWND> ChildrenOf(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

HWND Resolve(HWND parent, const ControlSelector& selector) {
  int class_matches = 0;
  for (HWND child : ChildrenOf(parent)) {
    switch (selector.kind) {
      case ControlSelector::Kind::kId:
        if (GetDlgCtrlID(child) == selector.id) return child;
        break;
      case ControlSelector::Kind::kText:
        if (TextOf(child) == selector.text) return child;
        break;
      case ControlSelector::Kind::kClass:
        if (varnell::EqualsIgnoreCase(ClassOf(child), selector.text) &&
            class_matches++ == selector.index)
          return child;
        break;
    }
  }
  return nullptr;
}

class Driver {
 public:
  explicit Driver(DWORD timeout_ms) : timeout_ms_(timeout_ms) {}

  // The window, once it exists and (when asked) is visible and has child windows.
  HWND WaitWindow(const std::string& caption, bool visible, bool children) const {
    Deadline deadline(timeout_ms_);
    for (;;) {
      HWND h = FindTopLevel(caption);
      if (h && (!visible || IsWindowVisible(h)) && (!children || !ChildrenOf(h).empty())) return h;
      if (deadline.Passed()) {
        if (!h) Throw("no window \"" + caption + "\"");
        if (visible && !IsWindowVisible(h)) Throw("window \"" + caption + "\" is not visible");
        Throw("window \"" + caption + "\" has no controls");
      }
      Sleep(kPollMs);
    }
  }

  HWND WaitControl(const std::string& caption, const std::string& selector_text) const {
    std::optional<ControlSelector> selector = varnell::tools::ParseSelector(selector_text);
    if (!selector) Throw("bad selector \"" + selector_text + "\"");
    Deadline deadline(timeout_ms_);
    for (;;) {
      if (HWND h = FindTopLevel(caption)) {
        if (HWND control = Resolve(h, *selector)) return control;
      }
      if (deadline.Passed()) {
        if (!FindTopLevel(caption)) Throw("no window \"" + caption + "\"");
        Throw("no control " + selector_text + " in window \"" + caption + "\"");
      }
      Sleep(kPollMs);
    }
  }

  void WaitGone(const std::string& caption) const {
    Deadline deadline(timeout_ms_);
    while (FindTopLevel(caption)) {
      if (deadline.Passed()) Throw("window \"" + caption + "\" is still there");
      Sleep(kPollMs);
    }
  }

  HWND WaitMessageBox() const { return WaitMessageBox(timeout_ms_, true); }
  HWND WaitMessageBox(DWORD ms, bool must_appear) const;

  DWORD timeout_ms() const { return timeout_ms_; }

 private:
  DWORD timeout_ms_;
};

// A message box is a top-level dialog with its text in static 65535; a program's main window
// may be a dialog too, but without that static.
HWND MessageBoxText(HWND dialog) {
  HWND text = GetDlgItem(dialog, kMessageBoxTextId);
  return text && varnell::EqualsIgnoreCase(ClassOf(text), "Static") ? text : nullptr;
}

BOOL CALLBACK CollectMessageBox(HWND h, LPARAM l) {
  if (ClassOf(h) != "#32770" || !IsWindowVisible(h) || !MessageBoxText(h)) return TRUE;
  *reinterpret_cast<HWND*>(l) = h;
  return FALSE;
}

HWND FindMessageBox() {
  HWND found = nullptr;
  EnumWindows(CollectMessageBox, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND Driver::WaitMessageBox(DWORD ms, bool must_appear) const {
  Deadline deadline(ms);
  for (;;) {
    if (HWND box = FindMessageBox()) return box;
    if (deadline.Passed()) {
      if (must_appear) Throw("no message box appeared");
      return nullptr;
    }
    Sleep(kPollMs);
  }
}

void PrintMessageBox(HWND box) {
  std::printf("%s\n%s\n", CaptionOf(box).c_str(), TextOf(MessageBoxText(box)).c_str());
}

// --- Reading controls ---------------------------------------------------------------------

bool IsClass(HWND h, const char* name) {
  return varnell::EqualsIgnoreCase(ClassOf(h), name);
}

bool IsCheckBox(HWND h) {
  if (!IsClass(h, "Button")) return false;
  LONG type = GetWindowLongA(h, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
         type == BS_AUTO3STATE || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// SB_GETTEXT is not marshalled between processes: the buffer has to live in the target.
std::string StatusBarText(HWND bar) {
  WPARAM part = Send(bar, SB_ISSIMPLE, 0, 0) ? SB_SIMPLEID : 0;
  size_t length = LOWORD(Send(bar, SB_GETTEXTLENGTHA, part, 0));
  DWORD pid = 0;
  GetWindowThreadProcessId(bar, &pid);
  varnell::win32::ScopedKernelHandle process(
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
  if (!process) Throw("cannot open the status bar's process");
  const size_t size = length + 1 > 4096 ? length + 1 : 4096;
  void* remote = VirtualAllocEx(process.Get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  if (!remote) Throw("cannot allocate memory in the status bar's process");
  std::string text(size, '\0');
  SIZE_T read = 0;
  Send(bar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(remote));
  BOOL ok = ReadProcessMemory(process.Get(), remote, text.data(), size, &read);
  VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
  if (!ok) Throw("cannot read the status bar text");
  text.resize(std::min(text.find('\0'), length));
  return text;
}

// The ANSI CB_GETLBTEXT carries one character between processes; the wide one works.
std::string ComboItem(HWND combo, int index) {
  LRESULT length = SendW(combo, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR) Throw("no combo box item " + std::to_string(index));
  std::wstring item(static_cast<size_t>(length) + 1, L'\0');
  LRESULT copied = SendW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(item.data()));
  if (copied == CB_ERR) Throw("no combo box item " + std::to_string(index));
  item.resize(static_cast<size_t>(copied));
  return Narrow(item);
}

std::vector<std::string> ComboItems(HWND combo) {
  LRESULT count = Send(combo, CB_GETCOUNT, 0, 0);
  std::vector<std::string> items;
  for (int i = 0; i < count; ++i) items.push_back(ComboItem(combo, i));
  return items;
}

std::string ControlText(HWND control) {
  if (IsClass(control, STATUSCLASSNAMEA)) return StatusBarText(control);
  if (IsClass(control, "ComboBox")) {
    LRESULT selected = Send(control, CB_GETCURSEL, 0, 0);
    if (selected != CB_ERR) return ComboItem(control, static_cast<int>(selected));
  }
  return TextOf(control);
}

// --- Commands -----------------------------------------------------------------------------

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  size_t min_operands;
  size_t max_operands;
  int (*run)(const Driver& driver, const Args& operands);
};

int WaitWindowCommand(const Driver& driver, const Args& a) {
  HWND h = driver.WaitWindow(a[0], true, false);
  std::printf("0x%lx\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(h)));
  return kOk;
}

int WaitGoneCommand(const Driver& driver, const Args& a) {
  driver.WaitGone(a[0]);
  return kOk;
}

int ListControlsCommand(const Driver& driver, const Args& a) {
  HWND window = driver.WaitWindow(a[0], false, true);
  for (HWND child : ChildrenOf(window)) {
    const char* checked = "-";
    if (IsCheckBox(child)) checked = Send(child, BM_GETCHECK, 0, 0) == BST_CHECKED ? "1" : "0";
    std::printf("%d\t%s\t%s\t%d\t%d\t%s\n", GetDlgCtrlID(child), ClassOf(child).c_str(),
                varnell::tools::EscapeForListing(TextOf(child)).c_str(),
                IsWindowEnabled(child) ? 1 : 0, IsWindowVisible(child) ? 1 : 0, checked);
  }
  return kOk;
}

int GetTextCommand(const Driver& driver, const Args& a) {
  std::printf("%s\n", ControlText(driver.WaitControl(a[0], a[1])).c_str());
  return kOk;
}

int StatusTextCommand(const Driver& driver, const Args& a) {
  std::printf(
      "%s\n",
      StatusBarText(driver.WaitControl(a[0], std::string("class:") + STATUSCLASSNAMEA)).c_str());
  return kOk;
}

int SetTextCommand(const Driver& driver, const Args& a) {
  HWND control = driver.WaitControl(a[0], a[1]);
  Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a[2].c_str()));
  return kOk;
}

// The target sees one change per keystroke.
int TypeTextCommand(const Driver& driver, const Args& a) {
  HWND control = driver.WaitControl(a[0], a[1]);
  const std::string& text = a[2];
  if (text.empty()) Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  for (size_t n = 1; n <= text.size(); ++n) {
    std::string prefix = text.substr(0, n);
    Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(prefix.c_str()));
  }
  return kOk;
}

// What the parent hears when the user tabs out of an edit box.
int LeaveCommand(const Driver& driver, const Args& a) {
  HWND control = driver.WaitControl(a[0], a[1]);
  Notify(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), EN_KILLFOCUS),
         reinterpret_cast<LPARAM>(control));
  return kOk;
}

// Posted, never sent: a handler that opens a message box would block a sent click.
void Click(HWND control) {
  if (!PostMessageA(control, BM_CLICK, 0, 0)) Throw("cannot post a click");
  Sleep(kAfterClickMs);
}

int ClickCommand(const Driver& driver, const Args& a) {
  Click(driver.WaitControl(a[0], a[1]));
  return kOk;
}

// The window that has the keyboard focus in the thread that owns `window`.
HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

// A mouse click into the control, as the user's: an edit box takes the focus from another.
// Done when the control has the focus, or a box that the move opened has it.
int FocusCommand(const Driver& driver, const Args& a) {
  HWND control = driver.WaitControl(a[0], a[1]);
  if (FocusOf(control) == control) return kOk;
  const LPARAM at = MAKELPARAM(3, 3);
  if (!PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, at) ||
      !PostMessageA(control, WM_LBUTTONUP, 0, at))
    Throw("cannot post a mouse click");
  HWND window = GetAncestor(control, GA_ROOT);
  Deadline deadline(driver.timeout_ms());
  for (;;) {
    HWND focus = FocusOf(control);
    if (focus == control || (focus && GetAncestor(focus, GA_ROOT) != window)) return kOk;
    if (deadline.Passed()) Throw("control " + a[1] + " did not take the focus");
    Sleep(kPollMs);
  }
}

// The Tab key pressed in the window's focused control: the focus moves on (or to a box the
// move opened).
int PressTabCommand(const Driver& driver, const Args& a) {
  HWND window = driver.WaitWindow(a[0], true, true);
  HWND focus = FocusOf(window);
  if (!focus) Throw("nothing has the focus in window \"" + a[0] + "\"");
  if (!PostMessageA(focus, WM_KEYDOWN, VK_TAB, 1) ||
      !PostMessageA(focus, WM_KEYUP, VK_TAB, 0xC0000001))
    Throw("cannot post the Tab key");
  Deadline deadline(driver.timeout_ms());
  while (FocusOf(window) == focus) {
    if (deadline.Passed()) Throw("the focus did not move");
    Sleep(kPollMs);
  }
  return kOk;
}

int GetCheckCommand(const Driver& driver, const Args& a) {
  std::printf("%d\n", static_cast<int>(Send(driver.WaitControl(a[0], a[1]), BM_GETCHECK, 0, 0)));
  return kOk;
}

// 1 when the control takes input, 0 when it is greyed.
int EnabledCommand(const Driver& driver, const Args& a) {
  std::printf("%d\n", IsWindowEnabled(driver.WaitControl(a[0], a[1])) ? 1 : 0);
  return kOk;
}

int SetCheckCommand(const Driver& driver, const Args& a) {
  if (a[2] != "0" && a[2] != "1") return kUsage;
  const LRESULT wanted = a[2] == "1" ? BST_CHECKED : BST_UNCHECKED;
  HWND box = driver.WaitControl(a[0], a[1]);
  if (Send(box, BM_GETCHECK, 0, 0) == wanted) return kOk;
  Click(box);
  Deadline deadline(driver.timeout_ms());
  while (Send(box, BM_GETCHECK, 0, 0) != wanted) {
    if (deadline.Passed()) Throw("check box " + a[1] + " did not change");
    Sleep(kPollMs);
  }
  return kOk;
}

int ComboItemsCommand(const Driver& driver, const Args& a) {
  for (const std::string& item : ComboItems(driver.WaitControl(a[0], a[1])))
    std::printf("%s\n", item.c_str());
  return kOk;
}

// An entry given as <index> or text:<item>.
std::optional<int> ItemIndex(HWND combo, const std::string& wanted) {
  if (wanted.starts_with("text:")) {
    std::vector<std::string> items = ComboItems(combo);
    for (size_t i = 0; i < items.size(); ++i) {
      if (items[i] == wanted.substr(5)) return static_cast<int>(i);
    }
    Throw("no combo box item \"" + wanted.substr(5) + "\"");
  }
  return varnell::tools::ParseCount(wanted);
}

// Selects like a user's pick: the parent hears CBN_SELCHANGE.
int ComboSelectCommand(const Driver& driver, const Args& a) {
  HWND combo = driver.WaitControl(a[0], a[1]);
  std::optional<int> index = ItemIndex(combo, a[2]);
  if (!index) return kUsage;
  if (Send(combo, CB_SETCURSEL, *index, 0) == CB_ERR)
    Throw("cannot select combo box item " + std::to_string(*index));
  Notify(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
         reinterpret_cast<LPARAM>(combo));
  return kOk;
}

// The open list of a drop-down combo box: a window of class ComboLBox of the combo's thread.
struct DroppedListSearch {
  DWORD thread;
  HWND found = nullptr;
};

BOOL CALLBACK CollectDroppedList(HWND h, LPARAM l) {
  auto* search = reinterpret_cast<DroppedListSearch*>(l);
  if (GetWindowThreadProcessId(h, nullptr) == search->thread && IsClass(h, "ComboLBox") &&
      IsWindowVisible(h)) {
    search->found = h;
    return FALSE;
  }
  return TRUE;
}

HWND DroppedList(HWND combo) {
  DroppedListSearch search{GetWindowThreadProcessId(combo, nullptr)};
  EnumWindows(CollectDroppedList, reinterpret_cast<LPARAM>(&search));
  if (!search.found)
    EnumChildWindows(GetDesktopWindow(), CollectDroppedList, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Opens (1) or closes (0) a combo box's list; returns once it is so.
void DropList(const Driver& driver, HWND combo, bool open) {
  Send(combo, CB_SHOWDROPDOWN, open ? TRUE : FALSE, 0);
  Deadline deadline(driver.timeout_ms());
  while ((Send(combo, CB_GETDROPPEDSTATE, 0, 0) != 0) != open) {
    if (deadline.Passed()) Throw(open ? "the list did not open" : "the list did not close");
    Sleep(kPollMs);
  }
}

int ComboDropCommand(const Driver& driver, const Args& a) {
  if (a[2] != "0" && a[2] != "1") return kUsage;
  DropList(driver, driver.WaitControl(a[0], a[1]), a[2] == "1");
  return kOk;
}

// The user's pick: the list opened and the entry clicked with the mouse, also an owner-drawn
// entry and the one already selected. Done when the list has closed.
int ComboPickCommand(const Driver& driver, const Args& a) {
  HWND combo = driver.WaitControl(a[0], a[1]);
  std::optional<int> index = ItemIndex(combo, a[2]);
  if (!index) return kUsage;
  if (*index >= Send(combo, CB_GETCOUNT, 0, 0))
    Throw("no combo box item " + std::to_string(*index));
  DropList(driver, combo, true);
  HWND list = DroppedList(combo);
  if (!list) Throw("the open list was not found");
  // Scroll the entry into view, then click the middle of its row.
  const LRESULT height = Send(list, LB_GETITEMHEIGHT, 0, 0);
  RECT client = {};
  GetClientRect(list, &client);
  const int rows = height > 0 ? static_cast<int>(client.bottom / height) : 1;
  LRESULT top = Send(list, LB_GETTOPINDEX, 0, 0);
  if (*index < top || *index >= top + rows) {
    Send(list, LB_SETTOPINDEX, *index, 0);
    top = Send(list, LB_GETTOPINDEX, 0, 0);
  }
  const LPARAM at =
      MAKELPARAM(client.right / 2, static_cast<int>((*index - top) * height + height / 2));
  if (!PostMessageA(list, WM_MOUSEMOVE, 0, at) ||
      !PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at) ||
      !PostMessageA(list, WM_LBUTTONUP, 0, at))
    Throw("cannot post a mouse click");
  Deadline deadline(driver.timeout_ms());
  while (Send(combo, CB_GETDROPPEDSTATE, 0, 0)) {
    if (deadline.Passed()) Throw("the list did not close after the click");
    Sleep(kPollMs);
  }
  if (Send(combo, CB_GETCURSEL, 0, 0) != *index)
    Throw("the click selected entry " + std::to_string(Send(combo, CB_GETCURSEL, 0, 0)));
  return kOk;
}

int MessageBoxCommand(const Driver& driver, const Args&) {
  PrintMessageBox(driver.WaitMessageBox());
  return kOk;
}

int AnswerMessageBoxCommand(const Driver& driver, const Args& a) {
  int button_id = IDOK;
  if (!a.empty()) {
    std::optional<int> id = varnell::tools::ParseCount(a[0]);
    if (!id) return kUsage;
    button_id = *id;
  }
  HWND box = driver.WaitMessageBox();
  PrintMessageBox(box);
  std::fflush(stdout);
  HWND button = GetDlgItem(box, button_id);
  if (!button) Throw("the message box has no button " + std::to_string(button_id));
  Click(button);
  Deadline deadline(driver.timeout_ms());
  while (IsWindow(box)) {
    if (deadline.Passed()) Throw("the message box is still open");
    Sleep(kPollMs);
  }
  return kOk;
}

int NoMessageBoxCommand(const Driver& driver, const Args& a) {
  std::optional<int> ms = varnell::tools::ParseCount(a[0]);
  if (!ms) return kUsage;
  if (HWND box = driver.WaitMessageBox(static_cast<DWORD>(*ms), false)) {
    PrintMessageBox(box);
    Throw("a message box appeared");
  }
  return kOk;
}

int CloseCommand(const Driver& driver, const Args& a) {
  HWND h = driver.WaitWindow(a[0], false, false);
  if (!PostMessageA(h, WM_CLOSE, 0, 0)) Throw("cannot post WM_CLOSE");
  Deadline deadline(driver.timeout_ms());
  while (IsWindow(h)) {
    if (deadline.Passed()) Throw("window \"" + a[0] + "\" did not close");
    Sleep(kPollMs);
  }
  return kOk;
}

// What Windows asks of a window at log-off: WM_QUERYENDSESSION, then WM_ENDSESSION with the
// answer. Prints the answer (1: it may end); returns once the window has handled both.
int EndSessionCommand(const Driver& driver, const Args& a) {
  HWND h = driver.WaitWindow(a[0], false, false);
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(h, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL,
                           driver.timeout_ms(), &answer))
    Throw("no answer to WM_QUERYENDSESSION");
  DWORD_PTR ignored = 0;
  if (!SendMessageTimeoutA(h, WM_ENDSESSION, answer ? TRUE : FALSE, ENDSESSION_LOGOFF, SMTO_NORMAL,
                           driver.timeout_ms(), &ignored) &&
      IsWindow(h))
    Throw("WM_ENDSESSION was not handled in time");
  std::printf("%d\n", answer ? 1 : 0);
  return kOk;
}

// Puts the mouse pointer at a place of the screen: a pointer resting on a themed control keeps
// Wine polling for the end of the hover, which a measurement of idle time must not count.
int MoveMouseCommand(const Driver&, const Args& a) {
  std::optional<int> x = varnell::tools::ParseCount(a[0]);
  std::optional<int> y = varnell::tools::ParseCount(a[1]);
  if (!x || !y) return kUsage;
  if (!SetCursorPos(*x, *y)) Throw("SetCursorPos failed");
  return kOk;
}

int MinimizedCommand(const Driver& driver, const Args& a) {
  std::printf("%d\n", IsIconic(driver.WaitWindow(a[0], false, false)) ? 1 : 0);
  return kOk;
}

int WindowRectCommand(const Driver& driver, const Args& a) {
  RECT client = {};
  if (!GetClientRect(driver.WaitWindow(a[0], false, false), &client))
    Throw("cannot read the client area");
  std::printf("%ld %ld\n", client.right - client.left, client.bottom - client.top);
  return kOk;
}

// The whole window on the screen: x y width height.
int ScreenRectCommand(const Driver& driver, const Args& a) {
  RECT rect = {};
  if (!GetWindowRect(driver.WaitWindow(a[0], false, false), &rect))
    Throw("cannot read the window's place");
  std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
              rect.bottom - rect.top);
  return kOk;
}

// What the maximize button asks for; returns once the window is maximized or has refused.
int MaximizeCommand(const Driver& driver, const Args& a) {
  HWND h = driver.WaitWindow(a[0], false, false);
  if (!ShowWindowAsync(h, SW_MAXIMIZE)) Throw("cannot ask the window to maximize");
  // A round trip through the window's queue: the request has been handled after it.
  Send(h, WM_NULL, 0, 0);
  return kOk;
}

// For `seconds`, asks the window every 100 ms for an answer (WM_NULL) and prints the longest
// time it took to answer, in milliseconds, and how many answers it gave.
int AnswerTimeCommand(const Driver& driver, const Args& a) {
  std::optional<int> seconds = varnell::tools::ParseCount(a[1]);
  if (!seconds) return kUsage;
  HWND h = driver.WaitWindow(a[0], false, false);
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(*seconds) * 1000;
  ULONGLONG longest = 0;
  int answers = 0;
  while (GetTickCount64() < end) {
    const ULONGLONG asked = GetTickCount64();
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(h, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result)) break;
    longest = std::max(longest, GetTickCount64() - asked);
    ++answers;
    Sleep(100);
  }
  std::printf("%llu %d\n", longest, answers);
  return kOk;
}

int SendResizeCommand(const Driver& driver, const Args& a) {
  std::optional<int> width = varnell::tools::ParseCount(a[1]);
  std::optional<int> height = varnell::tools::ParseCount(a[2]);
  if (!width || !height) return kUsage;
  HWND h = driver.WaitWindow(a[0], false, false);
  if (!SetWindowPos(h, nullptr, 0, 0, *width, *height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE))
    Throw("SetWindowPos failed");
  return kOk;
}

constexpr Command kCommands[] = {
    {"wait-window", 1, 1, WaitWindowCommand},
    {"wait-gone", 1, 1, WaitGoneCommand},
    {"list-controls", 1, 1, ListControlsCommand},
    {"get-text", 2, 2, GetTextCommand},
    {"status-text", 1, 1, StatusTextCommand},
    {"answer-time", 2, 2, AnswerTimeCommand},
    {"set-text", 3, 3, SetTextCommand},
    {"type-text", 3, 3, TypeTextCommand},
    {"leave", 2, 2, LeaveCommand},
    {"click", 2, 2, ClickCommand},
    {"focus", 2, 2, FocusCommand},
    {"press-tab", 1, 1, PressTabCommand},
    {"get-check", 2, 2, GetCheckCommand},
    {"enabled", 2, 2, EnabledCommand},
    {"set-check", 3, 3, SetCheckCommand},
    {"combo-items", 2, 2, ComboItemsCommand},
    {"combo-select", 3, 3, ComboSelectCommand},
    {"combo-pick", 3, 3, ComboPickCommand},
    {"combo-drop", 3, 3, ComboDropCommand},
    {"message-box", 0, 0, MessageBoxCommand},
    {"answer-message-box", 0, 1, AnswerMessageBoxCommand},
    {"no-message-box", 1, 1, NoMessageBoxCommand},
    {"close", 1, 1, CloseCommand},
    {"end-session", 1, 1, EndSessionCommand},
    {"move-mouse", 2, 2, MoveMouseCommand},
    {"minimized", 1, 1, MinimizedCommand},
    {"window-rect", 1, 1, WindowRectCommand},
    {"send-resize", 3, 3, SendResizeCommand},
    {"screen-rect", 1, 1, ScreenRectCommand},
    {"maximize", 1, 1, MaximizeCommand},
};

int Usage() {
  std::fputs(
      "usage: gui_driver [--timeout <ms>] <command> ...\n"
      "  wait-window|wait-gone|list-controls|status-text|close|minimized|window-rect <caption>\n"
      "  end-session <caption> | move-mouse <x> <y>\n"
      "  screen-rect|maximize|press-tab <caption>\n"
      "  get-text|leave|click|focus|get-check|enabled|combo-items <caption> <selector>\n"
      "  set-text|type-text <caption> <selector> <text>\n"
      "  set-check <caption> <selector> 0|1\n"
      "  combo-select|combo-pick <caption> <selector> <index|text:item>\n"
      "  combo-drop <caption> <selector> 0|1\n"
      "  send-resize <caption> <width> <height> | answer-time <caption> <seconds>\n"
      "  message-box | answer-message-box [button-id] | no-message-box <ms>\n"
      "selector: <control id> | text:<exact text> | class:<class name>[#n]\n",
      stderr);
  return kUsage;
}

// `--timeout <ms>` anywhere among the options; the remaining arguments in order.
bool TakeTimeout(Args& args, DWORD& timeout_ms) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--timeout") continue;
    if (i + 1 >= args.size()) return false;
    std::optional<int> ms = varnell::tools::ParseCount(args[i + 1]);
    if (!ms) return false;
    timeout_ms = static_cast<DWORD>(*ms);
    args.erase(args.begin() + i, args.begin() + i + 2);
    return true;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // lines end in LF for the shell scripts that read them
  Args args(argv + 1, argv + argc);
  DWORD timeout_ms = 10000;
  // The global option comes before the command; the message-box commands also take it after.
  if (!args.empty() && args[0] == "--timeout") {
    Args global(args.begin(), args.begin() + std::min<size_t>(2, args.size()));
    if (!TakeTimeout(global, timeout_ms) || !global.empty()) return Usage();
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.empty()) return Usage();
  const std::string name = args[0];
  Args operands(args.begin() + 1, args.end());
  if (name == "message-box" || name == "answer-message-box") {
    if (!TakeTimeout(operands, timeout_ms)) return Usage();
  }
  for (const Command& command : kCommands) {
    if (name != command.name) continue;
    if (operands.size() < command.min_operands || operands.size() > command.max_operands)
      return Usage();
    try {
      int result = command.run(Driver(timeout_ms), operands);
      if (result == kUsage) return Usage();
      return result;
    } catch (const Failure& failure) {
      std::fflush(stdout);
      std::fprintf(stderr, "gui_driver %s: %s\n", name.c_str(), failure.reason.c_str());
      return kFailed;
    }
  }
  return Usage();
}
