// The stand-in kit's rules: the port its monitor reads from the registry, the records it answers
// a port enumeration with, and the device mode settings and capabilities of its driver.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tools/standin_kit/document_settings.h"
#include "tools/standin_kit/port_records.h"

namespace standin_kit {
namespace {

std::vector<uint8_t> Utf16Bytes(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return bytes;
}

TEST(PortNameFromValueTest, ReadsTheTextUpToItsTerminator) {
  const std::u16string port = u"AFP Printer Port";
  EXPECT_EQ(PortNameFromValue(kRegSz, Utf16Bytes(port + u'\0')), port);
  // Left unterminated by its writer, or followed by more than one terminator.
  EXPECT_EQ(PortNameFromValue(kRegSz, Utf16Bytes(port)), port);
  EXPECT_EQ(PortNameFromValue(kRegSz, Utf16Bytes(port + u'\0' + u"old" + u'\0')), port);
  // A stray last byte is no unit.
  std::vector<uint8_t> odd = Utf16Bytes(u"P1");
  odd.push_back('X');
  EXPECT_EQ(PortNameFromValue(kRegSz, odd), u"P1");
  // Not a unit of the ASCII range only.
  EXPECT_EQ(PortNameFromValue(kRegSz, Utf16Bytes(u"Port \u00c5")), u"Port \u00c5");
}

TEST(PortNameFromValueTest, NamesNoPortForOtherTypesOrEmptyText) {
  const std::vector<uint8_t> text = Utf16Bytes(std::u16string(u"AFP Printer Port") + u'\0');
  EXPECT_EQ(PortNameFromValue(2, text), std::nullopt);          // REG_EXPAND_SZ
  EXPECT_EQ(PortNameFromValue(4, {1, 0, 0, 0}), std::nullopt);  // REG_DWORD
  EXPECT_EQ(PortNameFromValue(kRegSz, {}), std::nullopt);
  EXPECT_EQ(PortNameFromValue(kRegSz, {0, 0}), std::nullopt);
  EXPECT_EQ(PortNameFromValue(kRegSz, {'A'}), std::nullopt);
}

TEST(SamePortNameTest, IgnoresTheCaseOfAsciiLettersOnly) {
  EXPECT_TRUE(SamePortName(u"AFP Printer Port", u"afp printer PORT"));
  EXPECT_FALSE(SamePortName(u"AFP Printer Port", u"AFP Printer Port "));
  EXPECT_FALSE(SamePortName(u"AFP Printer Port", u"AFP Printer Pork"));
  EXPECT_FALSE(SamePortName(u"Port \u00c5", u"port \u00e5"));
  EXPECT_TRUE(SamePortName(u"", u""));
}

uint32_t TextBytes(const std::u16string& text) {
  return static_cast<uint32_t>(2 * (text.size() + 1));
}

// A text the answer points to: inside the buffer, after the records, terminated.
void ExpectTextInBuffer(const char16_t* text, const std::u16string& expected,
                        const std::vector<uint8_t>& buffer, size_t records_end) {
  ASSERT_NE(text, nullptr);
  const auto* at = reinterpret_cast<const uint8_t*>(text);
  ASSERT_GE(at, buffer.data() + records_end);
  ASSERT_LE(at + TextBytes(expected), buffer.data() + buffer.size());
  EXPECT_EQ(std::u16string(text), expected);
}

TEST(FillPortRecordsTest, LevelTwoRecordNamesPortMonitorAndDescription) {
  const std::vector<std::u16string> ports = {u"AFP Printer Port"};
  const uint32_t needed = sizeof(PortInfo2) + TextBytes(ports[0]) + TextBytes(kMonitorName) +
                          TextBytes(kPortDescription);

  const PortListing sizing = FillPortRecords(2, ports, nullptr, 0);
  EXPECT_EQ(sizing.Status, FillStatus::kBufferTooSmall);
  EXPECT_EQ(sizing.Needed, needed);
  EXPECT_EQ(sizing.Returned, 0u);

  std::vector<uint8_t> buffer(needed);
  const PortListing filled = FillPortRecords(2, ports, buffer.data(), needed);
  ASSERT_EQ(filled.Status, FillStatus::kFilled);
  EXPECT_EQ(filled.Needed, needed);
  EXPECT_EQ(filled.Returned, 1u);
  PortInfo2 record;
  std::memcpy(&record, buffer.data(), sizeof record);
  ExpectTextInBuffer(record.PortName, u"AFP Printer Port", buffer, sizeof record);
  ExpectTextInBuffer(record.MonitorName, u"Tollard Port Monitor", buffer, sizeof record);
  ExpectTextInBuffer(record.Description, kPortDescription, buffer, sizeof record);
  EXPECT_EQ(record.PortType, kPortTypeWrite);
  EXPECT_EQ(record.Reserved, 0u);
}

TEST(FillPortRecordsTest, TooSmallBufferIsLeftUntouched) {
  const std::vector<std::u16string> ports = {u"AFP Printer Port"};
  const uint32_t needed = FillPortRecords(1, ports, nullptr, 0).Needed;
  ASSERT_EQ(needed, sizeof(PortInfo1) + TextBytes(ports[0]));
  std::vector<uint8_t> buffer(needed, 0xAB);
  const PortListing listing = FillPortRecords(1, ports, buffer.data(), needed - 1);
  EXPECT_EQ(listing.Status, FillStatus::kBufferTooSmall);
  EXPECT_EQ(listing.Needed, needed);
  EXPECT_EQ(listing.Returned, 0u);
  EXPECT_EQ(buffer, std::vector<uint8_t>(needed, 0xAB));
}

TEST(FillPortRecordsTest, EveryPortGetsItsRecordAndTexts) {
  const std::vector<std::u16string> ports = {u"AFP Printer Port", u"P2"};
  const uint32_t needed = FillPortRecords(1, ports, nullptr, 0).Needed;
  ASSERT_EQ(needed, 2 * sizeof(PortInfo1) + TextBytes(ports[0]) + TextBytes(ports[1]));
  std::vector<uint8_t> buffer(needed + 16);  // larger than needed is fine
  const PortListing listing = FillPortRecords(1, ports, buffer.data(), needed + 16);
  ASSERT_EQ(listing.Status, FillStatus::kFilled);
  EXPECT_EQ(listing.Returned, 2u);
  PortInfo1 records[2];
  std::memcpy(records, buffer.data(), sizeof records);
  ExpectTextInBuffer(records[0].Name, u"AFP Printer Port", buffer, sizeof records);
  ExpectTextInBuffer(records[1].Name, u"P2", buffer, sizeof records);
  EXPECT_NE(records[0].Name, records[1].Name);
}

TEST(FillPortRecordsTest, NoPortIsAnEmptyAnswerAndOtherLevelsAreRefused) {
  const PortListing none = FillPortRecords(2, {}, nullptr, 0);
  EXPECT_EQ(none.Status, FillStatus::kFilled);
  EXPECT_EQ(none.Needed, 0u);
  EXPECT_EQ(none.Returned, 0u);

  std::vector<uint8_t> buffer(256);
  for (uint32_t level : {0u, 3u}) {
    SCOPED_TRACE(level);
    const PortListing listing = FillPortRecords(level, {u"P1"}, buffer.data(), 256);
    EXPECT_EQ(listing.Status, FillStatus::kUnknownLevel);
    EXPECT_EQ(listing.Returned, 0u);
  }
}

TEST(DocumentSettingsTest, DefaultIsPortraitA4OneCopyAt600Dpi) {
  const DocumentSettings settings;
  EXPECT_EQ(settings.Orientation, kPortrait);
  EXPECT_EQ(settings.PaperSize, kPaperA4);
  EXPECT_EQ(settings.Copies, 1);
  EXPECT_EQ(settings.PrintQuality, 600);
  EXPECT_EQ(settings.YResolution, 600);
}

TEST(DocumentSettingsTest, TakesOnlyNamedFieldsWithValuesTheDriverCanDo) {
  DocumentSettings asked;
  asked.Orientation = kLandscape;
  asked.PaperSize = kPaperLetter;
  asked.Copies = 3;
  asked.PrintQuality = 300;
  asked.YResolution = 300;

  DocumentSettings expected;
  EXPECT_EQ(WithRequested(DocumentSettings(), 0, asked), expected);
  expected.Orientation = kLandscape;
  EXPECT_EQ(WithRequested(DocumentSettings(), kFieldOrientation, asked), expected);
  expected.PaperSize = kPaperLetter;
  expected.Copies = 3;
  // The resolution is the driver's own.
  EXPECT_EQ(WithRequested(DocumentSettings(), kKeptFields, asked), expected);

  DocumentSettings unusable;
  unusable.Orientation = 3;
  unusable.PaperSize = 8;  // A3, which the driver does not offer
  for (int copies : {0, -1, kMaxCopies + 1}) {
    SCOPED_TRACE(copies);
    unusable.Copies = static_cast<int16_t>(copies);
    EXPECT_EQ(WithRequested(expected, kKeptFields, unusable), expected);
  }
  unusable.Copies = kMaxCopies;
  EXPECT_EQ(WithRequested(expected, kKeptFields, unusable).Copies, kMaxCopies);
}

TEST(DeviceCapabilityTest, ListsAreCountedAndWrittenOnlyWhenThereIsRoom) {
  EXPECT_EQ(DeviceCapability(kCapPapers, nullptr, 220), 2);
  int16_t papers[3] = {-1, -1, -1};
  EXPECT_EQ(DeviceCapability(kCapPapers, papers, 220), 2);
  EXPECT_EQ(papers[0], kPaperLetter);
  EXPECT_EQ(papers[1], kPaperA4);
  EXPECT_EQ(papers[2], -1);

  EXPECT_EQ(DeviceCapability(kCapEnumResolutions, nullptr, 220), 1);
  int32_t resolutions[3] = {0, 0, -1};
  EXPECT_EQ(DeviceCapability(kCapEnumResolutions, resolutions, 220), 1);
  EXPECT_EQ(resolutions[0], 600);
  EXPECT_EQ(resolutions[1], 600);
  EXPECT_EQ(resolutions[2], -1);
}

TEST(DeviceCapabilityTest, AnswersWhatTheDeviceModeHoldsAndRefusesTheRest) {
  EXPECT_EQ(DeviceCapability(kCapFields, nullptr, 220), static_cast<int32_t>(kKeptFields));
  EXPECT_EQ(DeviceCapability(kCapSize, nullptr, 220), 220);
  EXPECT_EQ(DeviceCapability(kCapExtra, nullptr, 220), 0);
  EXPECT_EQ(DeviceCapability(kCapDriver, nullptr, 220), kDriverVersion);
  EXPECT_EQ(DeviceCapability(kCapCopies, nullptr, 220), kMaxCopies);
  EXPECT_EQ(DeviceCapability(kCapOrientation, nullptr, 220), 90);
  EXPECT_EQ(DeviceCapability(3, nullptr, 220), kCapUnsupported);  // paper dimensions
  EXPECT_EQ(DeviceCapability(99, nullptr, 220), kCapUnsupported);
}

}  // namespace
}  // namespace standin_kit
