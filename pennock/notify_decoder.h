// Decoding of spooler notification entries into the monitor's lines: the job and printer
// field tables, the value kinds and the status flag lists. Pure functions, any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "pennock/platform/spooler.h"

namespace pennock {

// The fields of a Windows SYSTEMTIME, in their order.
struct SystemTime {
  std::uint16_t Year = 0;
  std::uint16_t Month = 0;
  std::uint16_t DayOfWeek = 0;
  std::uint16_t Day = 0;
  std::uint16_t Hour = 0;
  std::uint16_t Minute = 0;
  std::uint16_t Second = 0;
  std::uint16_t Milliseconds = 0;
};

// SystemTimeToFileTime: 100-nanosecond intervals since 1601-01-01, the fields taken as they
// are; empty for an invalid SYSTEMTIME (the day of the week is not looked at).
std::optional<std::uint64_t> SystemTimeToFileTime(const SystemTime& time);

// " JOB_STATUS_PRINTING | JOB_STATUS_SPOOLING " for the flags set in `value`, tested in the
// tables' order; empty when none is set.
std::string JobStatusFlags(std::uint32_t value);
std::string PrinterStatusFlags(std::uint32_t value);

// The text that follows "[T] " for one entry; empty for an entry of neither the job nor the
// printer type.
std::optional<std::string> DecodeNotifyEntry(const NotifyInfoData& entry);

}  // namespace pennock
