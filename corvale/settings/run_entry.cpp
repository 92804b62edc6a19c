#include "corvale/settings/run_entry.h"

#include <memory>

#include "corvale/platform/registry.h"
#include "common/text.h"

namespace corvale {

namespace {

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunValue[] = "Corvale";

bool StartsThisProgram(Registry& registry, RegistryHive hive, uint32_t view,
                       const std::vector<std::string>& program_forms) {
  auto key = registry.OpenKey(hive, kRunKey, kKeyRead | view, /*create=*/false);
  if (!key) return false;
  const std::optional<RegistryValue> entry = key->GetValue(kRunValue);
  return entry && RunEntryStarts(entry->text, program_forms);
}

void RemoveEntry(Registry& registry, RegistryHive hive, uint32_t view,
                 const std::vector<std::string>& program_forms) {
  if (!StartsThisProgram(registry, hive, view, program_forms)) return;
  if (auto key = registry.OpenKey(hive, kRunKey, kKeyAllAccess | view, /*create=*/false))
    key->DeleteValue(kRunValue);
}

bool WriteEntry(Registry& registry, RegistryHive hive, uint32_t view, const std::string& data) {
  auto key = registry.OpenKey(hive, kRunKey, kKeyAllAccess | view, /*create=*/true);
  return key && key->SetString(kRunValue, data);
}

}  // namespace

bool RunEntryStarts(const std::string& command, const std::vector<std::string>& program_forms) {
  const bool quoted = !command.empty() && command[0] == '"';
  const std::string text = varnell::ToLowerAscii(quoted ? command.substr(1) : command);
  for (const std::string& form : program_forms) {
    if (form.empty()) continue;
    const std::string program = varnell::ToLowerAscii(form);
    if (text.compare(0, program.size(), program) != 0) continue;
    if (text.size() == program.size()) return true;
    const char next = text[program.size()];
    if (quoted ? next == '"' : next == ' ') return true;
  }
  return false;
}

RunEntryPlace WriteRunEntry(Registry& registry, const std::string& data,
                            const std::vector<std::string>& program_forms) {
  // HKEY_CURRENT_USER's Run key is one key in both registry views.
  if (WriteEntry(registry, RegistryHive::kLocalMachine, kKeyWow64_64Key, data)) {
    RemoveEntry(registry, RegistryHive::kCurrentUser, 0, program_forms);
    return RunEntryPlace::kMachine;
  }
  if (WriteEntry(registry, RegistryHive::kCurrentUser, 0, data)) return RunEntryPlace::kUser;
  return RunEntryPlace::kNone;
}

void RemoveRunEntries(Registry& registry, const std::vector<std::string>& program_forms) {
  RemoveEntry(registry, RegistryHive::kLocalMachine, kKeyWow64_64Key, program_forms);
  RemoveEntry(registry, RegistryHive::kCurrentUser, 0, program_forms);
}

std::string RunEntryReport(RunEntryPlace place) {
  switch (place) {
    case RunEntryPlace::kMachine:
      return "";
    case RunEntryPlace::kUser:
      return "Run this program on system startup: the entry for every user of this computer is "
             "refused; Corvale starts at this user's logon only";
    case RunEntryPlace::kNone:
      return "Run this program on system startup: the Run entry cannot be written; Corvale does "
             "not start with Windows";
  }
  return "";
}

}  // namespace corvale
