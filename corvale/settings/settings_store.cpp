// The settings store: every slot, the last selected printer, the log and start-up options and
// the print settings, read from HKEY_CURRENT_USER\SOFTWARE\Varnell and written back.
#include "corvale/settings/settings_store.h"

#include <algorithm>
#include <exception>
#include <functional>

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
    read([&] {
      std::string remembered;
      if (!ReadString(*devices, "DefaultPrinter", remembered, ValueWhere(kDevicesKey)) ||
          remembered.empty())
        return;
      for (const std::string& printer : printers) {
        if (varnell::EqualsIgnoreCase(printer, remembered)) {
          settings.DefaultPrinter = printer;
          break;
        }
      }
    });
  }

  for (int n = 1; n <= settings.SlotCount(); ++n) settings.Slots[n].PrinterName = printers[n - 1];

  for (int i = 0; i < settings.SlotCount(); ++i) {
    std::string key_name = PrinterKeyName(printers[i]);
    if (!ContainsIgnoreCase(usable_keys, key_name)) continue;
    const std::string path = std::string(kDevicesKey) + "\\" + key_name;
    auto key = open(path);
    if (!key) continue;
    // A wrong-typed value names its printer and key: there may be dozens of printers.
    const std::string where = ValueWhere(path, printers[i]);
    TRec slot;
    read([&] { ReadBool(*key, "EnableIPDSEmulation", slot.EnableIPDSEmulation, where); });
    read([&] {
      if (ReadString(*key, "PrinterName", slot.PrinterName, where))
        slot.PrinterName = varnell::Trim(slot.PrinterName);
    });
    read([&] { ReadString(*key, "InputFolder", slot.InputFolder, where); });
    read([&] { ReadString(*key, "DoneFolder", slot.DoneFolder, where); });
    read([&] { ReadBool(*key, "DeleteInputFileWhenDone", slot.DeleteInputFileWhenDone, where); });
    read([&] { ReadInteger(*key, "QueueDepth", slot.QueueDepth, where); });
    if (slot.QueueDepth <= 0) slot.QueueDepth = 1;
    settings.Slots[i + 1] = slot;
  }

  if (auto varnell = open(kVarnellKey)) {
    LogSettings& log = settings.Log;
    const std::string where = ValueWhere(kVarnellKey);
    read([&] { ReadString(*varnell, "LogFile", settings.LogFile, where); });
    read([&] { ReadBool(*varnell, "KeepLogFileSmall", log.KeepLogFileSmall, where); });
    read([&] { ReadInteger(*varnell, "KeepLogFileSize", log.KeepLogFileSize, where); });
    read([&] { ReadBool(*varnell, "AppendLogDate", log.AppendLogDate, where); });
    read([&] { ReadBool(*varnell, "DeleteLogFile", log.DeleteLogFile, where); });
    read([&] { ReadInteger(*varnell, "DeleteLogFileDays", log.DeleteLogFileDays, where); });
    read([&] { ReadBool(*varnell, "LogEnabled", settings.LogEnabled, where); });
    read([&] { ReadBool(*varnell, "LaunchOnStartup", settings.LaunchOnStartup, where); });
    read([&] {
      ReadString(*varnell, "PrintSuccessExitCodes", settings.Print.PrintSuccessExitCodes, where);
    });
    read([&] {
      ReadInteger(*varnell, "PrintTimeoutMinutes", settings.Print.PrintTimeoutMinutes, where);
    });
  }
  return settings;
}

void SaveSettings(Registry& registry, const Settings& settings, uint32_t view_flag) {
  auto open = [&](const std::string& path) {
    return registry.OpenKey(RegistryHive::kCurrentUser, path, kKeyAllAccess | view_flag,
                            /*create=*/true);
  };

  if (auto devices = open(kDevicesKey))
    WriteString(*devices, "DefaultPrinter", settings.DefaultPrinter);

  for (int n = 1; n <= settings.SlotCount(); ++n) {
    const std::string& printer = settings.Printers[n - 1];
    auto key = open(std::string(kDevicesKey) + "\\" + PrinterKeyName(printer));
    if (!key) continue;
    const TRec& slot = settings.Slots[n];
    WriteBool(*key, "EnableIPDSEmulation", slot.EnableIPDSEmulation);
    WriteString(*key, "PrinterName", printer);
    WriteString(*key, "InputFolder", slot.InputFolder);
    WriteString(*key, "DoneFolder", slot.DoneFolder);
    WriteBool(*key, "DeleteInputFileWhenDone", slot.DeleteInputFileWhenDone);
    WriteInteger(*key, "QueueDepth", slot.QueueDepth);
  }

  if (auto varnell = open(kVarnellKey)) {
    const LogSettings& log = settings.Log;
    WriteString(*varnell, "LogFile", varnell::Trim(settings.LogFile));
    WriteBool(*varnell, "KeepLogFileSmall", log.KeepLogFileSmall);
    WriteInteger(*varnell, "KeepLogFileSize", log.KeepLogFileSize);
    WriteBool(*varnell, "DeleteLogFile", log.DeleteLogFile);
    WriteBool(*varnell, "AppendLogDate", log.AppendLogDate);
    WriteInteger(*varnell, "DeleteLogFileDays", log.DeleteLogFileDays);
    WriteBool(*varnell, "LogEnabled", settings.LogEnabled);
    WriteBool(*varnell, "LaunchOnStartup", settings.LaunchOnStartup);
    // As stored: a list that is not one stays for the operator to mend.
    WriteString(*varnell, "PrintSuccessExitCodes", settings.Print.PrintSuccessExitCodes);
    WriteInteger(*varnell, "PrintTimeoutMinutes", settings.Print.PrintTimeoutMinutes);
  }
}

}  // namespace corvale
