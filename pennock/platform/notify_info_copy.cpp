// Copying the spooler's notification information.
#include "pennock/platform/notify_info_copy.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace pennock {
namespace {

enum class BufferKind { kNone, kText, kBytes };

// Field codes of the entries that carry a buffer.
constexpr std::uint16_t kJobDriverName = 8;
constexpr std::uint16_t kJobStatusString = 11;
constexpr std::uint16_t kJobDocument = 13;
constexpr std::uint16_t kJobSubmitted = 16;
constexpr std::uint16_t kPrinterLocation = 6;
constexpr std::uint16_t kPrinterSepFile = 8;
constexpr std::uint16_t kPrinterDatatype = 11;
constexpr std::uint16_t kPrinterStatusString = 19;

// As the spooler documents its fields: the job texts are codes 0 to 8, 11 and 13, the printer
// texts 0 to 6, 8 to 11 and 19; the submission time is a SYSTEMTIME.
BufferKind BufferKindOf(std::uint16_t type, std::uint16_t field) {
  if (type == kJobNotifyType) {
    if (field <= kJobDriverName || field == kJobStatusString || field == kJobDocument) {
      return BufferKind::kText;
    }
    return field == kJobSubmitted ? BufferKind::kBytes : BufferKind::kNone;
  }
  if (type == kPrinterNotifyType) {
    if (field <= kPrinterLocation || (field >= kPrinterSepFile && field <= kPrinterDatatype) ||
        field == kPrinterStatusString) {
      return BufferKind::kText;
    }
  }
  return BufferKind::kNone;
}

std::u16string TextAt(const void* buffer, std::uint32_t bytes) {
  std::u16string text(bytes / sizeof(char16_t), u'\0');
  std::memcpy(text.data(), buffer, text.size() * sizeof(char16_t));
  text.resize(std::min(text.size(), text.find(u'\0')));
  return text;
}

std::optional<std::string> BufferOf(const NotifyInfoDataRecord& data,
                                    const AnsiConverter& to_ansi) {
  const void* buffer = data.NotifyData.Data.pBuf;
  const std::uint32_t bytes = data.NotifyData.Data.cbBuf;
  switch (BufferKindOf(data.Type, data.Field)) {
    case BufferKind::kText:
      if (buffer == nullptr) return std::nullopt;
      return to_ansi(TextAt(buffer, bytes));
    case BufferKind::kBytes:
      if (buffer == nullptr) return std::nullopt;
      return std::string(static_cast<const char*>(buffer), bytes);
    case BufferKind::kNone:
      break;
  }
  return std::nullopt;
}

}  // namespace

NotifyInfo CopyNotifyInfo(const NotifyInfoRecord& info, const AnsiConverter& to_ansi) {
  NotifyInfo copy;
  copy.Version = info.Version;
  copy.Flags = info.Flags;
  copy.Data.reserve(info.Count);
  // The entries run on past the one that the record declares.
  const NotifyInfoDataRecord* entries = info.aData;
  for (std::uint32_t i = 0; i < info.Count; ++i) {
    const NotifyInfoDataRecord& data = entries[i];
    NotifyInfoData entry;
    entry.Type = data.Type;
    entry.Field = data.Field;
    entry.Id = data.Id;
    entry.Value = data.NotifyData.adwData[0];
    entry.Buffer = BufferOf(data, to_ansi);
    copy.Data.push_back(std::move(entry));
  }
  return copy;
}

}  // namespace pennock
