// How gui_driver names a control inside a window: by ID, by exact text or by class and index.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnell::tools {

struct ControlSelector {
  enum class Kind { kId, kText, kClass };
  Kind kind = Kind::kId;
  int id = 0;        // kId
  std::string text;  // kText: the exact window text; kClass: the class name
  int index = 0;     // kClass: which match, 0-based
};

// "101", "text:&Start", "class:msctls_statusbar32" or "class:Button#2"; nullopt when malformed.
std::optional<ControlSelector> ParseSelector(std::string_view selector);

// A non-negative decimal number of at most nine digits; nullopt otherwise.
std::optional<int> ParseCount(std::string_view text);

// Control text on one line of a tab-separated listing: tab, CR and LF become \t, \r and \n.
std::string EscapeForListing(std::string_view text);

}  // namespace varnell::tools
