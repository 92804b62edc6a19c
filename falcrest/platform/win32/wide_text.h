// UTF-16 strings of the portable code as the wide strings of the Windows calls.
#pragma once

#include <string>

#include "common/win32/windows_support.h"
#include "falcrest/platform/outcome.h"

namespace falcrest::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

inline const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// For the record fields that Windows declares writable but only reads.
inline wchar_t* WritableWide(const std::u16string& text) {
  return const_cast<wchar_t*>(Wide(text));
}

inline std::u16string FromWide(const wchar_t* text) {
  return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

inline std::u16string FromWide(const wchar_t* text, size_t units) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), units);
}

inline Outcome LastErrorOutcome() {
  return Outcome::Failure(GetLastError());
}

}  // namespace falcrest::win32
