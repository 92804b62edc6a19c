// The settings store: Corvale's settings in HKEY_CURRENT_USER\SOFTWARE\Varnell, one key per
// printer below "Devices", read once at start-up and written back once at close.
//
// The computer may hold two keys of the same layout (values of the Varnell key at their root,
// "Devices\<printer key>" below it) in HKEY_LOCAL_MACHINE:
// - the defaults, which fill in every value the user's key lacks (a new operator's first start)
//   and are then saved for the user like the user's own;
// - the administrator's policy, whose values replace the user's, are shown greyed and are never
//   saved for the user.
// Both are read in the 64-bit registry view: a 32-bit Corvale on 64-bit Windows would otherwise
// read the WOW6432Node copy that no administrator's tool writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "corvale/platform/registry.h"
#include "corvale/settings/settings.h"

namespace corvale {

class Registry;

constexpr char kPolicyKey[] = "SOFTWARE\\Policies\\Varnell\\Corvale";
constexpr char kMachineDefaultsKey[] = "SOFTWARE\\Varnell\\Corvale\\Defaults";
constexpr uint32_t kMachineViewFlag = kKeyWow64_64Key;

// Reads the settings of the printers of `printers` (the printer list of the slots); `installed`
// is every printer the system reports, against which stored keys are checked. Nothing is created.
// HKEY_CURRENT_USER\SOFTWARE is one key in both registry views, so no view bit is given. Values
// come from the policy, else the user, else the computer's defaults, else the built-in default;
// Settings::Policy tells which the policy set. Never throws: a value of the wrong type keeps what
// it would have been without it and its error joins `errors`, and every other value is read.
Settings LoadSettings(Registry& registry, const std::vector<std::string>& printers,
                      const std::vector<std::string>& installed, std::vector<std::string>& errors);

// Puts back into `edited` (slot `slot`'s settings) the values of `enforced` that the policy set.
void KeepPolicyValues(const PolicyFields& policy, int slot, const TRec& enforced, TRec& edited);

// Writes every setting but those of Settings::Policy, creating the keys; keys of printers not
// listed now are left alone.
// Throws "Failed to set data for '<name>'" at the first value that cannot be written.
void SaveSettings(Registry& registry, const Settings& settings, uint32_t view_flag);

}  // namespace corvale
