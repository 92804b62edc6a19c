// The print spooler calls of the installer on Win32 (winspool, local machine).
#include "falcrest/platform/win32/win32_platform.h"

#include "falcrest/platform/win32/wide_text.h"

#include <winspool.h>

namespace falcrest::win32 {

namespace {

inline HANDLE NullPrinter() {
  return nullptr;
}
inline void ClosePrinterHandle(HANDLE printer) {
  ClosePrinter(printer);
}
using ScopedPrinter = varnell::win32::ScopedHandle<HANDLE, ClosePrinterHandle, NullPrinter>;

class Win32Printer : public PrinterHandle {
 public:
  explicit Win32Printer(HANDLE printer) : printer_(printer) {}

  Outcome DeletePrinterObject() override {
    if (!DeletePrinter(printer_.Get())) return LastErrorOutcome();
    return Outcome::Success();
  }

 private:
  ScopedPrinter printer_;
};

wchar_t* OptionalWide(const std::optional<std::u16string>& text) {
  return text ? WritableWide(*text) : nullptr;
}

}  // namespace

Outcome Win32Spooler::AddMonitorLevel2(const MonitorInfo2& monitor) {
  MONITOR_INFO_2W info = {};
  info.pName = WritableWide(monitor.Name);
  info.pEnvironment = WritableWide(monitor.Environment);
  info.pDLLName = WritableWide(monitor.DllName);
  if (!AddMonitorW(nullptr, 2, reinterpret_cast<BYTE*>(&info))) return LastErrorOutcome();
  return Outcome::Success();
}

Outcome Win32Spooler::AddDriverLevel3(const DriverInfo3& driver) {
  DRIVER_INFO_3W info = {};
  info.cVersion = driver.Version;
  info.pName = WritableWide(driver.Name);
  info.pEnvironment = WritableWide(driver.Environment);
  info.pDriverPath = WritableWide(driver.DriverPath);
  info.pDataFile = WritableWide(driver.DataFile);
  info.pConfigFile = WritableWide(driver.ConfigFile);
  info.pHelpFile = WritableWide(driver.HelpFile);
  info.pDependentFiles = WritableWide(driver.DependentFiles);
  info.pMonitorName = OptionalWide(driver.MonitorName);
  info.pDefaultDataType = OptionalWide(driver.DefaultDataType);
  if (!AddPrinterDriverW(nullptr, 3, reinterpret_cast<BYTE*>(&info))) return LastErrorOutcome();
  return Outcome::Success();
}

Outcome Win32Spooler::AddPrinterLevel2(const PrinterInfo2& printer,
                                       std::unique_ptr<PrinterHandle>& handle) {
  PRINTER_INFO_2W info = {};
  info.pPrinterName = WritableWide(printer.PrinterName);
  info.pPortName = WritableWide(printer.PortName);
  info.pDriverName = WritableWide(printer.DriverName);
  info.pLocation = WritableWide(printer.Location);
  info.pPrintProcessor = WritableWide(printer.PrintProcessor);
  info.pDatatype = WritableWide(printer.Datatype);
  const HANDLE added = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info));
  if (added == nullptr) return LastErrorOutcome();
  handle = std::make_unique<Win32Printer>(added);
  return Outcome::Success();
}

Outcome Win32Spooler::EnumPrintersLevel2(uint32_t flags, uint32_t buffer_bytes, uint32_t& needed,
                                         std::vector<EnumeratedPrinter>& printers) {
  std::vector<BYTE> buffer(buffer_bytes);
  DWORD needed_bytes = 0;
  DWORD returned = 0;
  const BOOL listed = EnumPrintersW(flags, nullptr, 2, buffer_bytes ? buffer.data() : nullptr,
                                    buffer_bytes, &needed_bytes, &returned);
  needed = needed_bytes;
  if (!listed) return LastErrorOutcome();
  printers.clear();
  const auto* records = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  for (DWORD i = 0; i < returned && buffer_bytes; ++i)
    printers.push_back({FromWide(records[i].pPrinterName), FromWide(records[i].pDriverName)});
  return Outcome::Success();
}

Outcome Win32Spooler::OpenPrinterByName(const std::u16string& name, uint32_t access,
                                        std::unique_ptr<PrinterHandle>& handle) {
  PRINTER_DEFAULTSW defaults = {};
  defaults.pDatatype = nullptr;
  defaults.pDevMode = nullptr;
  defaults.DesiredAccess = access;
  HANDLE opened = nullptr;
  if (!OpenPrinterW(WritableWide(name), &opened, &defaults)) return LastErrorOutcome();
  handle = std::make_unique<Win32Printer>(opened);
  return Outcome::Success();
}

Outcome Win32Spooler::DeleteDriverEx(const std::u16string& environment, const std::u16string& name,
                                     uint32_t flags, uint32_t version) {
  if (!DeletePrinterDriverExW(nullptr, WritableWide(environment), WritableWide(name), flags,
                              version))
    return LastErrorOutcome();
  return Outcome::Success();
}

Outcome Win32Spooler::DeletePortByName(const std::u16string& name) {
  if (!DeletePortW(nullptr, nullptr, WritableWide(name))) return LastErrorOutcome();
  return Outcome::Success();
}

}  // namespace falcrest::win32
