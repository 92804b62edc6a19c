// The portable code's UTF-8 text as the wide (UTF-16) strings of the Win32 calls, and back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/text_encoding.h"

namespace corvale::win32 {

inline std::wstring Wide(std::string_view utf8) {
  const std::u16string utf16 = varnell::Utf8ToUtf16(utf8);
  return std::wstring(utf16.begin(), utf16.end());
}

inline std::string Utf8(std::wstring_view wide) {
  return varnell::Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

// The system's text for an error code in UTF-8, without the trailing line end.
std::string SystemErrorTextUtf8(uint32_t code);

// UTF-8 text in the ANSI code page; what it cannot spell becomes "?".
std::string ToAnsiCodePageText(std::string_view utf8);

}  // namespace corvale::win32
