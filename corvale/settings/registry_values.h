// Reading and writing Corvale's registry values with the types the settings expect.
#pragma once

#include <cstdint>
#include <string>

#include "corvale/platform/registry.h"

namespace corvale {

// Each Read returns false when the value does not exist, and throws
// "Invalid data type for '<name>'" followed by `where` (see ValueWhere) when it exists with
// another type.
bool ReadString(RegistryKey& key, const std::string& name, std::string& out,
                const std::string& where = {});
bool ReadInteger(RegistryKey& key, const std::string& name, int32_t& out,
                 const std::string& where = {});
bool ReadBool(RegistryKey& key, const std::string& name, bool& out, const std::string& where = {});

// Where a value lives, for a message about it: " of printer '<printer>' (HKEY_CURRENT_USER\<key>)",
// or " (HKEY_CURRENT_USER\<key>)" without a printer.
std::string ValueWhere(const std::string& key_path, const std::string& printer = {},
                       RegistryHive hive = RegistryHive::kCurrentUser);
// The text of a value that exists with another type than the setting's.
std::string InvalidTypeText(const std::string& name, const std::string& where = {});

// Each Write throws "Failed to set data for '<name>'" when the value cannot be written.
void WriteString(RegistryKey& key, const std::string& name, const std::string& text);
void WriteInteger(RegistryKey& key, const std::string& name, int32_t value);
void WriteBool(RegistryKey& key, const std::string& name, bool value);

}  // namespace corvale
