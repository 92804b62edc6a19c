// Reading and writing Corvale's registry values with the types the settings expect.
#pragma once

#include <cstdint>
#include <string>

#include "corvale/platform/registry.h"

namespace corvale {

// Each Read returns false when the value does not exist, and throws
// "Invalid data type for '<name>'" when it exists with another type.
bool ReadString(RegistryKey& key, const std::string& name, std::string& out);
bool ReadInteger(RegistryKey& key, const std::string& name, int32_t& out);
bool ReadBool(RegistryKey& key, const std::string& name, bool& out);

// Each Write throws "Failed to set data for '<name>'" when the value cannot be written.
void WriteString(RegistryKey& key, const std::string& name, const std::string& text);
void WriteInteger(RegistryKey& key, const std::string& name, int32_t value);
void WriteBool(RegistryKey& key, const std::string& name, bool value);

}  // namespace corvale
