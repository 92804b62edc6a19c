// Registry keys and values as Corvale uses them: hierarchical keys with case-insensitive names,
// string and 32-bit integer values. Owned and used on the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvale {

enum class RegistryHive { kCurrentUser, kLocalMachine };

// Access masks as the system defines them; the view bits select the 32- or 64-bit registry.
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyAllAccess = 0xF003F;
constexpr uint32_t kKeyWow64_64Key = 0x100;
constexpr uint32_t kKeyWow64_32Key = 0x200;

enum class RegistryValueKind { kString, kExpandString, kDword, kOther };

struct RegistryValue {
  RegistryValueKind kind = RegistryValueKind::kOther;
  std::string text;     // kString and kExpandString, without any terminator
  uint32_t number = 0;  // kDword
};

// One open key; closes itself when destroyed.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  virtual std::vector<std::string> SubKeyNames() = 0;
  virtual std::optional<RegistryValue> GetValue(const std::string& name) = 0;
  // Both return false when the value could not be written.
  virtual bool SetString(const std::string& name, const std::string& text) = 0;
  virtual bool SetDword(const std::string& name, uint32_t value) = 0;
  virtual bool DeleteValue(const std::string& name) = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Opens `path` below `hive` with `access`; with `create` a missing key is created.
  // Returns null when the key cannot be opened (or created).
  virtual std::unique_ptr<RegistryKey> OpenKey(RegistryHive hive, const std::string& path,
                                               uint32_t access, bool create) = 0;
};

}  // namespace corvale
