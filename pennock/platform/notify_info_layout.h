// The spooler's notification information in the layout Windows documents for
// PRINTER_NOTIFY_INFO and PRINTER_NOTIFY_INFO_DATA, in portable types: the Win32 layer reads the
// spooler's records through it, and native tests build records of the same layout.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pennock {

struct NotifyInfoDataRecord {
  std::uint16_t Type;
  std::uint16_t Field;
  std::uint32_t Reserved;
  std::uint32_t Id;
  union {
    std::uint32_t adwData[2];
    struct {
      std::uint32_t cbBuf;  // bytes at pBuf
      void* pBuf;
    } Data;
  } NotifyData;
};

// One block: the header, then Count entries starting at aData.
struct NotifyInfoRecord {
  std::uint32_t Version;
  std::uint32_t Flags;
  std::uint32_t Count;
  NotifyInfoDataRecord aData[1];
};

// The offsets Windows has on its 32-bit and 64-bit systems.
inline constexpr bool kWidePointers = sizeof(void*) == 8;
static_assert(offsetof(NotifyInfoDataRecord, Id) == 8);
static_assert(offsetof(NotifyInfoDataRecord, NotifyData) == (kWidePointers ? 16 : 12));
static_assert(offsetof(NotifyInfoDataRecord, NotifyData.Data.pBuf) == (kWidePointers ? 24 : 16));
static_assert(sizeof(NotifyInfoDataRecord) == (kWidePointers ? 32 : 20));
static_assert(offsetof(NotifyInfoRecord, aData) == (kWidePointers ? 16 : 12));

}  // namespace pennock
