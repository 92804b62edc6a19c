// The Windows print spooler behind Corvale's Printers interface.
#pragma once

#include "corvale/platform/printers.h"

namespace corvale::win32 {

class Win32Printers : public Printers {
 public:
  std::vector<std::string> ListPrinters() override;
  std::string DefaultPrinter() override;
  std::vector<PrinterDevice> DevicesNamed(const std::string& name) override;
  void WriteDefaultDevice(const std::string& entry) override;
  void BroadcastWindowsSectionChange(bool synchronous) override;
};

}  // namespace corvale::win32
