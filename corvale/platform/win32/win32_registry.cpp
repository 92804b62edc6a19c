// Registry keys and values through the wide Win32 registry calls; names and texts are UTF-8
// on this side.
#include "corvale/platform/win32/win32_registry.h"

#include <vector>

#include "common/win32/windows_support.h"
#include "corvale/platform/win32/wide_text.h"

namespace corvale::win32 {

namespace {

class Win32RegistryKey : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}

  std::vector<std::string> SubKeyNames() override {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
      wchar_t name[256];
      DWORD length = sizeof name / sizeof name[0];
      LONG status =
          RegEnumKeyExW(key_.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (status != ERROR_SUCCESS) break;
      names.push_back(Utf8(std::wstring_view(name, length)));
    }
    return names;
  }

  std::optional<RegistryValue> GetValue(const std::string& name) override {
    const std::wstring wide_name = Wide(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key_.Get(), wide_name.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
      return std::nullopt;
    // Room for a terminator the stored data may lack; the value may also grow meanwhile.
    std::vector<BYTE> data;
    LONG status;
    do {
      data.assign(size + sizeof(wchar_t) * 2, 0);
      DWORD read = size;
      status = RegQueryValueExW(key_.Get(), wide_name.c_str(), nullptr, &type, data.data(), &read);
      size = read;
    } while (status == ERROR_MORE_DATA);
    if (status != ERROR_SUCCESS) return std::nullopt;

    RegistryValue value;
    switch (type) {
      case REG_SZ:
      case REG_EXPAND_SZ: {
        value.kind = type == REG_SZ ? RegistryValueKind::kString : RegistryValueKind::kExpandString;
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        size_t end = text.find(L'\0');
        if (end != std::wstring::npos) text.resize(end);
        value.text = Utf8(text);
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
    const std::wstring data = Wide(text);
    return RegSetValueExW(key_.Get(), Wide(name).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }

  bool SetDword(const std::string& name, uint32_t value) override {
    DWORD data = value;
    return RegSetValueExW(key_.Get(), Wide(name).c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
  }

  bool DeleteValue(const std::string& name) override {
    return RegDeleteValueW(key_.Get(), Wide(name).c_str()) == ERROR_SUCCESS;
  }

 private:
  varnell::win32::ScopedKey key_;
};

}  // namespace

std::unique_ptr<RegistryKey> Win32Registry::OpenKey(RegistryHive hive, const std::string& path,
                                                    uint32_t access, bool create) {
  HKEY root = hive == RegistryHive::kCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  HKEY key = nullptr;
  const std::wstring wide_path = Wide(path);
  LONG status = create ? RegCreateKeyExW(root, wide_path.c_str(), 0, nullptr,
                                         REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr)
                       : RegOpenKeyExW(root, wide_path.c_str(), 0, access, &key);
  if (status != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32RegistryKey>(key);
}

}  // namespace corvale::win32
