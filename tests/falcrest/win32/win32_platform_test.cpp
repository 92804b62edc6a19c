// Falcrest's Win32 platform layer against a real Win32 implementation (run under Wine): the
// calls it translates return what the system answers, and failures carry the system's codes.
#include <gtest/gtest.h>

#include <string>

#include "common/win32/windows_support.h"
#include "falcrest/platform/win32/win32_platform.h"

namespace falcrest::win32 {
namespace {

const std::u16string kTestKey = u"SOFTWARE\\Varnell\\FalcrestPlatformTest";

std::u16string Utf16(const std::wstring& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.c_str()), text.size());
}

// A fresh folder below the temporary folder, with the files a test writes there.
class TempFolder {
 public:
  TempFolder() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    path_ =
        std::wstring(base) + L"falcrest_platform_test_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TempFolder() {
    for (const std::wstring& file : files_) DeleteFileW(file.c_str());
    RemoveDirectoryW(path_.c_str());
  }
  std::u16string Put(const std::wstring& name, const std::string& content) {
    const std::wstring file = path_ + L"\\" + name;
    files_.push_back(file);
    varnell::win32::ScopedFileHandle handle(
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(handle.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    return Utf16(file);
  }
  std::u16string PathOf(const std::wstring& name) {
    files_.push_back(path_ + L"\\" + name);
    return Utf16(files_.back());
  }
  static std::string Read(const std::u16string& path) {
    varnell::win32::ScopedFileHandle handle(
        CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ, FILE_SHARE_READ,
                    nullptr, OPEN_EXISTING, 0, nullptr));
    char buffer[256];
    DWORD read = 0;
    if (!handle || !ReadFile(handle.Get(), buffer, sizeof(buffer), &read, nullptr)) return {};
    return std::string(buffer, read);
  }

 private:
  std::wstring path_;
  std::vector<std::wstring> files_;
};

TEST(Win32EnvironmentTest, SystemFoldersAndProgramPath) {
  Win32Environment environment;
  const std::optional<std::u16string> system = environment.ExpandText(u"%WINDIR%\\System32\\");
  ASSERT_TRUE(system.has_value());
  EXPECT_EQ(system->substr(1, 2), u":\\");
  EXPECT_TRUE(system->ends_with(u"\\System32\\"));
  EXPECT_EQ(system->find(u'%'), std::u16string::npos);

  // 300 units cannot fit the 260-unit buffer.
  EXPECT_FALSE(environment.ExpandText(std::u16string(300, u'x')).has_value());

  std::u16string directory;
  ASSERT_TRUE(environment.SystemDirectory(directory));
  EXPECT_FALSE(directory.empty());
  EXPECT_NE(directory.back(), u'\\');

  EXPECT_TRUE(environment.ProgramFilePath().ends_with(u".exe"));
}

TEST(Win32FilesTest, CopyOverwritesAndReportsAMissingSource) {
  TempFolder folder;
  const std::u16string source = folder.Put(L"source.dll", "new bytes");
  const std::u16string target = folder.Put(L"target.dll", "old");
  Win32Files files;

  ASSERT_TRUE(files.CopyOver(source, target));
  EXPECT_EQ(TempFolder::Read(target), "new bytes");

  const Outcome missing = files.CopyOver(folder.PathOf(L"missing.dll"), target);
  EXPECT_FALSE(missing);
  EXPECT_EQ(missing.Error, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST(Win32RegistryTest, OpensWithoutCreatingAndWritesExactBytes) {
  Win32Registry registry;
  registry.DeleteMachineKey(kTestKey);
  std::unique_ptr<RegistryKey> key;
  const Outcome missing = registry.OpenMachineKey(kTestKey, kKeyWrite, key);
  EXPECT_FALSE(missing);
  EXPECT_EQ(missing.Error, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(registry.OpenMachineKey(kTestKey, kKeyWrite, key));

  HKEY created = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<const wchar_t*>(kTestKey.c_str()),
                            0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(created);

  ASSERT_TRUE(registry.OpenMachineKey(kTestKey, kKeyWrite, key));
  const std::vector<uint8_t> data = {'P', 0, 'o', 0, 'r', 0, 't', 0, 0, 0};
  ASSERT_TRUE(key->SetValueBytes(u"1", kRegSz, data));
  key.reset();

  wchar_t value[16] = {};
  DWORD type = 0;
  DWORD bytes = sizeof(value);
  ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, reinterpret_cast<const wchar_t*>(kTestKey.c_str()),
                         L"1", RRF_RT_ANY, &type, value, &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes, 10u);
  EXPECT_EQ(std::wstring(value), L"Port");

  EXPECT_TRUE(registry.DeleteMachineKey(kTestKey));
  EXPECT_EQ(registry.DeleteMachineKey(kTestKey).Error, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST(Win32TokensTest, LoadDriverPrivilegeCanBeEnabled) {
  Win32Tokens tokens;
  std::unique_ptr<AccessToken> token;
  ASSERT_TRUE(tokens.OpenCurrentProcessToken(kTokenAdjustPrivileges | kTokenQuery, token));
  Luid privilege;
  ASSERT_TRUE(tokens.LookupPrivilege(u"SeLoadDriverPrivilege", privilege));
  EXPECT_NE(privilege, Luid{});
  EXPECT_TRUE(token->AdjustPrivilege(privilege, kSePrivilegeEnabled));

  const Outcome unknown = tokens.LookupPrivilege(u"SeNoSuchPrivilege", privilege);
  EXPECT_FALSE(unknown);
  EXPECT_EQ(unknown.Error, static_cast<uint32_t>(ERROR_NO_SUCH_PRIVILEGE));
}

TEST(Win32ServicesTest, SpoolerStatusAndDependents) {
  Win32ServiceManager services;
  std::unique_ptr<ServiceControlManager> manager;
  ASSERT_TRUE(services.OpenManager(kScManagerAllAccess, manager));

  std::unique_ptr<Service> missing;
  const Outcome unknown = manager->OpenServiceByName(u"NoSuchServiceOfFalcrest", 0x4, missing);
  EXPECT_FALSE(unknown);
  EXPECT_EQ(unknown.Error, static_cast<uint32_t>(ERROR_SERVICE_DOES_NOT_EXIST));

  std::unique_ptr<Service> spooler;
  ASSERT_TRUE(manager->OpenServiceByName(
      u"spooler", kServiceQueryStatus | kServiceEnumerateDependents, spooler));
  ServiceStatus status;
  ASSERT_TRUE(spooler->QueryStatus(status));
  EXPECT_GE(status.CurrentState, kServiceStopped);
  EXPECT_LE(status.CurrentState, 7u);

  uint32_t needed = 0;
  std::vector<std::u16string> names;
  const Outcome sized = spooler->EnumDependents(kServiceActive, 0, needed, names);
  if (sized) {
    EXPECT_EQ(needed, 0u);
  } else {
    ASSERT_EQ(sized.Error, kErrorMoreData);
    EXPECT_TRUE(spooler->EnumDependents(kServiceActive, needed, needed, names));
    EXPECT_FALSE(names.empty());
  }
}

TEST(Win32SpoolerTest, EnumerationAndFailuresCarryTheSystemsCodes) {
  Win32Spooler spooler;
  uint32_t needed = 0;
  std::vector<EnumeratedPrinter> printers;
  const Outcome sized = spooler.EnumPrintersLevel2(kPrinterEnumLocal, 0, needed, printers);
  if (needed > 0) {
    EXPECT_FALSE(sized);
    ASSERT_TRUE(spooler.EnumPrintersLevel2(kPrinterEnumLocal, needed, needed, printers));
    ASSERT_FALSE(printers.empty());
    for (const EnumeratedPrinter& printer : printers) EXPECT_FALSE(printer.PrinterName.empty());
  }

  std::unique_ptr<PrinterHandle> handle;
  const Outcome unopened =
      spooler.OpenPrinterByName(u"No Such Printer Of Falcrest", kPrinterAllAccess, handle);
  EXPECT_FALSE(unopened);
  EXPECT_NE(unopened.Error, 0u);
  EXPECT_EQ(handle, nullptr);

  const Outcome undeleted =
      spooler.DeleteDriverEx(u"Windows NT x86", u"No Such Driver Of Falcrest", 0, 3);
  EXPECT_FALSE(undeleted);
  EXPECT_NE(undeleted.Error, 0u);
}

}  // namespace
}  // namespace falcrest::win32
