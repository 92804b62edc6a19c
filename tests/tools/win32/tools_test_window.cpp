// The window that the gui_driver test drives. Every notification it gets shows in the status bar.
#include "common/win32/windows_support.h"
#include "tests/tools/win32/tools_test_window_ids.h"

#include <commctrl.h>

#include <string>

namespace {

int g_changes = 0;

std::string ItemText(HWND dialog, int id) {
  char text[512] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

std::string SelectedPrinter(HWND dialog) {
  HWND combo = GetDlgItem(dialog, IDC_PRINTER);
  LRESULT selected = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  if (selected == CB_ERR) return std::string();
  char item[256] = "";
  SendMessageA(combo, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(item));
  return item;
}

void ShowStatus(HWND dialog, const std::string& text) {
  SendDlgItemMessageA(dialog, IDC_STATUS, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void OnCommand(HWND dialog, int id, int code) {
  if (id == IDC_FOLDER && code == EN_CHANGE) {
    ShowStatus(dialog, "Changes: " + std::to_string(++g_changes));
  } else if (id == IDC_FOLDER && code == EN_KILLFOCUS) {
    ShowStatus(dialog, "Left: " + ItemText(dialog, IDC_FOLDER));
  } else if (id == IDC_PRINTER && code == CBN_SELCHANGE) {
    ShowStatus(dialog, "Selected: " + SelectedPrinter(dialog));
  } else if (id == IDC_START && code == BN_CLICKED) {
    std::string text =
        "Folder: " + ItemText(dialog, IDC_FOLDER) + "\nPrinter: " + SelectedPrinter(dialog) +
        "\nDelete: " + (IsDlgButtonChecked(dialog, IDC_DELETE) == BST_CHECKED ? "1" : "0");
    int answer = MessageBoxA(dialog, text.c_str(), "Tools Test Message", MB_OKCANCEL);
    ShowStatus(dialog, answer == IDOK ? "Answered: OK" : "Answered: Cancel");
  }
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM w, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      HWND bar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0,
                                 0, 0, 0, dialog, reinterpret_cast<HMENU>(IDC_STATUS),
                                 GetModuleHandleA(nullptr), nullptr);
      int parts[] = {250, -1};
      SendMessageA(bar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
      SendMessageA(bar, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>("second part"));
      HWND combo = GetDlgItem(dialog, IDC_PRINTER);
      for (const char* item : {"Dorrow_Laser", "Office Laser 2", "Pellam_Ink"})
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
      SendMessageA(combo, CB_SETCURSEL, 0, 0);
      SetDlgItemTextA(dialog, IDC_FOLDER, "C:\\hot\\in");
      g_changes = 0;
      ShowStatus(dialog, "Ready");
      return TRUE;
    }
    case WM_SIZE:
      SendDlgItemMessageA(dialog, IDC_STATUS, WM_SIZE, 0, 0);
      return TRUE;
    case WM_COMMAND:
      OnCommand(dialog, LOWORD(w), HIWORD(w));
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(dialog);
      return TRUE;
    case WM_DESTROY:
      PostQuitMessage(0);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  HWND dialog =
      CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_TOOLS_TEST), nullptr, DialogProc, 0);
  if (!dialog) return 1;
  ShowWindow(dialog, SW_SHOW);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageA(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return 0;
}
