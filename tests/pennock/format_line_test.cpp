// FormatLine's directives and limit, and the event time stamp.
#include "pennock/format_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pennock {
namespace {

struct FormatCase {
  const char* format;
  std::vector<FormatArg> args;
  const char* expected;
};

std::string Format(const FormatCase& c) {
  switch (c.args.size()) {
    case 0:
      return FormatLine(c.format);
    case 1:
      return FormatLine(c.format, {c.args[0]});
    case 2:
      return FormatLine(c.format, {c.args[0], c.args[1]});
    case 3:
      return FormatLine(c.format, {c.args[0], c.args[1], c.args[2]});
    default:
      return FormatLine(c.format, {c.args[0], c.args[1], c.args[2], c.args[3]});
  }
}

TEST(FormatLineTest, DirectivesOfTheMonitor) {
  const std::vector<FormatCase> cases = {
      {"%2.2d. %s", {1, "Office Laser 2"}, "01. Office Laser 2"},
      {"%2.2d", {10}, "10"},
      {"%2.2d", {100}, "100"},
      {"%2.2d", {-5}, "-5"},
      {"%3.3d|%.3d|%5.3d|%05.3d", {-5, -5, -5, -5}, "-05|-05|  -05|-0005"},
      {"%d", {4294967295u}, "-1"},
      {"%d", {-2147483647 - 1}, "-2147483648"},
      {"%8.8X", {4294967295u}, "FFFFFFFF"},
      {"%8.8X", {0x124}, "00000124"},
      {"%8.8X%8.8X", {0x01CC0F0F, 0x27967680}, "01CC0F0F27967680"},
      {"(GetLastError: %X)", {0x7B}, "(GetLastError: 7B)"},
      {"%X", {0}, "0"},
      {"\"%s\"", {""}, "\"\""},
      {"100%%", {}, "100%"},
      {"[%5s|%-5s|%.2s]", {"ab", "cd", "efg"}, "[   ab|cd   |ef]"},
      {"%05d|%-4d|%4d", {42, 7, -3}, "00042|7   |  -3"},
      {"%#x %u %c", {255, 3000000000u, 'A'}, "0xff 3000000000 A"},
      {"%#x|%#X|%#.4x|%#08x|", {0, 255, 255, 255}, "0x0|0XFF|0x00ff|0x000000ff|"},
      {"%#6x|%-#6x|", {255, 255}, "    0xff|0xff    |"},
      {"%08s|%05c|%-08d|", {"ab", 'A', 5}, "      ab|    A|5       |"},
      {"%y|%d|%+d", {1, 2}, "y|1|+d"},
      {"%08.3d|%-6.3X|%i", {-7, 0xA, 12}, "-0000007|00A   |12"},
      {"%ld %hd %lx", {1, 2, 0xAB}, "1 2 ab"},
      {"%s", {42}, "(null)"},
      {"Started [%s]\r\n-> %8.8X", {"Varnell", 0xA0}, "Started [Varnell]\r\n-> 000000A0"},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.format);
    EXPECT_EQ(Format(c), c.expected);
  }
}

TEST(FormatLineTest, MissingArgumentsCountAsZero) {
  EXPECT_EQ(FormatLine("%d and %s"), "0 and (null)");
}

TEST(FormatLineTest, TextEndsAtItsFirstNul) {
  EXPECT_EQ(FormatLine("[%s]", {std::string_view("abc\0def", 7)}), "[abc]");
}

TEST(FormatLineTest, ResultStopsAt1023Characters) {
  std::string longText(2000, 'x');
  std::string line = FormatLine("A: %s", {longText});
  EXPECT_EQ(line.size(), 1023u);
  EXPECT_EQ(line.substr(0, 4), "A: x");

  EXPECT_EQ(FormatLine(std::string(1023, 'y')).size(), 1023u);
  EXPECT_EQ(FormatLine(std::string(1024, 'y')).size(), 1023u);
}

TEST(TimestampTest, UsesTheUsersTimeSeparator) {
  LocalTime time{2011, 5, 10, 14, 38, 25};
  EXPECT_EQ(FormatTimestamp(time, ":"), "2011-05-10 14:38:25");
  EXPECT_EQ(FormatTimestamp(time, "."), "2011-05-10 14.38.25");
  EXPECT_EQ(FormatTimestamp(time, ""), "2011-05-10 14:38:25");
  EXPECT_EQ(FormatTimestamp(LocalTime{987, 1, 2, 3, 4, 5}, "%"), "0987-01-02 03%04%05");
}

}  // namespace
}  // namespace pennock
