// What resource_info.exe makes of the raw resource data: icon groups and version numbers.
#include "tools/resource_info/resource_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace varnell::tools {
namespace {

// An icon group as the resource compiler writes it: header, then 14 bytes per image.
struct IconGroupBytes {
  explicit IconGroupBytes(std::uint16_t type = 1) {
    Word(0);  // reserved
    Word(type);
    Word(0);  // image count, counted up by Add
  }

  IconGroupBytes& Add(std::uint8_t width, std::uint8_t height, std::uint16_t bits,
                      std::uint32_t length, std::uint16_t id) {
    ++bytes[4];
    bytes.push_back(width);
    bytes.push_back(height);
    bytes.push_back(0);  // colour count
    bytes.push_back(0);  // reserved
    Word(1);             // planes
    Word(bits);
    Word(length & 0xFFFF);
    Word(length >> 16);
    Word(id);
    return *this;
  }

  void Word(std::uint32_t value) {
    bytes.push_back(value & 0xFF);
    bytes.push_back((value >> 8) & 0xFF);
  }

  std::vector<std::uint8_t> bytes;
};

TEST(ParseIconGroup, ReadsEveryImageWithSizeDepthLengthAndId) {
  IconGroupBytes group;
  group.Add(0, 0, 32, 70000, 1).Add(48, 48, 32, 9640, 2).Add(16, 16, 8, 1128, 7);
  auto entries = ParseIconGroup(group.bytes.data(), group.bytes.size());
  ASSERT_TRUE(entries.has_value());
  ASSERT_EQ(entries->size(), 3u);
  // A size byte of 0 is 256 pixels.
  EXPECT_EQ((*entries)[0].width, 256);
  EXPECT_EQ((*entries)[0].height, 256);
  EXPECT_EQ((*entries)[0].bytes, 70000u);
  EXPECT_EQ((*entries)[1].width, 48);
  EXPECT_EQ((*entries)[1].bits_per_pixel, 32);
  EXPECT_EQ((*entries)[1].id, 2);
  EXPECT_EQ((*entries)[2].height, 16);
  EXPECT_EQ((*entries)[2].bits_per_pixel, 8);
  EXPECT_EQ((*entries)[2].bytes, 1128u);
  EXPECT_EQ((*entries)[2].id, 7);
}

TEST(ParseIconGroup, EmptyGroupHasNoImages) {
  IconGroupBytes group;
  auto entries = ParseIconGroup(group.bytes.data(), group.bytes.size());
  ASSERT_TRUE(entries.has_value());
  EXPECT_TRUE(entries->empty());
}

TEST(ParseIconGroup, RefusesWhatIsNoIconGroup) {
  IconGroupBytes cursors(2);
  cursors.Add(32, 32, 1, 300, 1);
  EXPECT_FALSE(ParseIconGroup(cursors.bytes.data(), cursors.bytes.size()).has_value());

  IconGroupBytes group;
  group.Add(32, 32, 32, 4264, 1).Add(16, 16, 32, 1128, 2);
  // One byte short of the second image.
  EXPECT_FALSE(ParseIconGroup(group.bytes.data(), group.bytes.size() - 1).has_value());
  EXPECT_FALSE(ParseIconGroup(group.bytes.data(), 5).has_value());
  EXPECT_FALSE(ParseIconGroup(nullptr, 0).has_value());

  IconGroupBytes reserved;
  reserved.bytes[0] = 1;
  EXPECT_FALSE(ParseIconGroup(reserved.bytes.data(), reserved.bytes.size()).has_value());
}

TEST(VersionText, TakesTheFourPartsMostSignificantFirst) {
  EXPECT_EQ(VersionText(0x00020000, 0x00000200), "2.0.0.512");
  EXPECT_EQ(VersionText(0x00010002, 0x00030004), "1.2.3.4");
  EXPECT_EQ(VersionText(0xFFFFFFFF, 0xFFFF0000), "65535.65535.65535.0");
}

TEST(StringFileInfoPath, NamesTheTranslationInEightHexDigits) {
  EXPECT_EQ(StringFileInfoPath(0x0409, 0x04B0, "ProductName"),
            "\\StringFileInfo\\040904b0\\ProductName");
  EXPECT_EQ(StringFileInfoPath(0x0007, 0x0000, "CompanyName"),
            "\\StringFileInfo\\00070000\\CompanyName");
}

}  // namespace
}  // namespace varnell::tools
