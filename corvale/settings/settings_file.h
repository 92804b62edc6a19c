// Corvale's settings as a text file that an administrator can read, edit and carry to other
// computers: one [General] section with the values of HKEY_CURRENT_USER\SOFTWARE\Varnell (and the
// printer selected last), one [Printer <key>] section per key below SOFTWARE\Varnell\Devices.
// The file holds the values as stored, so an export imported elsewhere gives the same registry.
#pragma once

#include <string>
#include <vector>

#include "corvale/platform/registry.h"

namespace corvale {

// One registry value to write, below HKEY_CURRENT_USER.
struct SettingsValue {
  std::string key_path;  // "SOFTWARE\Varnell", "SOFTWARE\Varnell\Devices\<key>"
  std::string name;
  RegistryValue value;  // kString or kDword
  bool operator==(const SettingsValue& other) const {
    return key_path == other.key_path && name == other.name && value.kind == other.value.kind &&
           value.text == other.value.text && value.number == other.value.number;
  }
};

struct SettingsExport {
  std::string text;  // the file's text, UTF-8 with CRLF line ends
  int printers = 0;  // printer sections written
  // Printer keys left out because they hold no PrinterName (Corvale does not use them).
  std::vector<std::string> skipped_keys;
  // A value stored with another type than its setting's, each naming its printer and key; when
  // there is one, `text` is empty: a file must not hide a value that Corvale does not read.
  std::vector<std::string> errors;
};

// Reads every setting Corvale keeps for this user, including the keys of printers that are not
// installed now. Nothing is created or changed.
SettingsExport ExportSettings(Registry& registry);

struct SettingsImport {
  std::vector<SettingsValue> values;  // in the file's order
  int printers = 0;
  // "Line <n>: <problem>", in the file's order; when there is one, nothing may be written.
  std::vector<std::string> errors;
};

// Parses and checks a whole file; writes nothing.
SettingsImport ParseSettingsFile(const std::string& text);

// Writes the values; values the file does not name are left as they are. Throws
// "Failed to set data for '<name>'" at the first value that cannot be written.
void WriteSettingsValues(Registry& registry, const std::vector<SettingsValue>& values);

}  // namespace corvale
