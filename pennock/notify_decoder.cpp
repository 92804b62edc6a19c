// The notification entry decoder.
#include "pennock/notify_decoder.h"

#include <array>
#include <string_view>

#include "pennock/format_line.h"

namespace pennock {
namespace {

enum class Kind { kText, kNumber, kTimeOfDay, kSubmitted, kFixed, kJobStatus, kPrinterStatus };

struct FieldLine {
  const char* text;
  Kind kind;
};

constexpr std::array<FieldLine, 24> kJobFields = {{
    {"JOB_NOTIFY_FIELD_PRINTER_NAME: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"JOB_NOTIFY_FIELD_MACHINE_NAME: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"JOB_NOTIFY_FIELD_PORT_NAME: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"JOB_NOTIFY_FIELD_USER_NAME: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"JOB_NOTIFY_FIELD_NOTIFY_NAME: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"JOB_NOTIFY_FIELD_DATATYPE: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"JOB_NOTIFY_FIELD_PRINT_PROCESSOR: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"JOB_NOTIFY_FIELD_PARAMETERS: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"JOB_NOTIFY_FIELD_DRIVER_NAME: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"JOB_NOTIFY_FIELD_DEVMODE: (too complex)", Kind::kFixed},
    {"JOB_NOTIFY_FIELD_STATUS = (", Kind::kJobStatus},
    {"JOB_NOTIFY_FIELD_STATUS_STRING: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"JOB_NOTIFY_FIELD_SECURITY_DESCRIPTOR: (not supported)", Kind::kFixed},
    {"JOB_NOTIFY_FIELD_DOCUMENT: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"JOB_NOTIFY_FIELD_PRIORITY: NotifyData.adwData[0] = %d", Kind::kNumber},
    {"JOB_NOTIFY_FIELD_POSITION: NotifyData.adwData[0] = %d", Kind::kNumber},
    {"JOB_NOTIFY_FIELD_SUBMITTED: SYSTEMTIME(NotifyData.Data.pbuf^) = %8.8X%8.8X",
     Kind::kSubmitted},
    {"JOB_NOTIFY_FIELD_START_TIME: %2.2d:%2.2d", Kind::kTimeOfDay},
    {"JOB_NOTIFY_FIELD_UNTIL_TIME: %2.2d:%2.2d", Kind::kTimeOfDay},
    {"JOB_NOTIFY_FIELD_TIME: NotifyData.adwData[0] = %d sec", Kind::kNumber},
    {"JOB_NOTIFY_FIELD_TOTAL_PAGES: NotifyData.adwData[0] = %d", Kind::kNumber},
    {"JOB_NOTIFY_FIELD_PAGES_PRINTED: NotifyData.adwData[0] = %d", Kind::kNumber},
    {"JOB_NOTIFY_FIELD_TOTAL_BYTES: NotifyData.adwData[0] = %d", Kind::kNumber},
    {"JOB_NOTIFY_FIELD_BYTES_PRINTED: NotifyData.adwData[0] = %d", Kind::kNumber},
}};

constexpr std::array<FieldLine, 26> kPrinterFields = {{
    {"PRINTER_NOTIFY_FIELD_SERVER_NAME: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"PRINTER_NOTIFY_FIELD_PRINTER_NAME: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"PRINTER_NOTIFY_FIELD_SHARE_NAME: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"PRINTER_NOTIFY_FIELD_PORT_NAME: (not supported)", Kind::kFixed},
    {"PRINTER_NOTIFY_FIELD_DRIVER_NAME: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"PRINTER_NOTIFY_FIELD_COMMENT: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"PRINTER_NOTIFY_FIELD_LOCATION: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"PRINTER_NOTIFY_FIELD_DEVMODE: (too complex)", Kind::kFixed},
    {"PRINTER_NOTIFY_FIELD_SEPFILE: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"PRINTER_NOTIFY_FIELD_PRINT_PROCESSOR: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"PRINTER_NOTIFY_FIELD_PARAMETERS: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"PRINTER_NOTIFY_FIELD_DATATYPE: NotifyData.Data.pbuf = \"%s\"", Kind::kText},
    {"PRINTER_NOTIFY_FIELD_SECURITY_DESCRIPTOR: (too complex)", Kind::kFixed},
    {"PRINTER_NOTIFY_FIELD_ATTRIBUTES: %8.8X", Kind::kNumber},
    {"PRINTER_NOTIFY_FIELD_PRIORITY: %8.8X", Kind::kNumber},
    {"PRINTER_NOTIFY_FIELD_DEFAULT_PRIORITY: %8.8X", Kind::kNumber},
    {"PRINTER_NOTIFY_FIELD_START_TIME: %2.2d:%2.2d", Kind::kTimeOfDay},
    {"PRINTER_NOTIFY_FIELD_UNTIL_TIME: %2.2d:%2.2d", Kind::kTimeOfDay},
    {"PRINTER_NOTIFY_FIELD_STATUS = (", Kind::kPrinterStatus},
    {"PRINTER_NOTIFY_FIELD_STATUS_STRING: (not supported)", Kind::kFixed},
    {"PRINTER_NOTIFY_FIELD_CJOBS: %d", Kind::kNumber},
    {"PRINTER_NOTIFY_FIELD_AVERAGE_PPM: %d per minute", Kind::kNumber},
    {"PRINTER_NOTIFY_FIELD_TOTAL_PAGES: (not supported)", Kind::kFixed},
    {"PRINTER_NOTIFY_FIELD_PAGES_PRINTED: (not supported)", Kind::kFixed},
    {"PRINTER_NOTIFY_FIELD_TOTAL_BYTES: (not supported)", Kind::kFixed},
    {"PRINTER_NOTIFY_FIELD_BYTES_PRINTED: (not supported)", Kind::kFixed},
}};

struct StatusFlag {
  const char* name;
  std::uint32_t bit;
};

// Alphabetical, not by bit.
constexpr std::array<StatusFlag, 12> kJobStatusFlags = {{
    {"JOB_STATUS_BLOCKED_DEVQ", 0x200},
    {"JOB_STATUS_DELETED", 0x100},
    {"JOB_STATUS_DELETING", 0x4},
    {"JOB_STATUS_ERROR", 0x2},
    {"JOB_STATUS_OFFLINE", 0x20},
    {"JOB_STATUS_PAPEROUT", 0x40},
    {"JOB_STATUS_PAUSED", 0x1},
    {"JOB_STATUS_PRINTED", 0x80},
    {"JOB_STATUS_PRINTING", 0x10},
    {"JOB_STATUS_RESTART", 0x800},
    {"JOB_STATUS_SPOOLING", 0x8},
    {"JOB_STATUS_USER_INTERVENTION", 0x400},
}};

constexpr std::array<StatusFlag, 25> kPrinterStatusFlags = {{
    {"PRINTER_STATUS_PAUSED", 0x1},
    {"PRINTER_STATUS_ERROR", 0x2},
    {"PRINTER_STATUS_PENDING_DELETION", 0x4},
    {"PRINTER_STATUS_PAPER_JAM", 0x8},
    {"PRINTER_STATUS_PAPER_OUT", 0x10},
    {"PRINTER_STATUS_MANUAL_FEED", 0x20},
    {"PRINTER_STATUS_PAPER_PROBLEM", 0x40},
    {"PRINTER_STATUS_OFFLINE", 0x80},
    {"PRINTER_STATUS_IO_ACTIVE", 0x100},
    {"PRINTER_STATUS_BUSY", 0x200},
    {"PRINTER_STATUS_PRINTING", 0x400},
    {"PRINTER_STATUS_OUTPUT_BIN_FULL", 0x800},
    {"PRINTER_STATUS_NOT_AVAILABLE", 0x1000},
    {"PRINTER_STATUS_WAITING", 0x2000},
    {"PRINTER_STATUS_PROCESSING", 0x4000},
    {"PRINTER_STATUS_INITIALIZING", 0x8000},
    {"PRINTER_STATUS_WARMING_UP", 0x10000},
    {"PRINTER_STATUS_TONER_LOW", 0x20000},
    {"PRINTER_STATUS_NO_TONER", 0x40000},
    {"PRINTER_STATUS_PAGE_PUNT", 0x80000},
    {"PRINTER_STATUS_USER_INTERVENTION", 0x100000},
    {"PRINTER_STATUS_OUT_OF_MEMORY", 0x200000},
    {"PRINTER_STATUS_DOOR_OPEN", 0x400000},
    {"PRINTER_STATUS_SERVER_UNKNOWN", 0x800000},
    {"PRINTER_STATUS_POWER_SAVE", 0x1000000},
}};

// Printed instead of a submission time that does not convert.
constexpr std::uint32_t kBadTimeHigh = 0x0000F0F0;
constexpr std::uint32_t kBadTimeLow = 0x00000F0F;

template <std::size_t N>
std::string FlagList(std::uint32_t value, const std::array<StatusFlag, N>& flags) {
  std::string list;
  for (const StatusFlag& flag : flags) {
    if ((value & flag.bit) == 0) continue;
    list += list.empty() ? " " : "| ";
    list.append(flag.name).append(" ");
  }
  return list;
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1601-01-01 to the given date.
std::int64_t DaysSince1601(int year, int month, int day) {
  std::int64_t y = year - 1601;
  std::int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + day - 1;
}

// The SYSTEMTIME at the entry's buffer, when it holds one.
std::optional<SystemTime> SystemTimeIn(const std::optional<std::string>& buffer) {
  constexpr std::size_t kFields = 8;
  if (!buffer || buffer->size() < kFields * 2) return std::nullopt;
  std::uint16_t fields[kFields];
  for (std::size_t i = 0; i < kFields; ++i) {
    auto low = static_cast<unsigned char>((*buffer)[2 * i]);
    auto high = static_cast<unsigned char>((*buffer)[2 * i + 1]);
    fields[i] = static_cast<std::uint16_t>(low | (high << 8));
  }
  return SystemTime{fields[0], fields[1], fields[2], fields[3],
                    fields[4], fields[5], fields[6], fields[7]};
}

std::string DecodeLine(const FieldLine& line, const NotifyInfoData& entry) {
  const std::uint32_t value = entry.Value;
  switch (line.kind) {
    case Kind::kText: {
      // A missing buffer shows as an empty text.
      std::string_view text = entry.Buffer ? std::string_view(*entry.Buffer) : std::string_view();
      return FormatLine(line.text, {text.substr(0, text.find('\0'))});
    }
    case Kind::kNumber:
      return FormatLine(line.text, {value});
    case Kind::kTimeOfDay:
      return FormatLine(line.text, {value / 60, value % 60});
    case Kind::kSubmitted: {
      std::optional<SystemTime> time = SystemTimeIn(entry.Buffer);
      std::optional<std::uint64_t> fileTime = time ? SystemTimeToFileTime(*time) : std::nullopt;
      std::uint32_t high = fileTime ? static_cast<std::uint32_t>(*fileTime >> 32) : kBadTimeHigh;
      std::uint32_t low = fileTime ? static_cast<std::uint32_t>(*fileTime) : kBadTimeLow;
      return FormatLine(line.text, {high, low});
    }
    case Kind::kJobStatus:
      return line.text + JobStatusFlags(value) + ")";
    case Kind::kPrinterStatus:
      return line.text + PrinterStatusFlags(value) + ")";
    case Kind::kFixed:
      break;
  }
  return line.text;
}

}  // namespace

std::optional<std::uint64_t> SystemTimeToFileTime(const SystemTime& time) {
  if (time.Year < 1601 || time.Year > 30827 || time.Month < 1 || time.Month > 12 || time.Day < 1 ||
      time.Day > DaysInMonth(time.Year, time.Month) || time.Hour > 23 || time.Minute > 59 ||
      time.Second > 59 || time.Milliseconds > 999) {
    return std::nullopt;
  }
  std::int64_t seconds = DaysSince1601(time.Year, time.Month, time.Day) * 86400 + time.Hour * 3600 +
                         time.Minute * 60 + time.Second;
  return static_cast<std::uint64_t>(seconds) * 10000000u + time.Milliseconds * 10000u;
}

std::string JobStatusFlags(std::uint32_t value) {
  return FlagList(value, kJobStatusFlags);
}

std::string PrinterStatusFlags(std::uint32_t value) {
  return FlagList(value, kPrinterStatusFlags);
}

std::optional<std::string> DecodeNotifyEntry(const NotifyInfoData& entry) {
  if (entry.Type == kJobNotifyType) {
    if (entry.Field >= kJobFields.size()) return "UNKNOWN job notification.";
    return DecodeLine(kJobFields[entry.Field], entry);
  }
  if (entry.Type == kPrinterNotifyType) {
    if (entry.Field >= kPrinterFields.size()) return "UNKNOWN printer notification.";
    return DecodeLine(kPrinterFields[entry.Field], entry);
  }
  return std::nullopt;
}

}  // namespace pennock
