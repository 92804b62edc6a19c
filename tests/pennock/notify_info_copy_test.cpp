// Copying the spooler's notification records (the layout Windows documents) into NotifyInfo:
// texts within their buffers, the submission time, the fields whose buffers are not read, the
// flags and empty information.
#include "pennock/platform/notify_info_copy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "pennock/notify_decoder.h"

namespace pennock {
namespace {

// Latin-1 stands in for the ANSI code page: characters above it become "?".
struct RecordingConverter {
  std::vector<std::u16string> Texts;
  std::string operator()(std::u16string_view text) {
    Texts.emplace_back(text);
    std::string ansi;
    for (char16_t unit : text) ansi += unit < 0x100 ? static_cast<char>(unit) : '?';
    return ansi;
  }
};

// One PRINTER_NOTIFY_INFO block with its entries, as the spooler allocates it.
class InfoBlock {
 public:
  InfoBlock(std::uint32_t flags, const std::vector<NotifyInfoDataRecord>& entries)
      : storage_(new std::max_align_t[(offsetof(NotifyInfoRecord, aData) +
                                       (entries.size() + 1) * sizeof(NotifyInfoDataRecord)) /
                                          sizeof(std::max_align_t) +
                                      1]) {
    auto* info = reinterpret_cast<NotifyInfoRecord*>(storage_.get());
    info->Version = 2;
    info->Flags = flags;
    info->Count = static_cast<std::uint32_t>(entries.size());
    NotifyInfoDataRecord* data = info->aData;
    for (std::size_t i = 0; i < entries.size(); ++i) data[i] = entries[i];
  }
  const NotifyInfoRecord& Info() const {
    return *reinterpret_cast<const NotifyInfoRecord*>(storage_.get());
  }

 private:
  std::unique_ptr<std::max_align_t[]> storage_;
};

NotifyInfoDataRecord Number(std::uint16_t type, std::uint16_t field, std::uint32_t value,
                            std::uint32_t id = 0) {
  NotifyInfoDataRecord data{};
  data.Type = type;
  data.Field = field;
  data.Id = id;
  data.NotifyData.adwData[0] = value;
  data.NotifyData.adwData[1] = 0;
  return data;
}

NotifyInfoDataRecord Buffer(std::uint16_t type, std::uint16_t field, const void* buffer,
                            std::size_t bytes) {
  NotifyInfoDataRecord data{};
  data.Type = type;
  data.Field = field;
  data.NotifyData.Data.cbBuf = static_cast<std::uint32_t>(bytes);
  data.NotifyData.Data.pBuf = const_cast<void*>(buffer);
  return data;
}

NotifyInfoDataRecord Text(std::uint16_t type, std::uint16_t field, const std::u16string& text) {
  return Buffer(type, field, text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

class NotifyInfoCopyTest : public ::testing::Test {
 protected:
  NotifyInfo Copy(const InfoBlock& block) {
    return CopyNotifyInfo(block.Info(), [this](std::u16string_view text) { return ansi(text); });
  }
  RecordingConverter ansi;
};

TEST_F(NotifyInfoCopyTest, TextsAreConvertedUpToTheirNul) {
  const std::u16string name = u"Varnell";
  const std::u16string comment = u"Caf\u00e9 \u6f22\u5b57";
  const std::u16string junk = std::u16string(u"Kodak") + u'\0' + u"junk";
  InfoBlock block(0, {Text(kJobNotifyType, 0, name), Text(kPrinterNotifyType, 5, comment),
                      Buffer(kJobNotifyType, 13, junk.data(), junk.size() * 2)});
  NotifyInfo info = Copy(block);
  ASSERT_EQ(info.Data.size(), 3u);
  EXPECT_EQ(info.Data[0].Buffer, "Varnell");
  EXPECT_EQ(info.Data[1].Buffer, "Caf\xE9 ??");
  EXPECT_EQ(info.Data[2].Buffer, "Kodak");
  EXPECT_EQ(ansi.Texts, (std::vector<std::u16string>{name, comment, u"Kodak"}));
  EXPECT_EQ(DecodeNotifyEntry(info.Data[1]),
            "PRINTER_NOTIFY_FIELD_COMMENT: NotifyData.Data.pbuf = \"Caf\xE9 ??\"");
}

// A text without NUL ends with its buffer, also at an odd byte count; no buffer is no text.
TEST_F(NotifyInfoCopyTest, TextIsReadWithinItsBuffer) {
  const std::u16string letters = u"ABCDEF";
  InfoBlock block(0, {Buffer(kJobNotifyType, 3, letters.data(), 6),
                      Buffer(kJobNotifyType, 3, letters.data(), 7),
                      Buffer(kPrinterNotifyType, 1, letters.data(), 0),
                      Buffer(kPrinterNotifyType, 1, nullptr, 12)});
  NotifyInfo info = Copy(block);
  ASSERT_EQ(info.Data.size(), 4u);
  EXPECT_EQ(info.Data[0].Buffer, "ABC");
  EXPECT_EQ(info.Data[1].Buffer, "ABC");
  EXPECT_EQ(info.Data[2].Buffer, "");
  EXPECT_EQ(info.Data[3].Buffer, std::nullopt);
  EXPECT_EQ(DecodeNotifyEntry(info.Data[3]),
            "PRINTER_NOTIFY_FIELD_PRINTER_NAME: NotifyData.Data.pbuf = \"\"");
}

TEST_F(NotifyInfoCopyTest, SubmissionTimeIsCopiedAsItsBytes) {
  const std::uint16_t time[8] = {2011, 5, 2, 10, 12, 38, 25, 0};
  InfoBlock block(
      0, {Buffer(kJobNotifyType, 16, time, sizeof time), Buffer(kJobNotifyType, 16, time, 4)});
  NotifyInfo info = Copy(block);
  ASSERT_EQ(info.Data.size(), 2u);
  ASSERT_TRUE(info.Data[0].Buffer.has_value());
  EXPECT_EQ(*info.Data[0].Buffer, std::string(reinterpret_cast<const char*>(time), 16));
  EXPECT_EQ(DecodeNotifyEntry(info.Data[0]),
            "JOB_NOTIFY_FIELD_SUBMITTED: SYSTEMTIME(NotifyData.Data.pbuf^) = 01CC0F0F27967680");
  EXPECT_EQ(info.Data[1].Buffer->size(), 4u);
  EXPECT_EQ(DecodeNotifyEntry(info.Data[1]),
            "JOB_NOTIFY_FIELD_SUBMITTED: SYSTEMTIME(NotifyData.Data.pbuf^) = 0000F0F000000F0F");
  EXPECT_TRUE(ansi.Texts.empty());
}

// Which field codes carry a text or the time, as the spooler documents them; no other buffer is
// read, whatever size it claims (a one-byte buffer claiming a kilobyte would be read past).
TEST_F(NotifyInfoCopyTest, OnlyTextAndTimeFieldsHaveTheirBufferRead) {
  const std::u16string text = u"x";
  std::vector<NotifyInfoDataRecord> entries;
  for (std::uint16_t field = 0; field <= 26; ++field) {
    entries.push_back(Text(kJobNotifyType, field, text));
    entries.push_back(Text(kPrinterNotifyType, field, text));
  }
  const char one_byte = 'z';
  entries.push_back(Buffer(kJobNotifyType, 9, &one_byte, 1024));
  entries.push_back(Buffer(kPrinterNotifyType, 12, &one_byte, 1024));
  entries.push_back(Buffer(2, 0, &one_byte, 1024));
  NotifyInfo info = Copy(InfoBlock(0, entries));
  ASSERT_EQ(info.Data.size(), entries.size());

  std::string job_texts;
  std::string printer_texts;
  for (std::size_t field = 0; field <= 26; ++field) {
    const NotifyInfoData& job = info.Data[2 * field];
    const NotifyInfoData& printer = info.Data[2 * field + 1];
    job_texts += !job.Buffer ? '-' : *job.Buffer == "x" ? 'T' : 'B';
    printer_texts += !printer.Buffer ? '-' : *printer.Buffer == "x" ? 'T' : 'B';
  }
  //                   0         1         2
  //                   012345678901234567890123456
  EXPECT_EQ(job_texts, "TTTTTTTTT--T-T--B----------");
  EXPECT_EQ(printer_texts, "TTTTTTT-TTTT-------T-------");
  for (std::size_t i = entries.size() - 3; i < entries.size(); ++i) {
    EXPECT_EQ(info.Data[i].Buffer, std::nullopt) << i;
  }
}

TEST_F(NotifyInfoCopyTest, NumbersIdsAndTypesAreCopied) {
  InfoBlock block(0, {Number(kJobNotifyType, 10, 0x18, 7), Number(kPrinterNotifyType, 20, 3),
                      Number(kPrinterNotifyType, 13, 0xFFFFFFFF), Number(5, 99, 42, 9)});
  NotifyInfo info = Copy(block);
  ASSERT_EQ(info.Data.size(), 4u);
  EXPECT_EQ(info.Data[0].Type, kJobNotifyType);
  EXPECT_EQ(info.Data[0].Field, 10);
  EXPECT_EQ(info.Data[0].Id, 7u);
  EXPECT_EQ(info.Data[0].Value, 0x18u);
  EXPECT_EQ(info.Data[1].Value, 3u);
  EXPECT_EQ(info.Data[2].Value, 0xFFFFFFFFu);
  EXPECT_EQ(info.Data[3].Type, 5);
  EXPECT_EQ(info.Data[3].Field, 99);
  EXPECT_EQ(info.Data[3].Id, 9u);
  EXPECT_EQ(DecodeNotifyEntry(info.Data[0]),
            "JOB_NOTIFY_FIELD_STATUS = ( JOB_STATUS_PRINTING | JOB_STATUS_SPOOLING )");
}

TEST_F(NotifyInfoCopyTest, FlagsAndEmptyInformation) {
  NotifyInfo discarded = Copy(InfoBlock(kNotifyInfoDiscarded, {}));
  EXPECT_EQ(discarded.Version, 2u);
  EXPECT_EQ(discarded.Flags, kNotifyInfoDiscarded);
  EXPECT_TRUE(discarded.Data.empty());
  NotifyInfo plain = Copy(InfoBlock(0, {Number(kPrinterNotifyType, 18, 1)}));
  EXPECT_EQ(plain.Flags, 0u);
  EXPECT_EQ(plain.Data.size(), 1u);
}

}  // namespace
}  // namespace pennock
