// The settings store: every slot, the last selected printer, the log and start-up options and
// the print settings, read from HKEY_CURRENT_USER\SOFTWARE\Varnell and written back.
#include "corvale/settings/settings_store.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <set>

#include "common/text.h"
#include "corvale/engine/engine_state.h"
#include "corvale/platform/registry.h"
#include "corvale/settings/registry_values.h"

namespace corvale {

namespace {

constexpr char kVarnellKey[] = "SOFTWARE\\Varnell";
constexpr char kDevicesKey[] = "SOFTWARE\\Varnell\\Devices";

bool ContainsIgnoreCase(const std::vector<std::string>& list, const std::string& name) {
  return std::any_of(list.begin(), list.end(), [&](const std::string& entry) {
    return varnell::EqualsIgnoreCase(entry, name);
  });
}

// Removes the first entry equal to `name`, ignoring case.
void RemoveFirst(std::vector<std::string>& list, const std::string& name) {
  auto it = std::find_if(list.begin(), list.end(), [&](const std::string& entry) {
    return varnell::EqualsIgnoreCase(entry, name);
  });
  if (it != list.end()) list.erase(it);
}

}  // namespace

std::vector<std::string> PrinterListForSlots(std::vector<std::string> printers) {
  RemoveFirst(printers, "Varnell");
  RemoveFirst(printers, "AFP Printer");
  if (printers.size() > static_cast<size_t>(kMaxSlots)) printers.resize(kMaxSlots);
  return printers;
}

namespace {

// Reads typed values into settings, each on its own: a value of the wrong type keeps what the
// setting held and its error joins `errors`. With `found`, the names of the values read are added.
class ValueReader {
 public:
  // `where` follows the name of a wrong-typed value in its error (see ValueWhere).
  ValueReader(std::vector<std::string>& errors, std::set<std::string>* found,
              std::string where = {})
      : errors_(errors), found_(found), where_(std::move(where)) {}

  template <typename T>
  void operator()(RegistryKey& key, const char* name, T& out) {
    try {
      if (Read(key, name, out) && found_) found_->insert(name);
    } catch (const std::exception& e) {
      errors_.push_back(e.what());
    }
  }

 private:
  bool Read(RegistryKey& key, const char* name, std::string& out) {
    return ReadString(key, name, out, where_);
  }
  bool Read(RegistryKey& key, const char* name, int32_t& out) {
    return ReadInteger(key, name, out, where_);
  }
  bool Read(RegistryKey& key, const char* name, bool& out) {
    return ReadBool(key, name, out, where_);
  }

  std::vector<std::string>& errors_;
  std::set<std::string>* found_;
  std::string where_;
};

// A printer's values but its name.
void ReadSlot(ValueReader& in, RegistryKey& key, TRec& slot) {
  in(key, "EnableIPDSEmulation", slot.EnableIPDSEmulation);
  in(key, "InputFolder", slot.InputFolder);
  in(key, "DoneFolder", slot.DoneFolder);
  in(key, "DeleteInputFileWhenDone", slot.DeleteInputFileWhenDone);
  in(key, "QueueDepth", slot.QueueDepth);
}

// The values of the Varnell key (or of a machine-wide key of the same layout).
void ReadMachineValues(ValueReader& in, RegistryKey& key, Settings& settings) {
  LogSettings& log = settings.Log;
  in(key, "LogFile", settings.LogFile);
  in(key, "KeepLogFileSmall", log.KeepLogFileSmall);
  in(key, "KeepLogFileSize", log.KeepLogFileSize);
  in(key, "AppendLogDate", log.AppendLogDate);
  in(key, "DeleteLogFile", log.DeleteLogFile);
  in(key, "DeleteLogFileDays", log.DeleteLogFileDays);
  in(key, "LogEnabled", settings.LogEnabled);
  in(key, "LaunchOnStartup", settings.LaunchOnStartup);
  in(key, "PrintSuccessExitCodes", settings.Print.PrintSuccessExitCodes);
  in(key, "PrintTimeoutMinutes", settings.Print.PrintTimeoutMinutes);
}

// "DefaultPrinter" of a Devices key, spelt as the printer list spells it; false when it is
// missing, empty or names no printer of the list.
bool ReadRemembered(ValueReader& in, RegistryKey& devices, const std::vector<std::string>& printers,
                    std::string& out) {
  std::string remembered;
  in(devices, "DefaultPrinter", remembered);
  for (const std::string& printer : printers) {
    if (!remembered.empty() && varnell::EqualsIgnoreCase(printer, remembered)) {
      out = printer;
      return true;
    }
  }
  return false;
}

// One of the computer's keys (the defaults or the policy) read over `settings`. A printer's key
// there needs no "PrinterName"; when it has one, it must be that of a printer of the system.
// With `policy`, what was read is marked as the administrator's.
void ReadMachineKey(Registry& registry, const std::string& root,
                    const std::vector<std::string>& installed, Settings& settings,
                    std::vector<std::string>& errors, PolicyFields* policy) {
  auto open = [&](const std::string& path) {
    return registry.OpenKey(RegistryHive::kLocalMachine, path, kKeyRead | kMachineViewFlag,
                            /*create=*/false);
  };
  auto root_key = open(root);
  if (!root_key) return;
  const std::string devices_path = root + "\\Devices";
  if (auto devices = open(devices_path)) {
    ValueReader in(errors, nullptr, ValueWhere(devices_path, {}, RegistryHive::kLocalMachine));
    std::string remembered;
    if (ReadRemembered(in, *devices, settings.Printers, remembered)) {
      settings.DefaultPrinter = remembered;
      if (policy) policy->Names.insert("DefaultPrinter");
    }
    for (int n = 1; n <= settings.SlotCount(); ++n) {
      const std::string path = devices_path + "\\" + PrinterKeyName(settings.Printers[n - 1]);
      auto key = open(path);
      if (!key) continue;
      const std::string where =
          ValueWhere(path, settings.Printers[n - 1], RegistryHive::kLocalMachine);
      std::string printer;
      ValueReader(errors, nullptr, where)(*key, "PrinterName", printer);
      if (!printer.empty() && !ContainsIgnoreCase(installed, varnell::Trim(printer))) continue;
      std::set<std::string> slot_found;
      ValueReader slot_in(errors, policy ? &slot_found : nullptr, where);
      ReadSlot(slot_in, *key, settings.Slots[n]);
      if (policy && !slot_found.empty()) policy->SlotNames[n] = slot_found;
    }
  }
  ValueReader in(errors, policy ? &policy->Names : nullptr,
                 ValueWhere(root, {}, RegistryHive::kLocalMachine));
  ReadMachineValues(in, *root_key, settings);
}

}  // namespace

Settings LoadSettings(Registry& registry, const std::vector<std::string>& printers,
                      const std::vector<std::string>& installed, std::vector<std::string>& errors) {
  auto open = [&](const std::string& path) {
    return registry.OpenKey(RegistryHive::kCurrentUser, path, kKeyAllAccess, /*create=*/false);
  };
  // One bad value costs no other setting.
  auto read = [&](const std::function<void()>& read_value) {
    try {
      read_value();
    } catch (const std::exception& e) {
      errors.push_back(e.what());
    }
  };
  Settings settings;
  settings.Printers = printers;
  for (int n = 1; n <= settings.SlotCount(); ++n) settings.Slots[n].PrinterName = printers[n - 1];

  // The computer's defaults first: the user's own values replace them.
  ReadMachineKey(registry, kMachineDefaultsKey, installed, settings, errors, nullptr);

  std::vector<std::string> subkeys;
  read([&] {
    if (auto devices = open(kDevicesKey)) subkeys = devices->SubKeyNames();
  });
  std::vector<std::string> usable_keys;
  for (const std::string& name : subkeys) {
    const std::string path = std::string(kDevicesKey) + "\\" + name;
    auto key = open(path);
    if (!key) continue;
    read([&] {
      std::string printer;
      if (ReadString(*key, "PrinterName", printer, ValueWhere(path)) &&
          ContainsIgnoreCase(installed, printer))
        usable_keys.push_back(name);
    });
  }

  if (auto devices = open(kDevicesKey)) {
    ValueReader devices_in(errors, nullptr, ValueWhere(kDevicesKey));
    std::string remembered;
    if (ReadRemembered(devices_in, *devices, printers, remembered))
      settings.DefaultPrinter = remembered;
  }

  for (int i = 0; i < settings.SlotCount(); ++i) {
    std::string key_name = PrinterKeyName(printers[i]);
    if (!ContainsIgnoreCase(usable_keys, key_name)) continue;
    const std::string path = std::string(kDevicesKey) + "\\" + key_name;
    auto key = open(path);
    if (!key) continue;
    // A wrong-typed value names its printer and key: there may be dozens of printers.
    ValueReader slot_in(errors, nullptr, ValueWhere(path, printers[i]));
    TRec& slot = settings.Slots[i + 1];
    slot_in(*key, "PrinterName", slot.PrinterName);
    slot.PrinterName = varnell::Trim(slot.PrinterName);
    ReadSlot(slot_in, *key, slot);
  }

  if (auto varnell = open(kVarnellKey)) {
    ValueReader varnell_in(errors, nullptr, ValueWhere(kVarnellKey));
    ReadMachineValues(varnell_in, *varnell, settings);
  }

  // The administrator's policy last: it replaces everything else.
  ReadMachineKey(registry, kPolicyKey, installed, settings, errors, &settings.Policy);

  for (int n = 1; n <= settings.SlotCount(); ++n) {
    if (settings.Slots[n].QueueDepth <= 0) settings.Slots[n].QueueDepth = 1;
  }
  return settings;
}

void KeepPolicyValues(const PolicyFields& policy, int slot, const TRec& enforced, TRec& edited) {
  auto keep = [&](const char* name, auto member) {
    if (policy.SlotHas(slot, name)) edited.*member = enforced.*member;
  };
  keep("EnableIPDSEmulation", &TRec::EnableIPDSEmulation);
  keep("InputFolder", &TRec::InputFolder);
  keep("DoneFolder", &TRec::DoneFolder);
  keep("DeleteInputFileWhenDone", &TRec::DeleteInputFileWhenDone);
  keep("QueueDepth", &TRec::QueueDepth);
}

void SaveSettings(Registry& registry, const Settings& settings, uint32_t view_flag) {
  auto open = [&](const std::string& path) {
    return registry.OpenKey(RegistryHive::kCurrentUser, path, kKeyAllAccess | view_flag,
                            /*create=*/true);
  };
  // What the administrator's policy set is not the user's: the user's own value stays.
  const PolicyFields& policy = settings.Policy;
  auto own = [&](const char* name) { return !policy.Has(name); };

  if (auto devices = open(kDevicesKey)) {
    if (own("DefaultPrinter")) WriteString(*devices, "DefaultPrinter", settings.DefaultPrinter);
  }

  for (int n = 1; n <= settings.SlotCount(); ++n) {
    const std::string& printer = settings.Printers[n - 1];
    auto key = open(std::string(kDevicesKey) + "\\" + PrinterKeyName(printer));
    if (!key) continue;
    const TRec& slot = settings.Slots[n];
    auto own_slot = [&](const char* name) { return !policy.SlotHas(n, name); };
    if (own_slot("EnableIPDSEmulation"))
      WriteBool(*key, "EnableIPDSEmulation", slot.EnableIPDSEmulation);
    WriteString(*key, "PrinterName", printer);
    if (own_slot("InputFolder")) WriteString(*key, "InputFolder", slot.InputFolder);
    if (own_slot("DoneFolder")) WriteString(*key, "DoneFolder", slot.DoneFolder);
    if (own_slot("DeleteInputFileWhenDone"))
      WriteBool(*key, "DeleteInputFileWhenDone", slot.DeleteInputFileWhenDone);
    if (own_slot("QueueDepth")) WriteInteger(*key, "QueueDepth", slot.QueueDepth);
  }

  if (auto varnell = open(kVarnellKey)) {
    const LogSettings& log = settings.Log;
    if (own("LogFile")) WriteString(*varnell, "LogFile", varnell::Trim(settings.LogFile));
    if (own("KeepLogFileSmall")) WriteBool(*varnell, "KeepLogFileSmall", log.KeepLogFileSmall);
    if (own("KeepLogFileSize")) WriteInteger(*varnell, "KeepLogFileSize", log.KeepLogFileSize);
    if (own("DeleteLogFile")) WriteBool(*varnell, "DeleteLogFile", log.DeleteLogFile);
    if (own("AppendLogDate")) WriteBool(*varnell, "AppendLogDate", log.AppendLogDate);
    if (own("DeleteLogFileDays"))
      WriteInteger(*varnell, "DeleteLogFileDays", log.DeleteLogFileDays);
    if (own("LogEnabled")) WriteBool(*varnell, "LogEnabled", settings.LogEnabled);
    if (own("LaunchOnStartup")) WriteBool(*varnell, "LaunchOnStartup", settings.LaunchOnStartup);
    // As stored: a list that is not one stays for the operator to mend.
    if (own("PrintSuccessExitCodes"))
      WriteString(*varnell, "PrintSuccessExitCodes", settings.Print.PrintSuccessExitCodes);
    if (own("PrintTimeoutMinutes"))
      WriteInteger(*varnell, "PrintTimeoutMinutes", settings.Print.PrintTimeoutMinutes);
  }
}

}  // namespace corvale
