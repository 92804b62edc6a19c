// The print spooler calls of the installer: monitors, drivers, printers and ports on the local
// machine (server name NULL everywhere).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "falcrest/platform/outcome.h"

namespace falcrest {

constexpr uint32_t kPrinterEnumLocal = 2;
constexpr uint32_t kPrinterAllAccess = 0xF000C;
constexpr uint32_t kDpdDeleteUnusedFiles = 1;

// MONITOR_INFO_2W.
struct MonitorInfo2 {
  std::u16string Name;
  std::u16string Environment;
  std::u16string DllName;
};

// DRIVER_INFO_3W. DependentFiles is a multi-string: every name followed by a terminator, then
// one final terminator, all held in the string. An absent optional is a NULL field.
struct DriverInfo3 {
  uint32_t Version = 0;
  std::u16string Name;
  std::u16string Environment;
  std::u16string DriverPath;
  std::u16string DataFile;
  std::u16string ConfigFile;
  std::u16string HelpFile;
  std::u16string DependentFiles;
  std::optional<std::u16string> MonitorName;
  std::optional<std::u16string> DefaultDataType;
};

// The fields of PRINTER_INFO_2W the installer sets; every other field is NULL or 0.
struct PrinterInfo2 {
  std::u16string PrinterName;
  std::u16string PortName;
  std::u16string DriverName;
  std::u16string Location;
  std::u16string PrintProcessor;
  std::u16string Datatype;
};

// One record of a level-2 printer enumeration; a NULL field reads as empty.
struct EnumeratedPrinter {
  std::u16string PrinterName;
  std::u16string DriverName;
};

// An open printer; ClosePrinter when destroyed.
class PrinterHandle {
 public:
  virtual ~PrinterHandle() = default;
  // DeletePrinter.
  virtual Outcome DeletePrinterObject() = 0;
};

class Spooler {
 public:
  virtual ~Spooler() = default;
  // AddMonitorW(NULL, 2, ...).
  virtual Outcome AddMonitorLevel2(const MonitorInfo2& monitor) = 0;
  // AddPrinterDriverW(NULL, 3, ...).
  virtual Outcome AddDriverLevel3(const DriverInfo3& driver) = 0;
  // AddPrinterW(NULL, 2, ...): the new printer's handle on success.
  virtual Outcome AddPrinterLevel2(const PrinterInfo2& printer,
                                   std::unique_ptr<PrinterHandle>& handle) = 0;
  // EnumPrintersW(flags, NULL, 2, ...) into a buffer of `buffer_bytes` (none when 0); `needed`
  // receives the bytes the list takes, `printers` the records on success.
  virtual Outcome EnumPrintersLevel2(uint32_t flags, uint32_t buffer_bytes, uint32_t& needed,
                                     std::vector<EnumeratedPrinter>& printers) = 0;
  // OpenPrinterW(name, ..., {NULL datatype, NULL device mode, access}).
  virtual Outcome OpenPrinterByName(const std::u16string& name, uint32_t access,
                                    std::unique_ptr<PrinterHandle>& handle) = 0;
  // DeletePrinterDriverExW(NULL, environment, name, flags, version).
  virtual Outcome DeleteDriverEx(const std::u16string& environment, const std::u16string& name,
                                 uint32_t flags, uint32_t version) = 0;
  // DeletePortW(NULL, NULL, name).
  virtual Outcome DeletePortByName(const std::u16string& name) = 0;
};

}  // namespace falcrest
