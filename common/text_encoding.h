// Text between the portable code, which holds names and paths in UTF-8, and the wide (UTF-16)
// calls of the Windows layer. A lone surrogate, which a Windows file name may hold, travels as
// its three-byte form (as WTF-8 does), so that every name Windows allows comes back unchanged.
#pragma once

#include <string>
#include <string_view>

namespace varnell {

// Bytes that form no character become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace varnell
