// Registry keys below HKEY_LOCAL_MACHINE and the process token on Win32.
#include "falcrest/platform/win32/win32_platform.h"

#include "falcrest/platform/win32/wide_text.h"

namespace falcrest::win32 {

namespace {

using varnell::win32::ScopedKernelHandle;
using varnell::win32::ScopedKey;

class Win32Key : public RegistryKey {
 public:
  explicit Win32Key(HKEY key) : key_(key) {}

  Outcome SetValueBytes(const std::u16string& name, uint32_t type,
                        const std::vector<uint8_t>& data) override {
    const LSTATUS status = RegSetValueExW(key_.Get(), Wide(name), 0, type, data.data(),
                                          static_cast<DWORD>(data.size()));
    return status == ERROR_SUCCESS ? Outcome::Success() : Outcome::Failure(status);
  }

 private:
  ScopedKey key_;
};

class Win32AccessToken : public AccessToken {
 public:
  explicit Win32AccessToken(HANDLE token) : token_(token) {}

  Outcome AdjustPrivilege(const Luid& privilege, uint32_t attributes) override {
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid.LowPart = privilege.LowPart;
    privileges.Privileges[0].Luid.HighPart = privilege.HighPart;
    privileges.Privileges[0].Attributes = attributes;
    static_assert(sizeof(privileges) == 16);
    if (!AdjustTokenPrivileges(token_.Get(), FALSE, &privileges, sizeof(privileges), nullptr,
                               nullptr))
      return LastErrorOutcome();
    return Outcome::Success();
  }

 private:
  ScopedKernelHandle token_;
};

}  // namespace

Outcome Win32Registry::OpenMachineKey(const std::u16string& path, uint32_t access,
                                      std::unique_ptr<RegistryKey>& key) {
  HKEY opened = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(path), 0, access, &opened);
  if (status != ERROR_SUCCESS) return Outcome::Failure(status);
  key = std::make_unique<Win32Key>(opened);
  return Outcome::Success();
}

Outcome Win32Registry::DeleteMachineKey(const std::u16string& path) {
  const LSTATUS status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, Wide(path));
  return status == ERROR_SUCCESS ? Outcome::Success() : Outcome::Failure(status);
}

Outcome Win32Tokens::OpenCurrentProcessToken(uint32_t access, std::unique_ptr<AccessToken>& token) {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), access, &opened)) return LastErrorOutcome();
  token = std::make_unique<Win32AccessToken>(opened);
  return Outcome::Success();
}

Outcome Win32Tokens::LookupPrivilege(const std::u16string& name, Luid& privilege) {
  LUID luid = {};
  if (!LookupPrivilegeValueW(nullptr, Wide(name), &luid)) return LastErrorOutcome();
  privilege.LowPart = luid.LowPart;
  privilege.HighPart = luid.HighPart;
  return Outcome::Success();
}

}  // namespace falcrest::win32
