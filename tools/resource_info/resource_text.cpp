// What resource_info.exe reads out of a program file's resources, as plain data.
#include "tools/resource_info/resource_text.h"

#include <cstdio>

namespace varnell::tools {

namespace {

std::uint16_t Word(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t DoubleWord(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(Word(p)) | (static_cast<std::uint32_t>(Word(p + 2)) << 16);
}

// GRPICONDIR: reserved 0, type 1 (icons), count; then GRPICONDIRENTRY records of 14 bytes.
constexpr std::size_t kHeaderSize = 6;
constexpr std::size_t kEntrySize = 14;
constexpr std::uint16_t kIconType = 1;

}  // namespace

std::string VersionText(std::uint32_t most_significant, std::uint32_t least_significant) {
  return std::to_string(most_significant >> 16) + "." + std::to_string(most_significant & 0xFFFF) +
         "." + std::to_string(least_significant >> 16) + "." +
         std::to_string(least_significant & 0xFFFF);
}

std::string StringFileInfoPath(std::uint16_t language, std::uint16_t code_page,
                               std::string_view name) {
  char block[9];
  std::snprintf(block, sizeof block, "%04x%04x", language, code_page);
  return "\\StringFileInfo\\" + std::string(block) + "\\" + std::string(name);
}

const std::vector<std::string>& StandardVersionStrings() {
  static const std::vector<std::string> names = {
      "CompanyName",     "FileDescription",  "FileVersion", "InternalName",   "LegalCopyright",
      "LegalTrademarks", "OriginalFilename", "ProductName", "ProductVersion", "Comments"};
  return names;
}

std::optional<std::vector<IconEntry>> ParseIconGroup(const std::uint8_t* data, std::size_t size) {
  if (!data || size < kHeaderSize) return std::nullopt;
  if (Word(data) != 0 || Word(data + 2) != kIconType) return std::nullopt;
  const std::size_t count = Word(data + 4);
  if (size < kHeaderSize + count * kEntrySize) return std::nullopt;
  std::vector<IconEntry> entries;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = data + kHeaderSize + i * kEntrySize;
    IconEntry entry;
    // A width or height of 0 stands for 256 pixels, which does not fit the byte.
    entry.width = e[0] ? e[0] : 256;
    entry.height = e[1] ? e[1] : 256;
    entry.bits_per_pixel = Word(e + 6);
    entry.bytes = DoubleWord(e + 8);
    entry.id = Word(e + 12);
    entries.push_back(entry);
  }
  return entries;
}

}  // namespace varnell::tools
