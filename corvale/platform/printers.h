// The Windows print spooler as Corvale uses it: the printer list and the default printer.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvale {

struct PrinterDevice {
  std::string device;
  std::string driver;
  std::string port;
};

class Printers {
 public:
  virtual ~Printers() = default;
  // Local and connected printers, in the order the system reports them.
  virtual std::vector<std::string> ListPrinters() = 0;
  virtual std::string DefaultPrinter() = 0;
  // Device, driver and port of every listed printer named exactly `name`.
  virtual std::vector<PrinterDevice> DevicesNamed(const std::string& name) = 0;
  // Writes the profile entry "device" of the section "windows".
  virtual void WriteDefaultDevice(const std::string& entry) = 0;
  // Tells all top-level windows that the section "windows" changed: sent (with a time limit,
  // passing over windows that hang), or posted.
  virtual void BroadcastWindowsSectionChange(bool synchronous) = 0;
};

}  // namespace corvale
