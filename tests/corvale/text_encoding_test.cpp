// UTF-8 and UTF-16 as the Windows layer converts names and paths: every name comes back as it
// was, lone surrogates included, and bytes that form no character become U+FFFD.
#include <gtest/gtest.h>

#include <string>

#include "common/text_encoding.h"

namespace varnell {
namespace {

TEST(TextEncodingTest, NamesRoundTripThroughUtf16) {
  struct Case {
    const char* what;
    std::string utf8;
    std::u16string utf16;
  };
  const Case cases[] = {
      {"ASCII path", "C:\\In\\a.afp", u"C:\\In\\a.afp"},
      {"Latin letters", "\xC3\xA9t\xC3\xA9.afp", u"\u00e9t\u00e9.afp"},
      {"outside every 8-bit code page", "\xE6\x97\xA5\xE6\x9C\xAC.afp", u"\u65e5\u672c.afp"},
      {"beyond the basic plane", "\xF0\x9F\x98\x80", u"\U0001F600"},
      {"empty", "", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
    EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
  }
}

// Windows allows file names with unpaired surrogates; they survive the trip both ways.
TEST(TextEncodingTest, LoneSurrogatesKeepTheirOwnForm) {
  const std::u16string names[] = {std::u16string(1, char16_t(0xD800)) + u"x.afp",
                                  u"x" + std::u16string(1, char16_t(0xDFFF)),
                                  std::u16string{char16_t(0xDC00), char16_t(0xD800)}};
  for (const std::u16string& name : names) {
    SCOPED_TRACE(name.size());
    const std::string utf8 = Utf16ToUtf8(name);
    EXPECT_EQ(Utf8ToUtf16(utf8), name);
  }
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xED\xA0\x80");
}

TEST(TextEncodingTest, MalformedBytesBecomeReplacementCharacters) {
  struct Case {
    const char* what;
    std::string utf8;
    std::u16string utf16;
  };
  const Case cases[] = {
      {"stray continuation byte",
       "a\x80"
       "b",
       u"a\ufffdb"},
      {"an 8-bit code page's byte", "\xE9t\xE9", u"\ufffdt\ufffd"},
      {"cut short at the end", "a\xE6\x97", u"a\ufffd\ufffd"},
      {"overlong form", "\xC0\xAF", u"\ufffd\ufffd"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\ufffd\ufffd\ufffd\ufffd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
  }
}

}  // namespace
}  // namespace varnell
