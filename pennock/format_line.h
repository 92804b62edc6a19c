// Line formatting of the monitor: FormatLine with the meaning of the Windows function
// wvsprintfA, and the time stamp of event lines.
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "pennock/platform/system.h"

namespace pennock {

// The longest text FormatLine returns (its buffer holds 1,024 bytes with the NUL).
inline constexpr std::size_t kMaxFormattedLength = 1023;

// One 32-bit argument of FormatLine: a number, or a text for %s.
class FormatArg {
 public:
  template <std::integral T>
  FormatArg(T value) : number_(static_cast<std::uint32_t>(value)) {}
  FormatArg(std::string_view text) : text_(text), isText_(true) {}
  FormatArg(const char* text) : FormatArg(std::string_view(text)) {}
  FormatArg(const std::string& text) : FormatArg(std::string_view(text)) {}

  std::uint32_t Number() const { return number_; }
  std::string_view Text() const { return text_; }
  bool IsText() const { return isText_; }

 private:
  std::uint32_t number_ = 0;
  std::string_view text_;
  bool isText_ = false;
};

// Formats like wvsprintfA: directives %[-][#][0][width][.precision][l|h]type with the types
// c, d, i, u, x, X and s, and %% for a percent sign. The result holds at most 1,023 characters.
std::string FormatLine(std::string_view format, std::initializer_list<FormatArg> args = {});

// "yyyy-MM-dd hh:mm:ss" where each colon is `separator` (a colon when it is empty).
std::string FormatTimestamp(const LocalTime& time, std::string_view separator);

// The current local time in that form with the user's time separator.
std::string TimestampNow(System& system);

}  // namespace pennock
