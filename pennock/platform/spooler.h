// The Windows print spooler as the monitor uses it: the local printer list and the change
// notifications of one printer. Owned by the program; called from the main thread (printer
// list) and from the workers (everything else).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pennock {

// Opaque 32-bit handles of the spooler.
using PrinterId = std::uint32_t;
using ChangeId = std::uint32_t;
inline constexpr ChangeId kInvalidChange = 0xFFFFFFFF;

// The first, sizing call of the printer enumeration (no buffer).
struct PrinterListSize {
  bool Succeeded = false;  // true only when there is nothing to list
  std::uint32_t Needed = 0;
  std::uint32_t Error = 0;
};

// The second call, with a buffer of the size asked for.
struct PrinterList {
  bool BufferObtained = false;
  bool Succeeded = false;
  std::uint32_t Count = 0;
  std::uint32_t Error = 0;
  // One entry per printer in the spooler's order; empty where a name cannot be read.
  std::vector<std::optional<std::string>> Names;
};

inline constexpr std::uint16_t kPrinterNotifyType = 0;
inline constexpr std::uint16_t kJobNotifyType = 1;
inline constexpr std::uint32_t kNotifyOptionsRefresh = 1;
inline constexpr std::uint32_t kNotifyInfoDiscarded = 1;
inline constexpr std::uint32_t kPrinterChangeAll = 0x7777FFFF;

// PRINTER_NOTIFY_OPTIONS_TYPE and PRINTER_NOTIFY_OPTIONS; Count is the vector's size.
struct NotifyOptionsType {
  std::uint16_t Type = 0;
  std::uint16_t Reserved0 = 0;
  std::uint32_t Reserved1 = 0;
  std::uint32_t Reserved2 = 0;
  std::vector<std::uint16_t> Fields;
};

struct NotifyOptions {
  std::uint32_t Version = 0;
  std::uint32_t Flags = 0;
  std::vector<NotifyOptionsType> Types;
};

// One PRINTER_NOTIFY_INFO_DATA entry. Buffer holds the bytes of NotifyData.Data.pBuf (texts
// as 8-bit characters, a SYSTEMTIME as its 16 bytes); it is empty when the entry has none.
struct NotifyInfoData {
  std::uint16_t Type = 0;
  std::uint16_t Field = 0;
  std::uint32_t Id = 0;
  std::uint32_t Value = 0;  // NotifyData.adwData[0]
  std::optional<std::string> Buffer;
};

struct NotifyInfo {
  std::uint32_t Version = 2;
  std::uint32_t Flags = 0;
  std::vector<NotifyInfoData> Data;  // Count is the vector's size
};

// FindNextPrinterChangeNotification: success, and the information when some was received.
struct NotifyFetch {
  bool Succeeded = false;
  std::optional<NotifyInfo> Info;
};

class Spooler {
 public:
  virtual ~Spooler() = default;
  // EnumPrintersA(PRINTER_ENUM_LOCAL, no server, level 4) without a buffer.
  virtual PrinterListSize LocalPrintersSize() = 0;
  // The same with a buffer of `bufferSize` bytes, the names copied out of it.
  virtual PrinterList ReadLocalPrinters(std::uint32_t bufferSize) = 0;

  // OpenPrinterA with default access; empty on failure.
  virtual std::optional<PrinterId> OpenNamedPrinter(const std::string& name) = 0;
  virtual void ClosePrinter(PrinterId printer) = 0;
  // kInvalidChange on failure.
  virtual ChangeId FindFirstPrinterChangeNotification(PrinterId printer, std::uint32_t filter,
                                                      std::uint32_t options,
                                                      const NotifyOptions& notifyOptions) = 0;
  // Waits without time limit; true when a change is pending (WAIT_OBJECT_0).
  virtual bool WaitForChange(ChangeId change) = 0;
  // The information is copied out and released (FreePrinterNotifyInfo) before returning.
  virtual NotifyFetch FindNextPrinterChangeNotification(ChangeId change,
                                                        const NotifyOptions& notifyOptions) = 0;
  virtual void FindClosePrinterChangeNotification(ChangeId change) = 0;
};

}  // namespace pennock
