// The decoder: value kinds, status flag lists, unknown codes and other types.
#include "pennock/notify_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace pennock {
namespace {

NotifyInfoData Entry(std::uint16_t type, std::uint16_t field, std::uint32_t value = 0) {
  NotifyInfoData entry;
  entry.Type = type;
  entry.Field = field;
  entry.Value = value;
  return entry;
}

NotifyInfoData TextEntry(std::uint16_t type, std::uint16_t field, std::string text) {
  NotifyInfoData entry = Entry(type, field);
  entry.Buffer = std::move(text);
  return entry;
}

std::string SystemTimeBytes(const SystemTime& t) {
  std::string bytes;
  for (std::uint16_t v :
       {t.Year, t.Month, t.DayOfWeek, t.Day, t.Hour, t.Minute, t.Second, t.Milliseconds}) {
    bytes += static_cast<char>(v & 0xFF);
    bytes += static_cast<char>(v >> 8);
  }
  return bytes;
}

std::string Decode(const NotifyInfoData& entry) {
  return DecodeNotifyEntry(entry).value_or("<none>");
}

constexpr std::uint16_t kJob = kJobNotifyType;
constexpr std::uint16_t kPrinter = kPrinterNotifyType;

TEST(NotifyDecoderTest, StatusFlagLists) {
  struct Case {
    NotifyInfoData entry;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {Entry(kJob, 10, 0), "JOB_NOTIFY_FIELD_STATUS = ()"},
      {Entry(kJob, 10, 0x1000), "JOB_NOTIFY_FIELD_STATUS = ()"},
      {Entry(kJob, 10, 0x18),
       "JOB_NOTIFY_FIELD_STATUS = ( JOB_STATUS_PRINTING | JOB_STATUS_SPOOLING )"},
      {Entry(kJob, 10, 0x210),
       "JOB_NOTIFY_FIELD_STATUS = ( JOB_STATUS_BLOCKED_DEVQ | JOB_STATUS_PRINTING )"},
      {Entry(kJob, 10, 0x401),
       "JOB_NOTIFY_FIELD_STATUS = ( JOB_STATUS_PAUSED | "
       "JOB_STATUS_USER_INTERVENTION )"},
      {Entry(kPrinter, 18, 0), "PRINTER_NOTIFY_FIELD_STATUS = ()"},
      {Entry(kPrinter, 18, 0x1000000),
       "PRINTER_NOTIFY_FIELD_STATUS = ( PRINTER_STATUS_POWER_SAVE )"},
      {Entry(kPrinter, 18, 0xFE000081),
       "PRINTER_NOTIFY_FIELD_STATUS = ( PRINTER_STATUS_PAUSED | PRINTER_STATUS_OFFLINE )"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(Decode(c.entry), c.expected);
  }
}

TEST(NotifyDecoderTest, AllFlagsAppearInTableOrder) {
  EXPECT_EQ(JobStatusFlags(0xFFFFFFFF),
            " JOB_STATUS_BLOCKED_DEVQ | JOB_STATUS_DELETED | JOB_STATUS_DELETING | "
            "JOB_STATUS_ERROR | JOB_STATUS_OFFLINE | JOB_STATUS_PAPEROUT | JOB_STATUS_PAUSED | "
            "JOB_STATUS_PRINTED | JOB_STATUS_PRINTING | JOB_STATUS_RESTART | JOB_STATUS_SPOOLING | "
            "JOB_STATUS_USER_INTERVENTION ");
  std::string printer = PrinterStatusFlags(0xFFFFFFFF);
  EXPECT_EQ(printer.find(" PRINTER_STATUS_PAUSED | PRINTER_STATUS_ERROR | "), 0u);
  EXPECT_EQ(printer.substr(printer.size() - 60),
            "| PRINTER_STATUS_SERVER_UNKNOWN | PRINTER_STATUS_POWER_SAVE ");
  EXPECT_EQ(std::count(printer.begin(), printer.end(), '|'), 24);
}

TEST(NotifyDecoderTest, NumbersTimesAndTexts) {
  struct Case {
    NotifyInfoData entry;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {Entry(kJob, 20, 3), "JOB_NOTIFY_FIELD_TOTAL_PAGES: NotifyData.adwData[0] = 3"},
      {Entry(kJob, 19, 4294967295u), "JOB_NOTIFY_FIELD_TIME: NotifyData.adwData[0] = -1 sec"},
      {Entry(kPrinter, 13, 4294967295u), "PRINTER_NOTIFY_FIELD_ATTRIBUTES: FFFFFFFF"},
      {Entry(kPrinter, 14, 1), "PRINTER_NOTIFY_FIELD_PRIORITY: 00000001"},
      {Entry(kPrinter, 20, 1), "PRINTER_NOTIFY_FIELD_CJOBS: 1"},
      {Entry(kPrinter, 21, 12), "PRINTER_NOTIFY_FIELD_AVERAGE_PPM: 12 per minute"},
      {Entry(kJob, 17, 0), "JOB_NOTIFY_FIELD_START_TIME: 00:00"},
      {Entry(kJob, 18, 90), "JOB_NOTIFY_FIELD_UNTIL_TIME: 01:30"},
      {Entry(kPrinter, 16, 1439), "PRINTER_NOTIFY_FIELD_START_TIME: 23:59"},
      {Entry(kPrinter, 17, 6000), "PRINTER_NOTIFY_FIELD_UNTIL_TIME: 100:00"},
      {Entry(kPrinter, 17, 4294967295u), "PRINTER_NOTIFY_FIELD_UNTIL_TIME: 71582788:15"},
      {TextEntry(kJob, 13, "Report.afp"),
       "JOB_NOTIFY_FIELD_DOCUMENT: NotifyData.Data.pbuf = \"Report.afp\""},
      {TextEntry(kJob, 3, std::string("ann\0junk", 8)),
       "JOB_NOTIFY_FIELD_USER_NAME: NotifyData.Data.pbuf = \"ann\""},
      {TextEntry(kPrinter, 1, "Varnell"),
       "PRINTER_NOTIFY_FIELD_PRINTER_NAME: NotifyData.Data.pbuf = \"Varnell\""},
      {Entry(kJob, 0), "JOB_NOTIFY_FIELD_PRINTER_NAME: NotifyData.Data.pbuf = \"\""},
      {Entry(kPrinter, 9), "PRINTER_NOTIFY_FIELD_PRINT_PROCESSOR: NotifyData.Data.pbuf = \"\""},
      {Entry(kJob, 9), "JOB_NOTIFY_FIELD_DEVMODE: (too complex)"},
      {Entry(kJob, 12), "JOB_NOTIFY_FIELD_SECURITY_DESCRIPTOR: (not supported)"},
      {Entry(kPrinter, 3), "PRINTER_NOTIFY_FIELD_PORT_NAME: (not supported)"},
      {Entry(kPrinter, 12), "PRINTER_NOTIFY_FIELD_SECURITY_DESCRIPTOR: (too complex)"},
      {Entry(kPrinter, 25), "PRINTER_NOTIFY_FIELD_BYTES_PRINTED: (not supported)"},
      {Entry(kJob, 23, 512), "JOB_NOTIFY_FIELD_BYTES_PRINTED: NotifyData.adwData[0] = 512"},
      {Entry(kJob, 24), "UNKNOWN job notification."},
      {Entry(kPrinter, 26), "UNKNOWN printer notification."},
      {Entry(kJob, 0xFFFF), "UNKNOWN job notification."},
      {Entry(2, 0), "<none>"},
      {Entry(0xFFFF, 10), "<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(Decode(c.entry), c.expected);
  }
}

TEST(NotifyDecoderTest, LongTextStaysWithinTheLineLimit) {
  std::string line = Decode(TextEntry(kJob, 13, std::string(5000, 'd')));
  EXPECT_EQ(line.size(), 1023u);
  EXPECT_EQ(line.substr(0, 50), "JOB_NOTIFY_FIELD_DOCUMENT: NotifyData.Data.pbuf = ");
}

TEST(NotifyDecoderTest, SubmissionTimeAsFileTime) {
  SystemTime submitted{2011, 5, 2, 10, 12, 38, 25, 0};
  EXPECT_EQ(Decode(TextEntry(kJob, 16, SystemTimeBytes(submitted))),
            "JOB_NOTIFY_FIELD_SUBMITTED: SYSTEMTIME(NotifyData.Data.pbuf^) = 01CC0F0F27967680");

  const std::string fallback =
      "JOB_NOTIFY_FIELD_SUBMITTED: SYSTEMTIME(NotifyData.Data.pbuf^) = 0000F0F000000F0F";
  EXPECT_EQ(Decode(TextEntry(kJob, 16, SystemTimeBytes({2011, 13, 0, 10, 0, 0, 0, 0}))), fallback);
  EXPECT_EQ(Decode(Entry(kJob, 16)), fallback);
  EXPECT_EQ(Decode(TextEntry(kJob, 16, "short")), fallback);
}

TEST(SystemTimeToFileTimeTest, ConvertsValidTimesOnly) {
  EXPECT_EQ(SystemTimeToFileTime({1601, 1, 0, 1, 0, 0, 0, 0}), 0u);
  EXPECT_EQ(SystemTimeToFileTime({1601, 1, 0, 1, 0, 0, 0, 1}), 10000u);
  EXPECT_EQ(SystemTimeToFileTime({2011, 5, 6, 10, 12, 38, 25, 999}),
            0x01CC0F0F27967680u + 9990000u);
  EXPECT_EQ(SystemTimeToFileTime({2000, 2, 0, 29, 0, 0, 0, 0}), 125962560000000000u);
  EXPECT_EQ(SystemTimeToFileTime({30827, 12, 0, 31, 23, 59, 59, 999}), 0x7FFF35F4F06C58F0u);

  struct Invalid {
    const char* name;
    SystemTime time;
  };
  const std::vector<Invalid> invalid = {
      {"year 1600", {1600, 12, 0, 31, 0, 0, 0, 0}},
      {"year 30828", {30828, 1, 0, 1, 0, 0, 0, 0}},
      {"month 0", {2011, 0, 0, 1, 0, 0, 0, 0}},
      {"day 0", {2011, 5, 0, 0, 0, 0, 0, 0}},
      {"February 29th 1900", {1900, 2, 0, 29, 0, 0, 0, 0}},
      {"April 31st", {2011, 4, 0, 31, 0, 0, 0, 0}},
      {"hour 24", {2011, 5, 0, 10, 24, 0, 0, 0}},
      {"minute 60", {2011, 5, 0, 10, 0, 60, 0, 0}},
      {"second 60", {2011, 5, 0, 10, 0, 0, 60, 0}},
      {"millisecond 1000", {2011, 5, 0, 10, 0, 0, 0, 1000}},
  };
  for (const Invalid& c : invalid) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(SystemTimeToFileTime(c.time));
  }
}

}  // namespace
}  // namespace pennock
