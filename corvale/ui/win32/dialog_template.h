// A dialog template built in memory, word by word as DialogBoxIndirect reads it, so that a
// dialog needs no resource script.
#pragma once

#include <string>
#include <vector>

#include "common/win32/windows_support.h"

namespace corvale::win32 {

// A DLGTEMPLATE in the dialog font MS Sans Serif 8 point, with its items.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, short width, short height, const std::wstring& caption) {
    Dword(style | DS_SETFONT);
    Dword(0);  // extended style
    count_at_ = words_.size();
    Word(0);  // item count, filled in by each item
    Word(0);  // x
    Word(0);  // y
    Word(static_cast<WORD>(width));
    Word(static_cast<WORD>(height));
    Word(0);  // no menu
    Word(0);  // the standard dialog class
    String(caption);
    Word(8);  // point size
    String(L"MS Sans Serif");
  }

  void Item(WORD window_class, DWORD style, short x, short y, short width, short height, WORD id,
            const std::wstring& text) {
    if (words_.size() % 2) Word(0);  // every item starts on a DWORD boundary
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    Word(static_cast<WORD>(x));
    Word(static_cast<WORD>(y));
    Word(static_cast<WORD>(width));
    Word(static_cast<WORD>(height));
    Word(id);
    Word(0xFFFF);
    Word(window_class);
    String(text);
    Word(0);  // no creation data
    ++words_[count_at_];
  }

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Word(WORD value) { words_.push_back(value); }
  void Dword(DWORD value) {
    Word(LOWORD(value));
    Word(HIWORD(value));
  }
  void String(const std::wstring& text) {
    for (wchar_t c : text) Word(static_cast<WORD>(c));
    Word(0);
  }

  std::vector<WORD> words_;
  size_t count_at_ = 0;
};

}  // namespace corvale::win32
