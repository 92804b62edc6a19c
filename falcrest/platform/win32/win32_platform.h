// The Win32 side of Falcrest's platform: each class translates its interface's calls into the
// Windows calls of the same names and returns their results and GetLastError codes.
#pragma once

#include "falcrest/platform/clock.h"
#include "falcrest/platform/console.h"
#include "falcrest/platform/environment.h"
#include "falcrest/platform/files.h"
#include "falcrest/platform/registry.h"
#include "falcrest/platform/services.h"
#include "falcrest/platform/spooler.h"
#include "falcrest/platform/tokens.h"

namespace falcrest::win32 {

class Win32Environment : public Environment {
 public:
  std::optional<std::u16string> ExpandText(const std::u16string& text) override;
  std::u16string ProgramFilePath() override;
  Outcome SystemDirectory(std::u16string& folder) override;
};

class Win32Files : public Files {
 public:
  Outcome CopyOver(const std::u16string& from, const std::u16string& to) override;
};

class Win32Registry : public Registry {
 public:
  Outcome OpenMachineKey(const std::u16string& path, uint32_t access,
                         std::unique_ptr<RegistryKey>& key) override;
  Outcome DeleteMachineKey(const std::u16string& path) override;
};

class Win32Tokens : public Tokens {
 public:
  Outcome OpenCurrentProcessToken(uint32_t access, std::unique_ptr<AccessToken>& token) override;
  Outcome LookupPrivilege(const std::u16string& name, Luid& privilege) override;
};

class Win32Spooler : public Spooler {
 public:
  Outcome AddMonitorLevel2(const MonitorInfo2& monitor) override;
  Outcome AddDriverLevel3(const DriverInfo3& driver) override;
  Outcome AddPrinterLevel2(const PrinterInfo2& printer,
                           std::unique_ptr<PrinterHandle>& handle) override;
  Outcome EnumPrintersLevel2(uint32_t flags, uint32_t buffer_bytes, uint32_t& needed,
                             std::vector<EnumeratedPrinter>& printers) override;
  Outcome OpenPrinterByName(const std::u16string& name, uint32_t access,
                            std::unique_ptr<PrinterHandle>& handle) override;
  Outcome DeleteDriverEx(const std::u16string& environment, const std::u16string& name,
                         uint32_t flags, uint32_t version) override;
  Outcome DeletePortByName(const std::u16string& name) override;
};

class Win32ServiceManager : public ServiceManagerApi {
 public:
  Outcome OpenManager(uint32_t access, std::unique_ptr<ServiceControlManager>& manager) override;
};

class Win32Clock : public Clock {
 public:
  uint32_t TickCount() override;
  void Sleep(uint32_t milliseconds) override;
};

// Writes straight to the standard handles, so that line ends reach the stream unchanged and
// output and error text keep their order.
class Win32Console : public Console {
 public:
  void WriteOut(std::string_view text) override;
  void WriteErr(std::string_view text) override;
};

}  // namespace falcrest::win32
