// Path rules of the installer: joining, the spool driver directory, the location text and the
// number texts of console lines.
#include <gtest/gtest.h>

#include "falcrest/console_text.h"
#include "falcrest/paths.h"
#include "tests/falcrest/falcrest_fakes.h"

namespace falcrest {
namespace {

using testing::Narrow;

TEST(JoinPathTest, FollowsTheFirstMatchingRule) {
  struct Case {
    std::u16string base;
    std::u16string name;
    std::u16string joined;
  };
  const Case cases[] = {
      {u"C:\\A", u"B", u"C:\\A\\B"},   {u"C:\\A\\", u"B", u"C:\\A\\B"},
      {u"C:\\A/", u"\\B", u"C:\\A/B"}, {u"C:\\A", u"/B", u"C:\\A\\B"},
      {u"C:\\A", u"D:\\X", u"D:\\X"},  {u"C:\\A", u"\\\\server\\share", u"\\\\server\\share"},
      {u"C:\\A", u"D:", u"C:\\A\\D:"}, {u"", u"B", u"B"},
      {u"C:\\A", u"", u"C:\\A"},       {u"", u"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.base) + " + " + Narrow(c.name));
    EXPECT_EQ(Narrow(JoinPath(c.base, c.name)), Narrow(c.joined));
  }
}

TEST(DriverDirectoryTest, ExpandsTheWindowsFolderOrFallsBack) {
  testing::CallLog log;
  testing::FakeEnvironment environment(log);
  EXPECT_EQ(Narrow(DriverDirectory(environment)), "C:\\WINDOWS\\System32\\Spool\\Drivers\\W32x86");
  EXPECT_EQ(Narrow(LocationText(environment)), "C:\\WINDOWS\\System32\\Spool\\Drivers\\W32x86\\3");

  environment.expand_fails = true;
  EXPECT_EQ(Narrow(DriverDirectory(environment)), "C:\\Windows\\System32\\Spool\\Drivers\\W32x86");
  EXPECT_EQ(Narrow(LocationText(environment)), "C:\\Windows\\System32\\Spool\\Drivers\\W32x86\\3");
}

TEST(FolderTextTest, TrailingBackslashAndProgramFolder) {
  EXPECT_EQ(Narrow(WithTrailingBackslash(u"C:\\Kit")), "C:\\Kit\\");
  EXPECT_EQ(Narrow(WithTrailingBackslash(u"C:\\Kit\\")), "C:\\Kit\\");
  // Only a backslash counts as the end of a folder.
  EXPECT_EQ(Narrow(WithTrailingBackslash(u"C:/Kit/")), "C:/Kit/\\");

  EXPECT_EQ(Narrow(FolderOfFile(u"C:\\Program Files\\Falcrest\\falcrest.exe")),
            "C:\\Program Files\\Falcrest\\");
  EXPECT_EQ(Narrow(FolderOfFile(u"falcrest.exe")), "");
}

TEST(FormatNumberTest, PrintsUnsignedWordsAsSigned32Bit) {
  EXPECT_EQ(FormatNumber("OpenService failed (%d)\n", 1060u), "OpenService failed (1060)\n");
  EXPECT_EQ(FormatNumber("Error Code: %d", 0xFFFFFFFFu), "Error Code: -1");
  EXPECT_EQ(FormatNumber("  Exit Code: %d\n", 0x80000000u), "  Exit Code: -2147483648\n");
}

}  // namespace
}  // namespace falcrest
