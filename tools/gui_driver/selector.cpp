// Parsing of gui_driver's control selectors and numbers.
#include "tools/gui_driver/selector.h"

namespace varnell::tools {

std::optional<int> ParseCount(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::optional<ControlSelector> ParseSelector(std::string_view selector) {
  constexpr std::string_view kText = "text:";
  constexpr std::string_view kClass = "class:";
  ControlSelector result;
  if (selector.starts_with(kText)) {
    result.kind = ControlSelector::Kind::kText;
    result.text = std::string(selector.substr(kText.size()));
    return result;
  }
  if (selector.starts_with(kClass)) {
    std::string_view name = selector.substr(kClass.size());
    // "#32770" is a class name of its own: only "#<digits>" after a non-empty name is an index.
    size_t hash = name.rfind('#');
    if (hash != std::string_view::npos && hash > 0) {
      if (std::optional<int> index = ParseCount(name.substr(hash + 1))) {
        result.index = *index;
        name = name.substr(0, hash);
      }
    }
    if (name.empty()) return std::nullopt;
    result.kind = ControlSelector::Kind::kClass;
    result.text = std::string(name);
    return result;
  }
  std::optional<int> id = ParseCount(selector);
  if (!id) return std::nullopt;
  result.kind = ControlSelector::Kind::kId;
  result.id = *id;
  return result;
}

std::string EscapeForListing(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace varnell::tools
