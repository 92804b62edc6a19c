// Text helpers shared by the three programs: trimming and case-insensitive comparison.
#pragma once

#include <string>
#include <string_view>

namespace varnell {

// Removes leading and trailing spaces and control characters, as the Windows UI trims text.
std::string Trim(std::string_view text);

// ASCII case-insensitive equality (printer names, registry key names, switches).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

std::string ToLowerAscii(std::string_view text);

// Drops one trailing "\" (or "/") when present.
std::string WithoutTrailingDelimiter(std::string_view path);

// Replaces every occurrence of `from` by `to`.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

}  // namespace varnell
