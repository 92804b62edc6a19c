// Typed registry values: strings (REG_SZ, or REG_EXPAND_SZ taken as it is), 32-bit integers and
// booleans stored as REG_DWORD 0 or 1.
#include "corvale/settings/registry_values.h"

#include "corvale/engine/errors.h"

namespace corvale {

namespace {

[[noreturn]] void InvalidType(const std::string& name, const std::string& where) {
  throw Error(InvalidTypeText(name, where));
}

void CheckWritten(bool ok, const std::string& name) {
  if (!ok) throw Error("Failed to set data for '" + name + "'");
}

}  // namespace

std::string ValueWhere(const std::string& key_path, const std::string& printer,
                       RegistryHive hive) {
  const std::string key = std::string(" (") +
                          (hive == RegistryHive::kLocalMachine ? "HKEY_LOCAL_MACHINE\\"
                                                               : "HKEY_CURRENT_USER\\") +
                          key_path + ")";
  return printer.empty() ? key : " of printer '" + printer + "'" + key;
}

std::string InvalidTypeText(const std::string& name, const std::string& where) {
  return "Invalid data type for '" + name + "'" + where;
}

bool ReadString(RegistryKey& key, const std::string& name, std::string& out,
                const std::string& where) {
  std::optional<RegistryValue> value = key.GetValue(name);
  if (!value) return false;
  if (value->kind != RegistryValueKind::kString && value->kind != RegistryValueKind::kExpandString)
    InvalidType(name, where);
  out = value->text;
  return true;
}

bool ReadInteger(RegistryKey& key, const std::string& name, int32_t& out,
                 const std::string& where) {
  std::optional<RegistryValue> value = key.GetValue(name);
  if (!value) return false;
  if (value->kind != RegistryValueKind::kDword) InvalidType(name, where);
  out = static_cast<int32_t>(value->number);
  return true;
}

bool ReadBool(RegistryKey& key, const std::string& name, bool& out, const std::string& where) {
  int32_t number = 0;
  if (!ReadInteger(key, name, number, where)) return false;
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
