// Keys below HKEY_LOCAL_MACHINE as the installer uses them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "falcrest/platform/outcome.h"

namespace falcrest {

constexpr uint32_t kKeyWrite = 0x20006;
constexpr uint32_t kRegSz = 1;

// One open key; RegCloseKey when destroyed.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // RegSetValueExW with the value's bytes exactly as given (a REG_SZ includes its terminator).
  virtual Outcome SetValueBytes(const std::u16string& name, uint32_t type,
                                const std::vector<uint8_t>& data) = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // RegOpenKeyExW below HKEY_LOCAL_MACHINE; never creates the key. The error is the status the
  // call returned.
  virtual Outcome OpenMachineKey(const std::u16string& path, uint32_t access,
                                 std::unique_ptr<RegistryKey>& key) = 0;
  // RegDeleteKeyW below HKEY_LOCAL_MACHINE.
  virtual Outcome DeleteMachineKey(const std::u16string& path) = 0;
};

}  // namespace falcrest
