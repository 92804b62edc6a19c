// The installer object: its fields, the recording of the first failure, and each operation's
// calls into the spooler and the file system.
#include <gtest/gtest.h>

#include <algorithm>

#include "falcrest/driver_installer.h"
#include "falcrest/installer_names.h"
#include "tests/falcrest/falcrest_fakes.h"

namespace falcrest {
namespace {

using testing::Narrow;

constexpr char kSpoolDir[] = "C:\\WINDOWS\\System32\\Spool\\Drivers\\W32x86";
const std::u16string kKit = u"C:\\Kit\\";
const std::u16string kDriverFolder = u"C:\\Kit\\Driver";

class DriverInstallerTest : public ::testing::Test {
 protected:
  DriverInstallerTest() : installer(fakes.Installer()) { testing::PutKit(fakes.files, kKit); }

  std::vector<std::string> CopyTargets() const {
    std::vector<std::string> targets;
    for (const auto& copy : fakes.files.copies) targets.push_back(Narrow(copy.second));
    return targets;
  }

  testing::FakeSystem fakes;
  DriverInstaller installer;
};

TEST_F(DriverInstallerTest, ConstructionSetsNamesFilesAndZeroCodes) {
  EXPECT_EQ(Narrow(installer.PrinterName), "AFP Printer");
  EXPECT_EQ(Narrow(installer.PortName), "AFP Printer Port");
  EXPECT_EQ(Narrow(installer.DriverName), "Generic InfoPrint 600dpi AFP");
  std::vector<std::string> files;
  for (const auto& file : installer.DriverFiles) files.push_back(Narrow(file));
  EXPECT_EQ(files,
            (std::vector<std::string>{"CWBAFP.DLL", "CWBAFPUI.DLL", "ODAFP.CHM", "CWBAFPR.DLL",
                                      "CWBAFAPI.dll", "LABCMYK.LUT", "CMYK212HALF.PS", "AFP.EXE"}));
  EXPECT_EQ(installer.ResultCode, 0);
  EXPECT_EQ(installer.SystemErrorCode, 0);
  EXPECT_FALSE(installer.ErrorRecorded);
}

TEST_F(DriverInstallerTest, DependentFilesAreA95UnitMultiString) {
  const std::u16string text = DependentFilesText(installer.DriverFiles);
  ASSERT_EQ(text.size(), 95u);
  EXPECT_EQ(text.substr(0, 11), std::u16string(u"CWBAFP.DLL\0", 11));
  EXPECT_EQ(text.substr(86), std::u16string(u"AFP.EXE\0\0", 9));
  EXPECT_EQ(std::count(text.begin(), text.end(), u'\0'), 9);
}

TEST_F(DriverInstallerTest, InstallDriverCopiesAddsDriverThenPrinter) {
  EXPECT_EQ(installer.InstallDriver(kDriverFolder), 0);

  std::vector<std::string> expected_targets;
  for (const auto& file : installer.DriverFiles)
    expected_targets.push_back(std::string(kSpoolDir) + "\\" + Narrow(file));
  EXPECT_EQ(CopyTargets(), expected_targets);
  EXPECT_EQ(Narrow(fakes.files.copies.at(4).first), "C:\\Kit\\Driver\\CWBAFAPI.dll");

  ASSERT_EQ(fakes.spooler.drivers.size(), 1u);
  const DriverInfo3& driver = fakes.spooler.drivers[0];
  EXPECT_EQ(driver.Version, 3u);
  EXPECT_EQ(Narrow(driver.Name), "Generic InfoPrint 600dpi AFP");
  EXPECT_EQ(Narrow(driver.Environment), "Windows NT x86");
  EXPECT_EQ(Narrow(driver.DriverPath), std::string(kSpoolDir) + "\\CWBAFP.DLL");
  EXPECT_EQ(Narrow(driver.DataFile), std::string(kSpoolDir) + "\\CWBAFP.DLL");
  EXPECT_EQ(Narrow(driver.ConfigFile), std::string(kSpoolDir) + "\\CWBAFPUI.DLL");
  EXPECT_EQ(Narrow(driver.HelpFile), std::string(kSpoolDir) + "\\ODAFP.CHM");
  EXPECT_EQ(driver.DependentFiles, DependentFilesText(installer.DriverFiles));
  EXPECT_FALSE(driver.MonitorName.has_value());
  EXPECT_FALSE(driver.DefaultDataType.has_value());

  ASSERT_EQ(fakes.spooler.printers.size(), 1u);
  const testing::FakePrinter& printer = fakes.spooler.printers[0];
  EXPECT_EQ(Narrow(printer.name), "AFP Printer");
  EXPECT_EQ(Narrow(printer.port), "AFP Printer Port");
  EXPECT_EQ(Narrow(printer.driver), "Generic InfoPrint 600dpi AFP");
  EXPECT_EQ(Narrow(printer.location), std::string(kSpoolDir) + "\\3");
  EXPECT_EQ(Narrow(printer.print_processor), "WinPrint");
  EXPECT_EQ(Narrow(printer.datatype), "RAW");
  EXPECT_EQ(fakes.HandlesStillOpen(), 0);
  EXPECT_TRUE(fakes.log.Contains("ClosePrinter(AFP Printer)"));
  EXPECT_EQ(fakes.console.out, "");
}

TEST_F(DriverInstallerTest, MissingThirdFileStopsCopyingAndAddsNothing) {
  fakes.files.files.erase(u"c:\\kit\\driver\\odafp.chm");

  EXPECT_EQ(installer.InstallDriver(kDriverFolder), kDriverFileCopyFailed);
  EXPECT_EQ(CopyTargets(), (std::vector<std::string>{std::string(kSpoolDir) + "\\CWBAFP.DLL",
                                                     std::string(kSpoolDir) + "\\CWBAFPUI.DLL"}));
  EXPECT_EQ(fakes.log.Matching("CopyFile").size(), 3u);
  EXPECT_EQ(installer.SystemErrorCode, 2);
  EXPECT_TRUE(fakes.spooler.drivers.empty());
  EXPECT_TRUE(fakes.spooler.printers.empty());
  EXPECT_EQ(fakes.console.out, "");
}

TEST_F(DriverInstallerTest, FailedDriverAddsNoPrinter) {
  fakes.spooler.add_driver_error = 87;
  EXPECT_EQ(installer.InstallDriver(kDriverFolder), kAddPrinterDriverFailed);
  EXPECT_EQ(installer.SystemErrorCode, 87);
  EXPECT_TRUE(fakes.log.Matching("AddPrinter(").empty());
}

// A printer that cannot be added is a failure of its own, reported with the system's reason.
TEST_F(DriverInstallerTest, FailedAddPrinterIsReportedAndReturned) {
  fakes.spooler.add_printer_error = 1796;
  EXPECT_EQ(installer.InstallDriver(kDriverFolder), kAddPrinterFailed);
  EXPECT_EQ(installer.ResultCode, -1601);
  EXPECT_EQ(installer.SystemErrorCode, 1796);
  EXPECT_EQ(fakes.console.out, "Error Code: 1796");
  EXPECT_EQ(fakes.HandlesStillOpen(), 0);
}

TEST_F(DriverInstallerTest, ArgumentChecksOverrideEarlierFailures) {
  fakes.spooler.add_driver_error = 5;
  ASSERT_EQ(installer.InstallDriver(kDriverFolder), kAddPrinterDriverFailed);

  EXPECT_EQ(installer.InstallDriver(u""), kDriverFolderMissing);
  EXPECT_EQ(installer.SystemErrorCode, 0);
  EXPECT_TRUE(installer.ErrorRecorded);

  installer.PrinterName.clear();
  EXPECT_EQ(installer.InstallDriver(kDriverFolder), kPrinterNameMissing);
  EXPECT_EQ(installer.RemoveDriver(), kPrinterNameMissing);
  EXPECT_TRUE(fakes.log.Matching("EnumPrinters").empty());
}

TEST_F(DriverInstallerTest, InstallMonitorStepsAndTheirCodes) {
  struct Case {
    const char* name;
    uint32_t system_directory_error;
    bool monitor_dll_missing;
    uint32_t add_monitor_error;
    int32_t code;
    int32_t system_error;
  };
  const Case cases[] = {
      {"all steps work", 0, false, 0, 0, 0},
      {"no system directory", 5, false, 0, kSystemDirectoryFailed, 5},
      {"monitor DLL missing", 0, true, 0, kMonitorCopyFailed, 2},
      {"monitor refused", 0, false, 1797, kAddMonitorFailed, 1797},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakeSystem system;
    testing::PutKit(system.files, kKit);
    system.environment.system_directory_error = c.system_directory_error;
    if (c.monitor_dll_missing) system.files.files.erase(u"c:\\kit\\afp32.dll");
    system.spooler.add_monitor_error = c.add_monitor_error;

    DriverInstaller fresh(system.Installer());
    EXPECT_EQ(fresh.InstallMonitor(kKit), c.code == 0);
    EXPECT_EQ(fresh.ResultCode, c.code);
    EXPECT_EQ(fresh.SystemErrorCode, c.system_error);
    EXPECT_EQ(system.log.Contains("AddMonitor(Tollard Port Monitor, Windows NT x86, AFP32.dll)"),
              c.code == 0 || c.code == kAddMonitorFailed);
    if (c.code == 0) {
      EXPECT_EQ(system.files.Content(u"C:\\WINDOWS\\system32\\AFP32.dll"), "AFP32.dll");
      EXPECT_TRUE(system.registry.HasKey(kPortMonitorKey));
    }
  }
}

TEST_F(DriverInstallerTest, FirstFailureOfAnOperationWins) {
  fakes.spooler.PutPrinter(u"Mine", kDriverName, u"P1:");
  fakes.spooler.open_printer_errors[u"Mine"] = 5;
  fakes.spooler.delete_driver_error = 3002;

  EXPECT_EQ(installer.RemoveDriver(), kOpenPrinterFailed);
  EXPECT_EQ(installer.SystemErrorCode, 5);
}

// A driver that cannot be deleted is a failure, reported with its own code.
TEST_F(DriverInstallerTest, FailedDriverDeletionIsAFailure) {
  fakes.spooler.delete_driver_error = 3001;  // in use
  EXPECT_FALSE(installer.DeleteDriver());
  EXPECT_EQ(installer.RemoveDriver(), kDeletePrinterDriverFailed);
  EXPECT_EQ(installer.SystemErrorCode, 3001);
  EXPECT_TRUE(fakes.log.Contains(
      "DeletePrinterDriverEx(Windows NT x86, Generic InfoPrint 600dpi AFP, 1, 3)"));
  // Only a refused request is tried again without deleting files.
  EXPECT_FALSE(fakes.log.Contains(
      "DeletePrinterDriverEx(Windows NT x86, Generic InfoPrint 600dpi AFP, 0, 3)"));
  EXPECT_TRUE(fakes.log.Contains("DeletePort(AFP Printer Port)"));
}

// A spooler that cannot delete driver files refuses the whole request; the driver is then
// deleted without its files rather than left behind.
TEST_F(DriverInstallerTest, DriverGoesWhereTheSpoolerCannotDeleteItsFiles) {
  fakes.spooler.PutDriver(kDriverName);
  fakes.spooler.PutPrinter(u"AFP One", kDriverName, u"P1:");
  fakes.spooler.refuses_deleting_files = true;

  EXPECT_EQ(installer.RemoveDriver(), 0);
  EXPECT_TRUE(fakes.spooler.drivers.empty());
  EXPECT_FALSE(fakes.spooler.HasPrinter(u"AFP One"));
  EXPECT_EQ(fakes.log.Matching("DeletePrinterDriverEx"),
            (std::vector<std::string>{
                "DeletePrinterDriverEx(Windows NT x86, Generic InfoPrint 600dpi AFP, 1, 3)",
                "DeletePrinterDriverEx(Windows NT x86, Generic InfoPrint 600dpi AFP, 0, 3)"}));
  EXPECT_EQ(installer.ResultCode, 0);
  EXPECT_EQ(installer.SystemErrorCode, 0);
}

// Without the flag the deletion can still fail; that failure is the one recorded.
TEST_F(DriverInstallerTest, SecondDeletionFailureIsTheOneRecorded) {
  fakes.spooler.refuses_deleting_files = true;  // and there is no such driver
  EXPECT_FALSE(installer.DeleteDriver());
  EXPECT_EQ(installer.ResultCode, kDeletePrinterDriverFailed);
  EXPECT_EQ(installer.SystemErrorCode, 1797);
  EXPECT_EQ(fakes.log.Matching("DeletePrinterDriverEx").size(), 2u);
}

TEST_F(DriverInstallerTest, RemoveDeletesOnlyPrintersOnTheDriverExactly) {
  fakes.spooler.PutDriver(kDriverName);
  fakes.spooler.PutPrinter(u"AFP One", kDriverName, u"P1:");
  fakes.spooler.PutPrinter(u"Office", u"Office Driver", u"P2:");
  fakes.spooler.PutPrinter(u"Lower", u"generic infoprint 600dpi afp", u"P3:");
  fakes.spooler.PutPrinter(u"AFP Two", kDriverName, u"P4:");

  EXPECT_EQ(installer.RemoveDriver(), 0);
  std::vector<std::string> left;
  for (const auto& p : fakes.spooler.printers) left.push_back(Narrow(p.name));
  EXPECT_EQ(left, (std::vector<std::string>{"Office", "Lower"}));
  EXPECT_EQ(
      fakes.log.Matching("OpenPrinter"),
      (std::vector<std::string>{"OpenPrinter(AFP One, 0xF000C)", "OpenPrinter(AFP Two, 0xF000C)"}));
  EXPECT_TRUE(fakes.spooler.drivers.empty());
  EXPECT_EQ(fakes.HandlesStillOpen(), 0);
}

TEST_F(DriverInstallerTest, NoLocalPrintersNeedNoSecondEnumeration) {
  EXPECT_TRUE(installer.DeletePrintersUsingDriver());
  EXPECT_EQ(fakes.log.Matching("EnumPrinters"), (std::vector<std::string>{"EnumPrinters(2, 0)"}));
}

TEST_F(DriverInstallerTest, FailedFillingEnumerationIsRecorded) {
  fakes.spooler.PutPrinter(u"AFP One", kDriverName, u"P1:");
  fakes.spooler.enum_fill_error = 1722;
  EXPECT_FALSE(installer.DeletePrintersUsingDriver());
  EXPECT_EQ(installer.ResultCode, kEnumPrintersFailed);
  EXPECT_EQ(fakes.log.Matching("EnumPrinters").size(), 2u);
  EXPECT_TRUE(fakes.log.Matching("OpenPrinter").empty());
}

// The first printer that cannot be deleted ends the printer deletions, not the removal.
TEST_F(DriverInstallerTest, UnopenablePrinterStopsLaterDeletionsButNotDriverAndPort) {
  fakes.spooler.PutDriver(kDriverName);
  fakes.spooler.PutPrinter(u"First", kDriverName, u"P1:");
  fakes.spooler.PutPrinter(u"Locked", kDriverName, u"P2:");
  fakes.spooler.PutPrinter(u"Last", kDriverName, u"P3:");
  fakes.spooler.open_printer_errors[u"Locked"] = 5;

  EXPECT_EQ(installer.RemoveDriver(), kOpenPrinterFailed);
  EXPECT_FALSE(fakes.spooler.HasPrinter(u"First"));
  EXPECT_TRUE(fakes.spooler.HasPrinter(u"Last"));
  EXPECT_FALSE(fakes.log.Contains("OpenPrinter(Last, 0xF000C)"));
  const size_t port = fakes.log.IndexOf("DeletePort(AFP Printer Port)");
  const size_t driver = fakes.log.IndexOf(
      "DeletePrinterDriverEx(Windows NT x86, Generic InfoPrint 600dpi AFP, 1, 3)");
  ASSERT_LT(port, fakes.log.calls.size());
  EXPECT_LT(driver, port);
  EXPECT_TRUE(fakes.spooler.drivers.empty());
}

TEST_F(DriverInstallerTest, UndeletablePrinterIsRecordedAndItsHandleClosed) {
  fakes.spooler.PutPrinter(u"Busy", kDriverName, u"P1:");
  fakes.spooler.delete_printer_errors[u"Busy"] = 5;
  EXPECT_FALSE(installer.DeletePrinterByName(u"Busy"));
  EXPECT_EQ(installer.ResultCode, kDeletePrinterFailed);
  EXPECT_EQ(fakes.HandlesStillOpen(), 0);
}

}  // namespace
}  // namespace falcrest
