// Corvale's thin Win32 layer against the real calls: registry keys and values, folder watches,
// the printer list and default printer, starting a program through the shell, and the log's
// code page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "common/win32/windows_support.h"
#include "corvale/platform/win32/wide_text.h"
#include "corvale/platform/win32/win32_folder_watch.h"
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

// Texts and key names with characters outside the ANSI code page come back as they went in.
TEST_F(Win32RegistryTest, TextsOutsideTheAnsiCodePageRoundTrip) {
  const std::string folder = "C:\\In\\\xE6\x97\xA5\xE6\x9C\xAC \xC3\xA9t\xC3\xA9";
  const std::string printer = "Drucker \xC3\xA4\xC3\xB6";
  ASSERT_NE(Open(std::string(kTestKey) + "\\Devices\\" + printer, true), nullptr);
  auto key = Open(kTestKey, true);
  ASSERT_NE(key, nullptr);
  ASSERT_TRUE(key->SetString("InputFolder", folder));
  auto value = key->GetValue("InputFolder");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->text, folder);
  auto devices = Open(std::string(kTestKey) + "\\Devices", false);
  ASSERT_NE(devices, nullptr);
  EXPECT_EQ(devices->SubKeyNames(), std::vector<std::string>{printer});
}

// A watch that cannot be opened fails at once with the system's reason, instead of waiting for
// ever on the invalid handle; an open one wakes for a new file, also in a folder whose name no
// 8-bit code page spells.
TEST(Win32FolderWatchTest, WaitsFailAtOnceWhenTheWatchCannotBeOpened) {
  win32::Win32FolderWatch watch;
  auto missing = watch.CreateWaiter("C:\\no such folder\\in");
  int which = -1;
  EXPECT_EQ(missing->Wait(kInfinite, which), FolderChangeWaiter::Outcome::kFailed);
  EXPECT_TRUE(missing->FailureCode() == ERROR_PATH_NOT_FOUND ||
              missing->FailureCode() == ERROR_FILE_NOT_FOUND)
      << missing->FailureCode();
  EXPECT_FALSE(missing->FolderIsDirectory());
}

TEST(Win32FolderWatchTest, OpenWatchWakesForANewFile) {
  wchar_t temp[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
  const std::string folder =
      win32::Utf8(temp) + "corvale_watch_\xE6\x97\xA5_" + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(win32::Wide(folder).c_str(), nullptr));
  {
    win32::Win32FolderWatch watch;
    auto waiter = watch.CreateWaiter(folder);
    EXPECT_TRUE(waiter->FolderIsDirectory());
    int which = -1;
    EXPECT_EQ(waiter->Wait(0, which), FolderChangeWaiter::Outcome::kTimeout);
    const std::wstring file = win32::Wide(folder + "\\new.afp");
    HANDLE created = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    CloseHandle(created);
    EXPECT_EQ(waiter->Wait(10000, which), FolderChangeWaiter::Outcome::kChange);
    EXPECT_GE(which, 0);
    EXPECT_TRUE(waiter->Rearm(which));
    // The stop event comes after the other kinds of change the new file fired.
    waiter->SignalStop();
    FolderChangeWaiter::Outcome outcome = FolderChangeWaiter::Outcome::kChange;
    for (int i = 0; i < kFileChangeKinds + 1 && outcome == FolderChangeWaiter::Outcome::kChange;
         ++i) {
      outcome = waiter->Wait(10000, which);
      if (outcome == FolderChangeWaiter::Outcome::kChange) {
        EXPECT_TRUE(waiter->Rearm(which));
      }
    }
    EXPECT_EQ(outcome, FolderChangeWaiter::Outcome::kStop);
    DeleteFileW(file.c_str());
  }
  RemoveDirectoryW(win32::Wide(folder).c_str());
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

// The program beside this test that ends with the exit code it is told.
std::string ExitCodeChild() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\')) + "\\exit_code_child.exe";
}

TEST(Win32ShellTest, AProgramThatIsNotThereReportsTheSystemsError) {
  win32::Win32Shell shell;
  uint32_t error = 0;
  EXPECT_EQ(shell.StartHidden("C:\\no such folder\\ftdwprt.exe", "x  /N /P", error), nullptr);
  EXPECT_NE(error, 0u);
}

TEST(Win32ShellTest, WaitsForTheProgramAndReadsItsExitCode) {
  win32::Win32Shell shell;
  for (const char* code : {"0", "3", "4294967295"}) {
    SCOPED_TRACE(code);
    uint32_t error = 0;
    std::unique_ptr<StartedProgram> child = shell.StartHidden(ExitCodeChild(), code, error);
    ASSERT_NE(child, nullptr) << error;
    EXPECT_TRUE(child->WaitForExit(60000));
    EXPECT_EQ(child->ExitCode(), std::optional<uint32_t>(static_cast<uint32_t>(std::stoul(code))));
  }
}

// A utility that crashes must end with an exit code, not wait behind a box nobody sees: it starts
// from a process whose error mode suppresses critical-error and crash boxes, which Windows hands
// on to every child it starts. (Wine does not hand it on: the child's own mode is only printed.)
TEST(Win32ShellTest, TheProgramIsStartedWithoutErrorBoxes) {
  SetErrorMode(0);
  win32::Win32Shell shell;
  uint32_t error = 0;
  std::unique_ptr<StartedProgram> child = shell.StartHidden(ExitCodeChild(), "error-mode", error);
  ASSERT_NE(child, nullptr) << error;
  const UINT wanted = SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX;
  EXPECT_EQ(GetErrorMode() & wanted, wanted);
  ASSERT_TRUE(child->WaitForExit(60000));
  std::printf("error mode of the started program: %u\n", child->ExitCode().value_or(0));
}

TEST(Win32ShellTest, AProgramThatRunsOnCanBeEnded) {
  win32::Win32Shell shell;
  uint32_t error = 0;
  std::unique_ptr<StartedProgram> child = shell.StartHidden(ExitCodeChild(), "wait", error);
  ASSERT_NE(child, nullptr) << error;
  EXPECT_FALSE(child->WaitForExit(200));
  child->Terminate(77);
  ASSERT_TRUE(child->WaitForExit(60000));
  EXPECT_EQ(child->ExitCode(), std::optional<uint32_t>(77u));
}

// The log's text: what the ANSI code page spells keeps its byte, the rest becomes "?".
TEST(Win32SystemTest, TextForTheLogIsInTheAnsiCodePage) {
  win32::Win32SystemInfo system;
  EXPECT_EQ(system.ToAnsiCodePage("C:\\In\\\xE6\x97\xA5\xE6\x9C\xAC.afp"), "C:\\In\\??.afp");
  EXPECT_EQ(system.ToAnsiCodePage(""), "");
  if (GetACP() == 1252) {
    EXPECT_EQ(system.ToAnsiCodePage("\xC3\xA9t\xC3\xA9"), "\xE9t\xE9");
  }
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
