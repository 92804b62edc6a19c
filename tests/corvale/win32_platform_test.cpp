// Corvale's thin Win32 layer against the real calls: registry keys and values, the printer
// list and default printer, and starting a program through the shell.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/win32/windows_support.h"
#include "corvale/platform/win32/win32_printers.h"
#include "corvale/platform/win32/win32_registry.h"
#include "corvale/platform/win32/win32_shell.h"
#include "corvale/platform/win32/win32_system.h"

namespace corvale {
namespace {

constexpr char kTestKey[] = "SOFTWARE\\VarnellPlatformTest";

class Win32RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey); }
  std::unique_ptr<RegistryKey> Open(const std::string& path, bool create) {
    return registry_.OpenKey(RegistryHive::kCurrentUser, path, kKeyAllAccess, create);
  }
  win32::Win32Registry registry_;
};

TEST_F(Win32RegistryTest, OpenWithoutCreateFailsForAMissingKeyAndCreateMakesIt) {
  EXPECT_EQ(Open(kTestKey, false), nullptr);
  ASSERT_NE(Open(std::string(kTestKey) + "\\Devices\\##srv#q", true), nullptr);
  // Key names compare without regard to case.
  auto devices = Open("software\\varnellplatformtest\\DEVICES", false);
  ASSERT_NE(devices, nullptr);
  EXPECT_EQ(devices->SubKeyNames(), std::vector<std::string>{"##srv#q"});
}

TEST_F(Win32RegistryTest, ValuesKeepTheirKinds) {
  auto key = Open(kTestKey, true);
  ASSERT_NE(key, nullptr);
  ASSERT_TRUE(key->SetString("PrinterName", "\\\\srv\\q"));
  ASSERT_TRUE(key->SetDword("QueueDepth", static_cast<uint32_t>(-5)));
  const char expand[] = "%TEMP%\\log.txt";
  HKEY raw;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_ALL_ACCESS, &raw), ERROR_SUCCESS);
  RegSetValueExA(raw, "LogFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand),
                 sizeof expand);
  // A string stored without its terminator is still read whole and no further.
  const char unterminated[] = {'a', 'b', 'c'};
  RegSetValueExA(raw, "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(unterminated), 3);
  RegCloseKey(raw);

  auto name = key->GetValue("PrinterName");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->kind, RegistryValueKind::kString);
  EXPECT_EQ(name->text, "\\\\srv\\q");
  auto depth = key->GetValue("QueueDepth");
  ASSERT_TRUE(depth);
  EXPECT_EQ(depth->kind, RegistryValueKind::kDword);
  EXPECT_EQ(static_cast<int32_t>(depth->number), -5);
  auto log = key->GetValue("LogFile");
  ASSERT_TRUE(log);
  EXPECT_EQ(log->kind, RegistryValueKind::kExpandString);
  EXPECT_EQ(log->text, "%TEMP%\\log.txt");  // taken as it is, not expanded
  auto bare = key->GetValue("Bare");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->text, "abc");
  EXPECT_FALSE(key->GetValue("Missing"));

  EXPECT_TRUE(key->DeleteValue("PrinterName"));
  EXPECT_FALSE(key->GetValue("PrinterName"));
}

TEST(Win32PrintersTest, ListsThePrivatePrintersAndADefault) {
  win32::Win32Printers printers;
  std::vector<std::string> names = printers.ListPrinters();
  EXPECT_NE(std::find(names.begin(), names.end(), "Pellam_Ink"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "Office Laser 2"), names.end());
  EXPECT_FALSE(printers.DefaultPrinter().empty());
  std::vector<PrinterDevice> devices = printers.DevicesNamed("Pellam_Ink");
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].device, "Pellam_Ink");
  EXPECT_EQ(devices[0].driver, "winspool");
  EXPECT_FALSE(devices[0].port.empty());
  // Names compare exactly.
  EXPECT_TRUE(printers.DevicesNamed("pellam_ink").empty());
}

TEST(Win32ShellTest, AProgramThatIsNotThereReportsTheSystemsError) {
  win32::Win32Shell shell;
  EXPECT_NE(shell.RunHiddenAndWait("C:\\no such folder\\ftdwprt.exe", "x  /N /P"), 0u);
}

TEST(Win32ShellTest, WaitsForTheProgramToEnd) {
  win32::Win32Shell shell;
  char system[MAX_PATH];
  ASSERT_NE(GetSystemDirectoryA(system, MAX_PATH), 0u);
  DWORD before = GetTickCount();
  EXPECT_EQ(shell.RunHiddenAndWait(std::string(system) + "\\cmd.exe", "/c ping -n 2 127.0.0.1"),
            0u);
  EXPECT_GE(GetTickCount() - before, 500u);
}

TEST(Win32SystemTest, ProgramPathAndClockAgree) {
  win32::Win32SystemInfo system;
  std::string path = system.ProgramPath();
  EXPECT_NE(path.find("win32_platform_test.exe"), std::string::npos);
  win32::Win32Clock clock;
  LocalTime now = clock.Now();
  EXPECT_GE(now.year, 2024);
  EXPECT_GT(clock.NowUtcFileTime(), 0);
}

}  // namespace
}  // namespace corvale
