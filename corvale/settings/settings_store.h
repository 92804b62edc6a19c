// The settings store: Corvale's settings in HKEY_CURRENT_USER\SOFTWARE\Varnell, one key per
// printer below "Devices", read once at start-up and written back once at close.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "corvale/settings/settings.h"

namespace corvale {

class Registry;

// Reads the settings of the printers of `printers` (the printer list of the slots); `installed`
// is every printer the system reports, against which stored keys are checked. Nothing is created.
// HKEY_CURRENT_USER\SOFTWARE is one key in both registry views, so no view bit is given. Never
// throws: a value of the wrong type keeps its default and its error joins `errors`, and every
// other value is read.
Settings LoadSettings(Registry& registry, const std::vector<std::string>& printers,
                      const std::vector<std::string>& installed, std::vector<std::string>& errors);

// Writes every setting, creating the keys; keys of printers not listed now are left alone.
// Throws "Failed to set data for '<name>'" at the first value that cannot be written.
void SaveSettings(Registry& registry, const Settings& settings, uint32_t view_flag);

}  // namespace corvale
