// What resource_info.exe reads out of a program file's resources, as plain data: version
// numbers, the path of a version string, and the entries of an icon group.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnell::tools {

// "major.minor.build.revision" from the two 32-bit halves of a fixed version number.
std::string VersionText(std::uint32_t most_significant, std::uint32_t least_significant);

// The VerQueryValue path of one string of a translation: "\StringFileInfo\040904b0\ProductName".
std::string StringFileInfoPath(std::uint16_t language, std::uint16_t code_page,
                               std::string_view name);

// The names of the version strings that Windows shows and that we fill in.
const std::vector<std::string>& StandardVersionStrings();

// One image of an icon group (RT_GROUP_ICON): its size, colour depth, the size of its RT_ICON
// resource and that resource's identifier.
struct IconEntry {
  int width = 0;
  int height = 0;
  int bits_per_pixel = 0;
  std::uint32_t bytes = 0;
  std::uint16_t id = 0;
};

// The entries of an icon group resource as stored in a program file; nothing when the data is
// no icon group (wrong header, or shorter than its entry count says).
std::optional<std::vector<IconEntry>> ParseIconGroup(const std::uint8_t* data, std::size_t size);

}  // namespace varnell::tools
