// The installer object: puts the port monitor, the AFP driver and the printer in place, or takes
// printers, driver and port away again. One object per run, on Falcrest's single thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "falcrest/platform/console.h"
#include "falcrest/platform/environment.h"
#include "falcrest/platform/files.h"
#include "falcrest/platform/spooler.h"

namespace falcrest {

// Result codes: the first failing step of an operation.
constexpr int32_t kDriverFolderMissing = -1;
constexpr int32_t kPrinterNameMissing = -2;
constexpr int32_t kDriverFileCopyFailed = -1202;
constexpr int32_t kAddPrinterDriverFailed = -1402;
constexpr int32_t kDeletePrinterDriverFailed = -1501;
constexpr int32_t kAddPrinterFailed = -1601;
constexpr int32_t kOpenPrinterFailed = -1701;
constexpr int32_t kDeletePrinterFailed = -1702;
constexpr int32_t kEnumPrintersFailed = -1801;
constexpr int32_t kSystemDirectoryFailed = -2001;
constexpr int32_t kMonitorCopyFailed = -2002;
constexpr int32_t kAddMonitorFailed = -2003;

// The platform operations the installer object works through.
struct InstallerPlatform {
  Environment& environment;
  Files& files;
  Spooler& spooler;
  Console& console;
};

// The dependent-files multi-string: each name followed by a terminator, then a final one.
std::u16string DependentFilesText(const std::vector<std::u16string>& files);

class DriverInstaller {
 public:
  explicit DriverInstaller(const InstallerPlatform& platform);

  // Copies AFP32.dll from the installation folder into the system directory and registers it as
  // the port monitor.
  bool InstallMonitor(const std::u16string& installation_folder);
  // Copies the driver files from `driver_folder`, adds the driver, then the printer. 0 or the
  // first failure's result code.
  int32_t InstallDriver(const std::u16string& driver_folder);
  // Deletes every local printer on the driver, the driver and the port. 0 or a result code.
  int32_t RemoveDriver();

  bool CopyDriverFiles(const std::u16string& source_folder);
  bool AddDriver();
  bool AddPrinterEntry(const std::u16string& location_text);
  bool DeletePrintersUsingDriver();
  bool DeletePrinterByName(const std::u16string& printer_name);
  bool DeleteDriver();
  bool DeletePort();

  std::u16string PrinterName;
  std::u16string PortName;
  std::u16string DriverName;
  // In the order of copying and of the dependent-files list.
  std::vector<std::u16string> DriverFiles;
  // 0, or the result code of the first failing step of the current operation.
  int32_t ResultCode = 0;
  // The system's error code of the call that failed in that step.
  int32_t SystemErrorCode = 0;
  bool ErrorRecorded = false;

 private:
  void ResetCodes();
  // The first failure of an operation wins.
  void RecordFailure(int32_t result_code, uint32_t system_error);

  InstallerPlatform platform_;
};

}  // namespace falcrest
