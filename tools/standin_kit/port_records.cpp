// The stand-in port monitor's ports.
#include "tools/standin_kit/port_records.h"

#include <cstring>

namespace standin_kit {

namespace {

char16_t AsciiLower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

uint32_t TextBytes(const std::u16string& text) {
  return static_cast<uint32_t>((text.size() + 1) * sizeof(char16_t));
}

// The texts one record points to, in the order they are laid out.
std::vector<std::u16string> TextsOf(uint32_t level, const std::u16string& port) {
  if (level == 1) return {port};
  return {port, kMonitorName, kPortDescription};
}

}  // namespace

std::optional<std::u16string> PortNameFromValue(uint32_t type, const std::vector<uint8_t>& data) {
  if (type != kRegSz) return std::nullopt;
  std::u16string name;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == u'\0') break;
    name += unit;
  }
  if (name.empty()) return std::nullopt;
  return name;
}

bool SamePortName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

PortListing FillPortRecords(uint32_t level, const std::vector<std::u16string>& ports,
                            uint8_t* buffer, uint32_t buffer_bytes) {
  PortListing listing;
  if (level != 1 && level != 2) {
    listing.Status = FillStatus::kUnknownLevel;
    return listing;
  }
  const uint32_t record_bytes = level == 1 ? sizeof(PortInfo1) : sizeof(PortInfo2);
  listing.Needed = record_bytes * static_cast<uint32_t>(ports.size());
  for (const std::u16string& port : ports)
    for (const std::u16string& text : TextsOf(level, port)) listing.Needed += TextBytes(text);
  if (listing.Needed > buffer_bytes || (buffer == nullptr && listing.Needed > 0)) {
    listing.Status = FillStatus::kBufferTooSmall;
    return listing;
  }

  uint8_t* next_text = buffer + record_bytes * ports.size();
  for (size_t i = 0; i < ports.size(); ++i) {
    std::vector<char16_t*> placed;
    for (const std::u16string& text : TextsOf(level, ports[i])) {
      const uint32_t bytes = TextBytes(text);
      std::memcpy(next_text, text.c_str(), bytes);
      placed.push_back(reinterpret_cast<char16_t*>(next_text));
      next_text += bytes;
    }
    if (level == 1) {
      const PortInfo1 record{placed[0]};
      std::memcpy(buffer + i * record_bytes, &record, sizeof record);
    } else {
      const PortInfo2 record{placed[0], placed[1], placed[2], kPortTypeWrite, 0};
      std::memcpy(buffer + i * record_bytes, &record, sizeof record);
    }
  }
  listing.Returned = static_cast<uint32_t>(ports.size());
  return listing;
}

}  // namespace standin_kit
