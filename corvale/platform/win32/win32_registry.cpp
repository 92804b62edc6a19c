// Registry keys and values through the Win32 registry API.
#include "corvale/platform/win32/win32_registry.h"

#include <vector>

#include "common/win32/windows_support.h"

namespace corvale::win32 {

namespace {

class Win32RegistryKey : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}

  std::vector<std::string> SubKeyNames() override {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
      char name[256];
      DWORD length = sizeof name;
      LONG status =
          RegEnumKeyExA(key_.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (status != ERROR_SUCCESS) break;
      names.emplace_back(name, length);
    }
    return names;
  }

  std::optional<RegistryValue> GetValue(const std::string& name) override {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key_.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return std::nullopt;
    // Room for a terminator the stored data may lack; the value may also grow meanwhile.
    std::vector<char> data;
    LONG status;
    do {
      data.assign(size + 2, '\0');
      DWORD read = size;
      status = RegQueryValueExA(key_.Get(), name.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(data.data()), &read);
      if (status == ERROR_SUCCESS)
        size = read;
      else if (status == ERROR_MORE_DATA)
        size = read;
    } while (status == ERROR_MORE_DATA);
    if (status != ERROR_SUCCESS) return std::nullopt;

    RegistryValue value;
    switch (type) {
      case REG_SZ:
      case REG_EXPAND_SZ: {
        value.kind = type == REG_SZ ? RegistryValueKind::kString : RegistryValueKind::kExpandString;
        std::string text(data.data(), size);
        size_t end = text.find('\0');
        if (end != std::string::npos) text.resize(end);
        value.text = text;
        break;
      }
      case REG_DWORD:
        if (size != sizeof(DWORD)) {
          value.kind = RegistryValueKind::kOther;
          break;
        }
        value.kind = RegistryValueKind::kDword;
        value.number = *reinterpret_cast<const DWORD*>(data.data());
        break;
      default:
        value.kind = RegistryValueKind::kOther;
    }
    return value;
  }

  bool SetString(const std::string& name, const std::string& text) override {
    return RegSetValueExA(key_.Get(), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
  }

  bool SetDword(const std::string& name, uint32_t value) override {
    DWORD data = value;
    return RegSetValueExA(key_.Get(), name.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
  }

  bool DeleteValue(const std::string& name) override {
    return RegDeleteValueA(key_.Get(), name.c_str()) == ERROR_SUCCESS;
  }

 private:
  varnell::win32::ScopedKey key_;
};

}  // namespace

std::unique_ptr<RegistryKey> Win32Registry::OpenKey(RegistryHive hive, const std::string& path,
                                                    uint32_t access, bool create) {
  HKEY root = hive == RegistryHive::kCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  HKEY key = nullptr;
  LONG status = create ? RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         access, nullptr, &key, nullptr)
                       : RegOpenKeyExA(root, path.c_str(), 0, access, &key);
  if (status != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32RegistryKey>(key);
}

}  // namespace corvale::win32
