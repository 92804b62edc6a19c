// Typed registry values: strings (REG_SZ, or REG_EXPAND_SZ taken as it is), 32-bit integers and
// booleans stored as REG_DWORD 0 or 1.
#include "corvale/settings/registry_values.h"

#include "corvale/engine/errors.h"

namespace corvale {

namespace {

[[noreturn]] void InvalidType(const std::string& name) {
  throw Error("Invalid data type for '" + name + "'");
}

void CheckWritten(bool ok, const std::string& name) {
  if (!ok) throw Error("Failed to set data for '" + name + "'");
}

}  // namespace

bool ReadString(RegistryKey& key, const std::string& name, std::string& out) {
  std::optional<RegistryValue> value = key.GetValue(name);
  if (!value) return false;
  if (value->kind != RegistryValueKind::kString && value->kind != RegistryValueKind::kExpandString)
    InvalidType(name);
  out = value->text;
  return true;
}

bool ReadInteger(RegistryKey& key, const std::string& name, int32_t& out) {
  std::optional<RegistryValue> value = key.GetValue(name);
  if (!value) return false;
  if (value->kind != RegistryValueKind::kDword) InvalidType(name);
  out = static_cast<int32_t>(value->number);
  return true;
}

bool ReadBool(RegistryKey& key, const std::string& name, bool& out) {
  int32_t number = 0;
  if (!ReadInteger(key, name, number)) return false;
  out = number != 0;
  return true;
}

void WriteString(RegistryKey& key, const std::string& name, const std::string& text) {
  CheckWritten(key.SetString(name, text), name);
}

void WriteInteger(RegistryKey& key, const std::string& name, int32_t value) {
  CheckWritten(key.SetDword(name, static_cast<uint32_t>(value)), name);
}

void WriteBool(RegistryKey& key, const std::string& name, bool value) {
  WriteInteger(key, name, value ? 1 : 0);
}

}  // namespace corvale
