// System error texts through FormatMessageW, and the ANSI code page through WideCharToMultiByte.
#include "corvale/platform/win32/wide_text.h"

#include "common/win32/windows_support.h"

namespace corvale::win32 {

std::string SystemErrorTextUtf8(uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = n && buffer ? Utf8(std::wstring_view(buffer, n)) : std::string();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  if (text.empty()) text = "System error code " + std::to_string(code);
  return text;
}

std::string ToAnsiCodePageText(std::string_view utf8) {
  const std::wstring wide = Wide(utf8);
  if (wide.empty()) return std::string();
  // No best fit: a character the code page lacks is replaced, never turned into a look-alike.
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                         static_cast<int>(wide.size()), nullptr, 0, "?", nullptr);
  if (length <= 0) return std::string(utf8);
  std::string ansi(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                      ansi.data(), length, "?", nullptr);
  return ansi;
}

}  // namespace corvale::win32
