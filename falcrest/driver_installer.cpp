// The installer object's operations.
#include "falcrest/driver_installer.h"

#include <memory>

#include "falcrest/console_text.h"
#include "falcrest/installer_names.h"
#include "falcrest/paths.h"

namespace falcrest {

namespace {

// Files of the IBM AFP printer driver; the first three are the driver and data file, the
// configuration file and the help file. The table ends with a null entry.
constexpr const char16_t* kDriverFileTable[] = {
    u"CWBAFP.DLL",  u"CWBAFPUI.DLL",   u"ODAFP.CHM", u"CWBAFPR.DLL", u"CWBAFAPI.dll",
    u"LABCMYK.LUT", u"CMYK212HALF.PS", u"AFP.EXE",   nullptr,
};

constexpr uint32_t kDriverVersion = 3;

}  // namespace

std::u16string DependentFilesText(const std::vector<std::u16string>& files) {
  std::u16string text;
  for (const std::u16string& file : files) {
    text += file;
    text += u'\0';
  }
  text += u'\0';
  return text;
}

DriverInstaller::DriverInstaller(const InstallerPlatform& platform)
    : PrinterName(kPrinterName), PortName(kPortName), DriverName(kDriverName), platform_(platform) {
  for (const char16_t* const* file = kDriverFileTable; *file != nullptr; ++file)
    DriverFiles.emplace_back(*file);
}

void DriverInstaller::ResetCodes() {
  ResultCode = 0;
  SystemErrorCode = 0;
  ErrorRecorded = false;
}

void DriverInstaller::RecordFailure(int32_t result_code, uint32_t system_error) {
  if (ErrorRecorded) return;
  ResultCode = result_code;
  SystemErrorCode = static_cast<int32_t>(system_error);
  ErrorRecorded = true;
}

bool DriverInstaller::InstallMonitor(const std::u16string& installation_folder) {
  std::u16string system_directory;
  const Outcome found = platform_.environment.SystemDirectory(system_directory);
  if (!found) {
    RecordFailure(kSystemDirectoryFailed, found.Error);
    return false;
  }
  const Outcome copied = platform_.files.CopyOver(JoinPath(installation_folder, kPortMonitorDll),
                                                  JoinPath(system_directory, kPortMonitorDll));
  if (!copied) {
    RecordFailure(kMonitorCopyFailed, copied.Error);
    return false;
  }
  const Outcome added = platform_.spooler.AddMonitorLevel2(
      MonitorInfo2{kPortMonitorName, kDriverEnvironment, kPortMonitorDll});
  if (!added) {
    RecordFailure(kAddMonitorFailed, added.Error);
    return false;
  }
  return true;
}

int32_t DriverInstaller::InstallDriver(const std::u16string& driver_folder) {
  ResetCodes();
  if (PrinterName.empty()) {
    ResultCode = kPrinterNameMissing;
    ErrorRecorded = true;
    return ResultCode;
  }
  if (driver_folder.empty()) {
    ResultCode = kDriverFolderMissing;
    ErrorRecorded = true;
    return ResultCode;
  }
  if (!CopyDriverFiles(driver_folder)) return ResultCode;
  if (!AddDriver()) return ResultCode;
  if (!AddPrinterEntry(LocationText(platform_.environment))) return ResultCode;
  return 0;
}

bool DriverInstaller::CopyDriverFiles(const std::u16string& source_folder) {
  const std::u16string target_folder = DriverDirectory(platform_.environment);
  for (const std::u16string& file : DriverFiles) {
    const Outcome copied =
        platform_.files.CopyOver(JoinPath(source_folder, file), JoinPath(target_folder, file));
    if (!copied) {
      RecordFailure(kDriverFileCopyFailed, copied.Error);
      return false;
    }
  }
  return true;
}

bool DriverInstaller::AddDriver() {
  // The files lie in the spool driver directory itself, where CopyDriverFiles put them.
  const std::u16string directory = DriverDirectory(platform_.environment) + u'\\';
  DriverInfo3 driver;
  driver.Version = kDriverVersion;
  driver.Name = DriverName;
  driver.Environment = kDriverEnvironment;
  driver.DriverPath = directory + DriverFiles.at(0);
  driver.DataFile = directory + DriverFiles.at(0);
  driver.ConfigFile = directory + DriverFiles.at(1);
  driver.HelpFile = directory + DriverFiles.at(2);
  driver.DependentFiles = DependentFilesText(DriverFiles);
  const Outcome added = platform_.spooler.AddDriverLevel3(driver);
  if (!added) {
    RecordFailure(kAddPrinterDriverFailed, added.Error);
    return false;
  }
  return true;
}

bool DriverInstaller::AddPrinterEntry(const std::u16string& location_text) {
  const PrinterInfo2 printer{PrinterName,   PortName,        DriverName,
                             location_text, kPrintProcessor, kDataType};
  std::unique_ptr<PrinterHandle> handle;
  const Outcome added = platform_.spooler.AddPrinterLevel2(printer, handle);
  if (added) {
    handle.reset();
    return true;
  }
  RecordFailure(kAddPrinterFailed, added.Error);
  platform_.console.WriteOut(FormatNumber("Error Code: %d", SystemErrorCode));
  return false;
}

int32_t DriverInstaller::RemoveDriver() {
  ResetCodes();
  if (PrinterName.empty()) {
    ResultCode = kPrinterNameMissing;
    ErrorRecorded = true;
    return ResultCode;
  }
  const bool printers_deleted = DeletePrintersUsingDriver();
  const bool driver_deleted = DeleteDriver();
  DeletePort();
  return printers_deleted && driver_deleted ? 0 : ResultCode;
}

bool DriverInstaller::DeletePrintersUsingDriver() {
  uint32_t needed = 0;
  std::vector<EnumeratedPrinter> printers;
  // Only learns the size of the list; its own outcome says nothing more.
  platform_.spooler.EnumPrintersLevel2(kPrinterEnumLocal, 0, needed, printers);
  if (needed == 0) return true;
  const Outcome listed =
      platform_.spooler.EnumPrintersLevel2(kPrinterEnumLocal, needed, needed, printers);
  if (!listed) {
    RecordFailure(kEnumPrintersFailed, listed.Error);
    return false;
  }
  for (const EnumeratedPrinter& printer : printers) {
    if (printer.DriverName != DriverName) continue;
    if (!DeletePrinterByName(printer.PrinterName)) return false;
  }
  return true;
}

bool DriverInstaller::DeletePrinterByName(const std::u16string& printer_name) {
  std::unique_ptr<PrinterHandle> handle;
  const Outcome opened =
      platform_.spooler.OpenPrinterByName(printer_name, kPrinterAllAccess, handle);
  if (!opened) {
    RecordFailure(kOpenPrinterFailed, opened.Error);
    return false;
  }
  const Outcome deleted = handle->DeletePrinterObject();
  if (!deleted) {
    RecordFailure(kDeletePrinterFailed, deleted.Error);
    return false;
  }
  handle.reset();
  return true;
}

bool DriverInstaller::DeleteDriver() {
  Outcome deleted = platform_.spooler.DeleteDriverEx(kDriverEnvironment, DriverName,
                                                     kDpdDeleteUnusedFiles, kDriverVersion);
  // A spooler that cannot delete a driver's files refuses the request as a whole; the driver
  // itself still goes, and its files stay where they are.
  if (!deleted && deleted.Error == kErrorInvalidParameter)
    deleted = platform_.spooler.DeleteDriverEx(kDriverEnvironment, DriverName, 0, kDriverVersion);
  if (deleted) return true;
  RecordFailure(kDeletePrinterDriverFailed, deleted.Error);
  return false;
}

bool DriverInstaller::DeletePort() {
  // Removal goes on whatever the spooler answers here.
  platform_.spooler.DeletePortByName(PortName);
  return true;
}

}  // namespace falcrest
