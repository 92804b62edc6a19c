// The About window: a dialog template in memory, so that it needs no resource script.
#include "corvale/ui/win32/about_box.h"

#include "corvale/platform/win32/wide_text.h"
#include "corvale/ui/win32/dialog_template.h"
#include "corvale/ui/win32/resource.h"

namespace corvale::win32 {

namespace {

constexpr WORD kButtonClass = 0x0080;
constexpr WORD kStaticClass = 0x0082;
constexpr WORD kIconId = 201;
constexpr WORD kNameId = 202;
constexpr WORD kVersionLabelId = 203;
constexpr WORD kVersionId = 204;
constexpr WORD kDescriptionId = 205;

struct AboutFonts {
  HFONT name = nullptr;
};

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_CORVALE));
      if (!icon) icon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));  // IDI_APPLICATION
      SendDlgItemMessageA(dialog, kIconId, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
      // The program's name in a larger, bold face.
      auto* fonts = reinterpret_cast<AboutFonts*>(lparam);
      HDC screen = GetDC(nullptr);
      const int height = -MulDiv(12, GetDeviceCaps(screen, LOGPIXELSY), 72);
      ReleaseDC(nullptr, screen);
      fonts->name = CreateFontA(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
      SendDlgItemMessageA(dialog, kNameId, WM_SETFONT, reinterpret_cast<WPARAM>(fonts->name),
                          FALSE);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

void ShowAboutBox(HWND owner, const std::string& program, const std::string& version) {
  DialogTemplate about(DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 200, 92,
                       L"About");
  about.Item(kStaticClass, SS_ICON, 14, 14, 21, 20, kIconId, L"");
  about.Item(kStaticClass, SS_LEFT | SS_NOPREFIX, 48, 12, 140, 14, kNameId, Wide(program));
  about.Item(kStaticClass, SS_LEFT | SS_NOPREFIX, 48, 30, 140, 9, kDescriptionId,
             L"Hot-folder print server for AFP documents");
  about.Item(kStaticClass, SS_LEFT | SS_NOPREFIX, 48, 44, 30, 9, kVersionLabelId, L"Version:");
  about.Item(kStaticClass, SS_LEFT | SS_NOPREFIX, 80, 44, 108, 9, kVersionId, Wide(version));
  about.Item(kButtonClass, BS_DEFPUSHBUTTON | WS_TABSTOP, 138, 68, 50, 14, IDOK, L"OK");
  AboutFonts fonts;
  DialogBoxIndirectParamW(GetModuleHandleA(nullptr), about.Get(), owner, AboutProc,
                          reinterpret_cast<LPARAM>(&fonts));
  if (fonts.name) DeleteObject(fonts.name);
}

}  // namespace corvale::win32
