// The extended-length path form: which paths take it, how they are written, and back.
#include "corvale/platform/extended_length_path.h"

#include <gtest/gtest.h>

#include <string>

namespace corvale {
namespace {

std::string Repeat(const std::string& text, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

// With no length limit, every path that can take the form safely does; the rest stay as given.
TEST(ExtendedLengthPathTest, OnlyCleanAbsolutePathsTakeTheForm) {
  struct Case {
    const char* what;
    const char* path;
    const char* expected;
  };
  const Case cases[] = {
      {"drive path", "C:\\In\\a.afp", "\\\\?\\C:\\In\\a.afp"},
      {"forward slashes", "C:/In/sub/a.afp", "\\\\?\\C:\\In\\sub\\a.afp"},
      {"doubled delimiters", "C:\\In\\\\sub//a.afp", "\\\\?\\C:\\In\\sub\\a.afp"},
      {"trailing delimiter", "C:\\In\\", "\\\\?\\C:\\In\\"},
      {"drive root", "C:\\", "\\\\?\\C:\\"},
      {"name starting with a dot", "C:\\.cache\\a.afp", "\\\\?\\C:\\.cache\\a.afp"},
      {"UNC path", "\\\\server\\share\\In\\a.afp", "\\\\?\\UNC\\server\\share\\In\\a.afp"},
      {"UNC with forward slashes", "//server/share/In", "\\\\?\\UNC\\server\\share\\In"},
      {"already extended", "\\\\?\\C:\\In\\a.afp", "\\\\?\\C:\\In\\a.afp"},
      {"already extended, left uncleaned", "\\\\?\\C:\\In\\..\\a.", "\\\\?\\C:\\In\\..\\a."},
      {"slashed device path", "//?/C:/In/a.afp", "//?/C:/In/a.afp"},
      {"relative path", "In\\a.afp", "In\\a.afp"},
      {"relative to a drive's folder", "C:In\\a.afp", "C:In\\a.afp"},
      {"dot segment", "C:\\In\\.\\a.afp", "C:\\In\\.\\a.afp"},
      {"dot-dot segment", "C:\\In\\..\\a.afp", "C:\\In\\..\\a.afp"},
      {"dot-dot in a UNC path", "\\\\server\\share\\..\\a", "\\\\server\\share\\..\\a"},
      {"segment ending in a dot", "C:\\In.\\a.afp", "C:\\In.\\a.afp"},
      {"segment ending in a space", "C:\\In \\a.afp", "C:\\In \\a.afp"},
      {"UNC server without share", "\\\\server\\", "\\\\server\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ExtendedLengthPath(c.path, 0), c.expected);
  }
}

// The limit counts UTF-16 characters, as MAX_PATH does, not UTF-8 bytes.
TEST(ExtendedLengthPathTest, PathsBelowTheLimitStayOrdinary) {
  const std::string e_acute = "\xC3\xA9";         // one UTF-16 character in two bytes
  const std::string smiley = "\xF0\x9F\x98\x80";  // two UTF-16 characters in four bytes
  struct Case {
    const char* what;
    std::string path;
    size_t limit;
    bool extended;
  };
  const Case cases[] = {
      {"259 characters", "C:\\" + std::string(256, 'a'), kMaxPathLength, false},
      {"260 characters", "C:\\" + std::string(257, 'a'), kMaxPathLength, true},
      {"259 characters in 515 bytes", "C:\\" + Repeat(e_acute, 256), kMaxPathLength, false},
      {"260 characters, surrogate pairs counted twice", "C:\\a" + Repeat(smiley, 128),
       kMaxPathLength, true},
      {"folder of 247 characters", "C:\\" + std::string(244, 'a'), kMaxFolderPathLength, false},
      {"folder of 248 characters", "C:\\" + std::string(245, 'a'), kMaxFolderPathLength, true},
      {"relative path of 300 characters", std::string(300, 'a'), kMaxPathLength, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string result = ExtendedLengthPath(c.path, c.limit);
    if (c.extended) {
      EXPECT_EQ(result, ExtendedLengthPath(c.path, 0));
      EXPECT_NE(result, c.path);
    } else {
      EXPECT_EQ(result, c.path);
    }
  }
}

TEST(ExtendedLengthPathTest, OrdinaryPathDropsTheForm) {
  struct Case {
    const char* what;
    const char* path;
    const char* expected;
  };
  const Case cases[] = {
      {"drive path", "\\\\?\\C:\\PROG~5P2\\a.afp", "C:\\PROG~5P2\\a.afp"},
      {"UNC path", "\\\\?\\UNC\\server\\share\\a.afp", "\\\\server\\share\\a.afp"},
      {"ordinary path", "C:\\In\\a.afp", "C:\\In\\a.afp"},
      {"volume path has no ordinary form", "\\\\?\\Volume{1}\\a", "\\\\?\\Volume{1}\\a"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(OrdinaryPath(c.path), c.expected);
  }
  for (const char* path : {"C:\\In\\a.afp", "\\\\server\\share\\In\\", "z:\\"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(OrdinaryPath(ExtendedLengthPath(path, 0)), path);
  }
}

}  // namespace
}  // namespace corvale
