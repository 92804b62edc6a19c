// Building the stand-in spooler's information blocks.
#include "tools/standin_spooler/win32/notify_info_block.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace standin_spooler {
namespace {

std::size_t Align8(std::size_t bytes) {
  return (bytes + 7) & ~static_cast<std::size_t>(7);
}

std::size_t BufferBytes(const ScriptEntry& entry) {
  switch (entry.kind) {
    case ValueKind::kText:
      return (entry.text.size() + 1) * sizeof(char16_t);
    case ValueKind::kBytes:
      return entry.bytes.size();
    case ValueKind::kNumber:
    case ValueKind::kNoBuffer:
      break;
  }
  return 0;
}

}  // namespace

PRINTER_NOTIFY_INFO* BuildInfo(const ScriptFetch& fetch) {
  const std::size_t count = fetch.entries.size();
  const std::size_t header =
      Align8(offsetof(PRINTER_NOTIFY_INFO, aData) +
             std::max<std::size_t>(count, 1) * sizeof(PRINTER_NOTIFY_INFO_DATA));
  std::size_t total = header;
  for (const ScriptEntry& entry : fetch.entries) total += Align8(BufferBytes(entry));
  auto* block = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, total));
  if (block == nullptr) return nullptr;
  auto* info = reinterpret_cast<PRINTER_NOTIFY_INFO*>(block);
  info->Version = 2;
  info->Flags = fetch.discarded ? PRINTER_NOTIFY_INFO_DISCARDED : 0;
  info->Count = static_cast<DWORD>(count);
  PRINTER_NOTIFY_INFO_DATA* data = info->aData;
  std::size_t at = header;
  for (std::size_t i = 0; i < count; ++i) {
    const ScriptEntry& entry = fetch.entries[i];
    data[i].Type = entry.type;
    data[i].Field = entry.field;
    data[i].Id = entry.id;
    if (entry.kind == ValueKind::kNumber) {
      data[i].NotifyData.adwData[0] = entry.number;
      continue;
    }
    if (entry.kind == ValueKind::kNoBuffer) continue;
    const std::size_t bytes = BufferBytes(entry);
    // The block is zeroed, so a text's NUL is there already.
    if (entry.kind == ValueKind::kText) {
      std::memcpy(block + at, entry.text.data(), entry.text.size() * sizeof(char16_t));
    } else if (bytes > 0) {
      std::memcpy(block + at, entry.bytes.data(), bytes);
    }
    data[i].NotifyData.Data.cbBuf = static_cast<DWORD>(bytes);
    data[i].NotifyData.Data.pBuf = block + at;
    at += Align8(bytes);
  }
  return info;
}

DWORD ChangeFlagsOf(const ScriptFetch& fetch) {
  DWORD flags = 0;
  for (const ScriptEntry& entry : fetch.entries) {
    if (entry.type == kJobType) flags |= PRINTER_CHANGE_SET_JOB;
    if (entry.type == kPrinterType) flags |= PRINTER_CHANGE_SET_PRINTER;
  }
  return flags;
}

}  // namespace standin_spooler
