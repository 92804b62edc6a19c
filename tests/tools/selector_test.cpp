// gui_driver's control selectors and listing text.
#include "tools/gui_driver/selector.h"

#include <gtest/gtest.h>

namespace varnell::tools {
namespace {

using Kind = ControlSelector::Kind;

struct SelectorCase {
  const char* input;
  Kind kind;
  int id;
  const char* text;
  int index;
};

TEST(ParseSelectorTest, ReadsEachForm) {
  const SelectorCase cases[] = {
      {"101", Kind::kId, 101, "", 0},
      {"65535", Kind::kId, 65535, "", 0},
      {"text:&Start", Kind::kText, 0, "&Start", 0},
      {"text:", Kind::kText, 0, "", 0},
      {"text:a:b #1", Kind::kText, 0, "a:b #1", 0},
      {"class:msctls_statusbar32", Kind::kClass, 0, "msctls_statusbar32", 0},
      {"class:Button#2", Kind::kClass, 0, "Button", 2},
      {"class:#32770", Kind::kClass, 0, "#32770", 0},
      {"class:#32770#1", Kind::kClass, 0, "#32770", 1},
      {"class:Odd#name", Kind::kClass, 0, "Odd#name", 0},
  };
  for (const SelectorCase& c : cases) {
    SCOPED_TRACE(c.input);
    std::optional<ControlSelector> s = ParseSelector(c.input);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->kind, c.kind);
    EXPECT_EQ(s->id, c.id);
    EXPECT_EQ(s->text, c.text);
    EXPECT_EQ(s->index, c.index);
  }
}

TEST(ParseSelectorTest, RefusesMalformed) {
  for (const char* input : {"", "-1", "12a", "0x10", "class:", "Text:OK", " 101"}) {
    SCOPED_TRACE(input);
    EXPECT_FALSE(ParseSelector(input).has_value());
  }
}

TEST(ParseCountTest, AcceptsOnlyPlainDecimal) {
  EXPECT_EQ(ParseCount("0"), 0);
  EXPECT_EQ(ParseCount("10000"), 10000);
  EXPECT_EQ(ParseCount("999999999"), 999999999);
  for (const char* input : {"", "1000000000", "+5", "5 ", "ms"}) {
    SCOPED_TRACE(input);
    EXPECT_FALSE(ParseCount(input).has_value());
  }
}

TEST(EscapeForListingTest, KeepsEachControlOnOneLine) {
  EXPECT_EQ(EscapeForListing("a\tb\r\nc"), "a\\tb\\r\\nc");
  EXPECT_EQ(EscapeForListing("Z:\\hot in"), "Z:\\hot in");
}

}  // namespace
}  // namespace varnell::tools
