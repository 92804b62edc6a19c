// The stand-in port monitor's ports: the name it reads from its registry key, and the records it
// answers a port enumeration with. Portable, so that the rules are tested without Windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace standin_kit {

// Below HKEY_LOCAL_MACHINE: the key the spooler keeps for the monitor once it is added.
inline constexpr char16_t kMonitorKey[] =
    u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Tollard Port Monitor";
inline constexpr char16_t kMonitorName[] = u"Tollard Port Monitor";
// The value whose text names the one port the monitor offers.
inline constexpr char16_t kPortNameValue[] = u"1";
inline constexpr char16_t kPortDescription[] =
    u"Stand-in AFP port of the test kit (prints nothing)";

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kPortTypeWrite = 1;

// The port named by a registry value: REG_SZ text up to its first terminator (a text that the
// writer left unterminated ends with the data). Nothing for another type or an empty name.
std::optional<std::u16string> PortNameFromValue(uint32_t type, const std::vector<uint8_t>& data);

// Port names are compared as the spooler compares them: ASCII letters without regard to case.
bool SamePortName(const std::u16string& a, const std::u16string& b);

// PORT_INFO_1W and PORT_INFO_2W, field for field.
struct PortInfo1 {
  char16_t* Name;
};
struct PortInfo2 {
  char16_t* PortName;
  char16_t* MonitorName;
  char16_t* Description;
  uint32_t PortType;
  uint32_t Reserved;
};

enum class FillStatus { kFilled, kBufferTooSmall, kUnknownLevel };

struct PortListing {
  FillStatus Status = FillStatus::kFilled;
  // Bytes the whole answer takes, records and texts.
  uint32_t Needed = 0;
  // Records written; 0 unless filled.
  uint32_t Returned = 0;
};

// Answers an enumeration at level 1 or 2: one record per port at the start of `buffer`, their
// terminated texts after the records. A buffer smaller than the answer (or none) is left
// untouched, and the answer says how many bytes it needs.
PortListing FillPortRecords(uint32_t level, const std::vector<std::u16string>& ports,
                            uint8_t* buffer, uint32_t buffer_bytes);

}  // namespace standin_kit
