// Falcrest's runs end to end against fakes: the choice of mode, the install and remove flows in
// their order, the privilege, the port name value, and the refusal of unusable folders.
#include <gtest/gtest.h>

#include "falcrest/installer_flow.h"
#include "falcrest/installer_names.h"
#include "tests/falcrest/falcrest_fakes.h"

namespace falcrest {
namespace {

using testing::Narrow;

constexpr char kRestartText[] =
    "Service stopped successfully\nService start pending...\nService started successfully.\n";
constexpr char kInstalledText[] =
    "Service stopped successfully\nService start pending...\nService started successfully.\n"
    "Preparing to install AFP driver...\r\n";

class InstallerFlowTest : public ::testing::Test {
 protected:
  InstallerFlowTest() { testing::PutKit(fakes.files, u"C:\\Kit\\"); }

  int Run(std::vector<std::u16string> arguments) {
    return RunFalcrest(arguments, fakes.Platform());
  }
  std::vector<std::string> CopySources() const {
    std::vector<std::string> sources;
    for (const auto& copy : fakes.files.copies) sources.push_back(Narrow(copy.first));
    return sources;
  }

  testing::FakeSystem fakes;
};

TEST_F(InstallerFlowTest, ArgumentCountsChooseFolderOrRemoval) {
  struct Case {
    size_t count;
    const char* first_copy;  // empty: removal, nothing copied
  };
  const Case cases[] = {
      {0, "C:\\Program Files\\Falcrest\\Driver\\CWBAFAPI.DLL"},
      {1, "C:\\Kit\\Driver\\CWBAFAPI.DLL"},
      {2, "C:\\Program Files\\Falcrest\\Driver\\CWBAFAPI.DLL"},
      {3, "C:\\Program Files\\Falcrest\\Driver\\CWBAFAPI.DLL"},
      {4, ""},
      {6, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    testing::FakeSystem system;
    testing::PutKit(system.files, u"C:\\Kit\\");
    testing::PutKit(system.files, u"C:\\Program Files\\Falcrest\\");
    std::vector<std::u16string> arguments(c.count, u"C:\\Kit");
    EXPECT_EQ(RunFalcrest(arguments, system.Platform()), 0);
    const std::vector<std::string> copies = system.log.Matching("CopyFile");
    if (*c.first_copy == '\0') {
      EXPECT_TRUE(copies.empty());
      EXPECT_TRUE(system.log.Contains("RegDeleteKey(" + Narrow(kPortMonitorKey) + ")"));
    } else {
      ASSERT_FALSE(copies.empty());
      EXPECT_TRUE(copies[0].starts_with(std::string("CopyFile(") + c.first_copy + " -> "));
      EXPECT_EQ(system.log.Contains("GetModuleFileName"), c.count != 1);
    }
  }
}

TEST_F(InstallerFlowTest, FolderWithOrWithoutBackslashGivesTheSameRun) {
  ASSERT_EQ(Run({u"C:\\Kit"}), 0);
  const std::vector<std::string> first = fakes.log.calls;

  testing::FakeSystem again;
  testing::PutKit(again.files, u"C:\\Kit\\");
  ASSERT_EQ(RunFalcrest({u"C:\\Kit\\"}, again.Platform()), 0);
  EXPECT_EQ(again.log.calls, first);

  const std::vector<std::string> sources = CopySources();
  ASSERT_EQ(sources.size(), 10u);
  EXPECT_EQ(sources[0], "C:\\Kit\\Driver\\CWBAFAPI.DLL");
  EXPECT_EQ(Narrow(fakes.files.copies[0].second), "C:\\WINDOWS\\System32\\CWBAFAPI.DLL");
  EXPECT_EQ(sources[1], "C:\\Kit\\AFP32.dll");
  EXPECT_EQ(Narrow(fakes.files.copies[1].second), "C:\\WINDOWS\\system32\\AFP32.dll");
  EXPECT_EQ(sources[2], "C:\\Kit\\Driver\\CWBAFP.DLL");
}

TEST_F(InstallerFlowTest, InstallRunsItsStepsInOrder) {
  EXPECT_EQ(Run({u"C:\\Kit"}), 0);
  EXPECT_EQ(fakes.console.out, kInstalledText);
  EXPECT_EQ(fakes.console.err, "");

  const std::vector<std::string> milestones = {
      "OpenProcessToken(0x28)",
      "LookupPrivilegeValue(SeLoadDriverPrivilege)",
      "AdjustTokenPrivileges(10:0, 2)",
      "CopyFile(C:\\Kit\\Driver\\CWBAFAPI.DLL -> C:\\WINDOWS\\System32\\CWBAFAPI.DLL)",
      "AddMonitor(Tollard Port Monitor, Windows NT x86, AFP32.dll)",
      "RegOpenKeyEx(" + Narrow(kPortMonitorKey) + ", 0x20006)",
      "RegSetValueEx(1, 1, 34 bytes)",
      "OpenService(spooler, 0x2C)",
      "ControlService(spooler, 1)",
      "OpenService(spooler, 0xF01FF)",
      "StartService(spooler)",
      "AddPrinterDriver(Generic InfoPrint 600dpi AFP)",
      "AddPrinter(AFP Printer)",
  };
  size_t previous = 0;
  for (const std::string& milestone : milestones) {
    SCOPED_TRACE(milestone);
    const size_t at = fakes.log.IndexOf(milestone);
    ASSERT_LT(at, fakes.log.calls.size());
    EXPECT_GE(at, previous);
    previous = at;
  }
  EXPECT_TRUE(fakes.spooler.HasPrinter(u"AFP Printer"));
  EXPECT_EQ(fakes.HandlesStillOpen(), 0);
}

TEST_F(InstallerFlowTest, PortNameValueIsTheTerminatedUtf16Name) {
  EXPECT_FALSE(RegisterPortName(fakes.registry));
  EXPECT_FALSE(fakes.registry.HasKey(kPortMonitorKey));

  fakes.registry.CreateKey(kPortMonitorKey);
  ASSERT_TRUE(RegisterPortName(fakes.registry));
  const std::optional<testing::StoredValue> value = fakes.registry.Value(kPortMonitorKey, u"1");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, kRegSz);
  const std::string port = "AFP Printer Port";
  std::vector<uint8_t> expected;
  for (char c : port) expected.insert(expected.end(), {static_cast<uint8_t>(c), 0});
  expected.insert(expected.end(), {0, 0});
  EXPECT_EQ(value->data, expected);
  EXPECT_EQ(value->data.size(), 34u);
  EXPECT_EQ(fakes.HandlesStillOpen(), 0);

  fakes.registry.set_value_error = 5;
  EXPECT_FALSE(RegisterPortName(fakes.registry));
  EXPECT_EQ(fakes.HandlesStillOpen(), 0);
}

TEST_F(InstallerFlowTest, MissingMonitorKeyEndsTheRunBeforeTheSpooler) {
  fakes.spooler.add_monitor_error = 1797;
  EXPECT_EQ(Run({u"C:\\Kit"}), -1);
  EXPECT_EQ(fakes.console.out, "\r\nFailed to create printer port\r\n");
  EXPECT_TRUE(fakes.log.Matching("OpenSCManager").empty());
  EXPECT_TRUE(fakes.log.Matching("AddPrinter").empty());
  EXPECT_FALSE(fakes.registry.HasKey(kPortMonitorKey));
  EXPECT_EQ(CopySources(),
            (std::vector<std::string>{"C:\\Kit\\Driver\\CWBAFAPI.DLL", "C:\\Kit\\AFP32.dll"}));
}

// An earlier install left the monitor and its key: everything is done again over it.
TEST_F(InstallerFlowTest, RefusedMonitorDoesNotStopARepeatedInstall) {
  fakes.registry.CreateKey(kPortMonitorKey);
  fakes.spooler.add_monitor_error = 3006;
  fakes.files.Put(u"C:\\WINDOWS\\System32\\Spool\\Drivers\\W32x86\\CWBAFP.DLL", "old");
  fakes.files.Put(u"C:\\WINDOWS\\system32\\AFP32.dll", "old");

  EXPECT_EQ(Run({u"C:\\Kit"}), 0);
  EXPECT_EQ(fakes.console.out, kInstalledText);
  EXPECT_EQ(fakes.registry.Value(kPortMonitorKey, u"1")->data.size(), 34u);
  EXPECT_EQ(fakes.files.Content(u"C:\\WINDOWS\\System32\\Spool\\Drivers\\W32x86\\CWBAFP.DLL"),
            "CWBAFP.DLL");
  EXPECT_EQ(fakes.files.Content(u"C:\\WINDOWS\\system32\\AFP32.dll"), "AFP32.dll");
  EXPECT_EQ(fakes.spooler.drivers.size(), 1u);
  EXPECT_TRUE(fakes.spooler.HasPrinter(u"AFP Printer"));
}

TEST_F(InstallerFlowTest, MissingThirdDriverFileCopiesTwoAndAddsNothing) {
  fakes.files.files.erase(u"c:\\kit\\driver\\odafp.chm");
  EXPECT_EQ(Run({u"C:\\Kit"}), 0);
  EXPECT_EQ(CopySources(), (std::vector<std::string>{
                               "C:\\Kit\\Driver\\CWBAFAPI.DLL", "C:\\Kit\\AFP32.dll",
                               "C:\\Kit\\Driver\\CWBAFP.DLL", "C:\\Kit\\Driver\\CWBAFPUI.DLL"}));
  EXPECT_TRUE(fakes.spooler.drivers.empty());
  EXPECT_TRUE(fakes.spooler.printers.empty());
  EXPECT_EQ(fakes.console.out, kInstalledText);
}

TEST_F(InstallerFlowTest, UnexpandableSystemFolderFallsBack) {
  fakes.environment.expand_fails = true;
  EXPECT_EQ(Run({u"C:\\Kit"}), 0);
  EXPECT_EQ(Narrow(fakes.files.copies.at(0).second), "C:\\Windows\\System32\\CWBAFAPI.DLL");
  EXPECT_EQ(Narrow(fakes.files.copies.at(2).second),
            "C:\\Windows\\System32\\Spool\\Drivers\\W32x86\\CWBAFP.DLL");
}

TEST_F(InstallerFlowTest, PrivilegeFailuresAreReportedAndTheRunGoesOn) {
  struct Case {
    const char* name;
    uint32_t open_error;
    uint32_t lookup_error;
    uint32_t adjust_error;
    std::string err;
  };
  const Case cases[] = {
      {"token", 5, 0, 0, "Cannot open process token to lookup privilege value\r\n"},
      {"lookup", 0, 1313, 0, "Cannot lookup process token privilege value\n\r"},
      {"adjust", 0, 0, 1300, "Cannot adjust token privilege value\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakeSystem system;
    testing::PutKit(system.files, u"C:\\Kit\\");
    system.tokens.open_error = c.open_error;
    system.tokens.lookup_error = c.lookup_error;
    system.tokens.adjust_error = c.adjust_error;
    EXPECT_EQ(RunFalcrest({u"C:\\Kit"}, system.Platform()), 0);
    EXPECT_EQ(system.console.err, c.err);
    EXPECT_EQ(system.console.out, kInstalledText);
    EXPECT_TRUE(system.spooler.HasPrinter(u"AFP Printer"));
    EXPECT_EQ(system.HandlesStillOpen(), 0);
  }
}

TEST_F(InstallerFlowTest, RemoveRunsItsStepsInOrder) {
  fakes.registry.CreateKey(kPortMonitorKey);
  fakes.spooler.PutDriver(kDriverName);
  fakes.spooler.PutPrinter(u"AFP Printer", kDriverName, kPortName);
  fakes.spooler.PutPrinter(u"Office", u"Office Driver", u"LPT1:");

  EXPECT_EQ(Run({u"a", u"b", u"c", u"d"}), 0);
  EXPECT_EQ(fakes.console.out,
            std::string(kRestartText) + "Cannot start the service because it is already running\n");
  EXPECT_FALSE(fakes.registry.HasKey(kPortMonitorKey));
  EXPECT_FALSE(fakes.spooler.HasPrinter(u"AFP Printer"));
  EXPECT_TRUE(fakes.spooler.HasPrinter(u"Office"));
  EXPECT_TRUE(fakes.spooler.drivers.empty());

  const std::vector<std::string> milestones = {
      "AdjustTokenPrivileges(10:0, 2)",
      "ControlService(spooler, 1)",
      "RegDeleteKey(" + Narrow(kPortMonitorKey) + ")",
      "StartService(spooler)",
      "DeletePrinter(AFP Printer)",
      "DeletePrinterDriverEx(Windows NT x86, Generic InfoPrint 600dpi AFP, 1, 3)",
      "DeletePort(AFP Printer Port)",
  };
  size_t previous = 0;
  for (const std::string& milestone : milestones) {
    SCOPED_TRACE(milestone);
    const size_t at = fakes.log.IndexOf(milestone);
    ASSERT_LT(at, fakes.log.calls.size());
    EXPECT_GE(at, previous);
    previous = at;
  }
  // The final start finds the spooler running.
  EXPECT_EQ(fakes.log.Matching("OpenService(spooler, 0xF01FF)").size(), 2u);
  EXPECT_EQ(fakes.log.calls.back(), "CloseServiceHandle(SCManager)");
  EXPECT_TRUE(fakes.log.Matching("CopyFile").empty());
  EXPECT_EQ(fakes.HandlesStillOpen(), 0);
}

// A folder the path buffers cannot hold, or an empty one, is refused before anything changes.
TEST_F(InstallerFlowTest, UnusableInstallationFoldersAreRefused) {
  const std::u16string folder_239(239, u'k');
  struct Case {
    const char* name;
    std::vector<std::u16string> arguments;
    std::u16string program_path;
    std::string err;
  };
  const Case cases[] = {
      {"empty argument",
       {u""},
       u"C:\\F\\falcrest.exe",
       "The installation folder argument is empty.\r\n"},
      {"241 units with the backslash",
       {folder_239 + u"kk"},
       u"C:\\F\\falcrest.exe",
       "The installation folder is longer than 240 characters.\r\n"},
      {"241 units given with a backslash",
       {folder_239 + u"k\\"},
       u"C:\\F\\falcrest.exe",
       "The installation folder is longer than 240 characters.\r\n"},
      {"program folder too long",
       {},
       folder_239 + u"k\\falcrest.exe",
       "The installation folder is longer than 240 characters.\r\n"},
      {"program folder unknown", {}, u"", "The installation folder is empty.\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakeSystem system;
    system.environment.program_path = c.program_path;
    EXPECT_EQ(RunFalcrest(c.arguments, system.Platform()), -1);
    EXPECT_EQ(system.console.err, c.err);
    EXPECT_EQ(system.console.out, "");
    for (const std::string& call : system.log.calls)
      EXPECT_TRUE(call.starts_with("ExpandEnvironmentStrings") || call == "GetModuleFileName")
          << call;
  }
}

TEST_F(InstallerFlowTest, LongestAcceptedFolderIs240Units) {
  const std::u16string folder = u"C:\\" + std::u16string(236, u'k');
  ASSERT_EQ((folder + u"\\").size(), 240u);
  testing::PutKit(fakes.files, folder + u"\\");
  EXPECT_EQ(Run({folder}), 0);
  EXPECT_EQ(fakes.console.err, "");
  EXPECT_TRUE(fakes.spooler.HasPrinter(u"AFP Printer"));
  EXPECT_TRUE(fakes.log.Contains("CopyFile(" + Narrow(folder) + "\\Driver\\CWBAFAPI.DLL -> " +
                                 "C:\\WINDOWS\\System32\\CWBAFAPI.DLL)"));
}

}  // namespace
}  // namespace falcrest
