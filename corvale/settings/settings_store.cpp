// The settings store: every slot, the last selected printer and the log and start-up options,
// read from HKEY_CURRENT_USER\SOFTWARE\Varnell once at start-up and written back once at close.
#include <algorithm>
#include <functional>

#include "common/text.h"
#include "corvale/platform/registry.h"
#include "corvale/settings/registry_values.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

namespace {

constexpr char kVarnellKey[] = "SOFTWARE\\Varnell";
constexpr char kDevicesKey[] = "SOFTWARE\\Varnell\\Devices";

bool ContainsIgnoreCase(const std::vector<std::string>& list, const std::string& name) {
  return std::any_of(list.begin(), list.end(), [&](const std::string& entry) {
    return varnell::EqualsIgnoreCase(entry, name);
  });
}

}  // namespace

void TForm1::LoadSettings() {
  Registry& registry = platform_.registry;
  const uint32_t access = kKeyAllAccess | Engine.RegistryViewFlag;
  auto open = [&](const std::string& path) {
    return registry.OpenKey(RegistryHive::kCurrentUser, path, access, /*create=*/false);
  };

  // The log settings are shown in the window whatever happens below, so that the log file box
  // and the log file name always agree.
  struct ShowLogSettingsAtEnd {
    TForm1& form;
    ~ShowLogSettingsAtEnd() {
      try {
        form.ShowLogSettings();
      } catch (...) {
        // Showing settings raises nothing of its own; never let it end the program.
      }
    }
  } show_log_settings{*this};

  // A value of the wrong type is shown to the operator and keeps its default; the load goes on
  // with every other value, so that one bad value costs no other setting.
  auto read = [&](const std::function<void()>& read_value) { Guarded(read_value); };

  std::vector<std::string> subkeys;
  if (auto devices = open(kDevicesKey)) subkeys = devices->SubKeyNames();

  std::vector<std::string> usable_keys;
  for (const std::string& name : subkeys) {
    auto key = open(std::string(kDevicesKey) + "\\" + name);
    if (!key) continue;
    read([&] {
      std::string printer;
      if (ReadString(*key, "PrinterName", printer) &&
          ContainsIgnoreCase(InstalledPrinters, printer))
        usable_keys.push_back(name);
    });
  }

  if (auto devices = open(kDevicesKey)) {
    read([&] {
      std::string remembered;
      if (!ReadString(*devices, "DefaultPrinter", remembered) || remembered.empty()) return;
      const auto& items = cmbPrinter.Items();
      for (size_t i = 0; i < items.size(); ++i) {
        if (varnell::EqualsIgnoreCase(items[i], remembered)) {
          cmbPrinter.SetItemIndex(static_cast<int>(i));
          break;
        }
      }
    });
  }

  const std::vector<std::string>& entries = cmbPrinter.Items();
  Engine.SlotCount = static_cast<int32_t>(entries.size());
  for (int n = 1; n <= Engine.SlotCount; ++n) {
    Engine.Slots[n] = TRec{};
    Engine.Slots[n].PrinterName = entries[n - 1];
  }

  for (int i = 0; i < Engine.SlotCount; ++i) {
    std::string key_name = PrinterKeyName(entries[i]);
    if (!ContainsIgnoreCase(usable_keys, key_name)) continue;
    auto key = open(std::string(kDevicesKey) + "\\" + key_name);
    if (!key) continue;
    TRec slot;
    read([&] { ReadBool(*key, "EnableIPDSEmulation", slot.EnableIPDSEmulation); });
    read([&] {
      if (ReadString(*key, "PrinterName", slot.PrinterName))
        slot.PrinterName = varnell::Trim(slot.PrinterName);
    });
    read([&] { ReadString(*key, "InputFolder", slot.InputFolder); });
    read([&] { ReadString(*key, "DoneFolder", slot.DoneFolder); });
    read([&] { ReadBool(*key, "DeleteInputFileWhenDone", slot.DeleteInputFileWhenDone); });
    read([&] { ReadInteger(*key, "QueueDepth", slot.QueueDepth); });
    if (slot.QueueDepth <= 0) slot.QueueDepth = 1;
    Engine.Slots[i + 1] = slot;
  }

  LogOptions = LogSettings{};
  PrintOptions = PrintSettings{};
  Log.SetCurrentLogFile("");
  cbLog.SetChecked(true);
  cbAutoRun.SetChecked(false);
  if (auto varnell = open(kVarnellKey)) {
    read([&] {
      std::string log_file;
      if (ReadString(*varnell, "LogFile", log_file)) Log.SetCurrentLogFile(log_file);
    });
    read([&] { ReadBool(*varnell, "KeepLogFileSmall", LogOptions.KeepLogFileSmall); });
    read([&] { ReadInteger(*varnell, "KeepLogFileSize", LogOptions.KeepLogFileSize); });
    read([&] { ReadBool(*varnell, "AppendLogDate", LogOptions.AppendLogDate); });
    read([&] { ReadBool(*varnell, "DeleteLogFile", LogOptions.DeleteLogFile); });
    read([&] { ReadInteger(*varnell, "DeleteLogFileDays", LogOptions.DeleteLogFileDays); });
    read([&] {
      bool flag = false;
      if (ReadBool(*varnell, "LogEnabled", flag)) cbLog.SetChecked(flag);
    });
    read([&] {
      bool flag = false;
      if (ReadBool(*varnell, "LaunchOnStartup", flag)) cbAutoRun.SetChecked(flag);
    });
    read(
        [&] { ReadString(*varnell, "PrintSuccessExitCodes", PrintOptions.PrintSuccessExitCodes); });
    read([&] { ReadInteger(*varnell, "PrintTimeoutMinutes", PrintOptions.PrintTimeoutMinutes); });
  }
}

void TForm1::ShowLogSettings() {
  // Copies first: each box's handler writes its value back into the options.
  const LogSettings options = LogOptions;
  edtLogFile.SetText(Log.CurrentLogFile());
  cbLogDeleteBySize.SetChecked(options.KeepLogFileSmall);
  edtMB.SetText(std::to_string(options.KeepLogFileSize));
  cbLogDeleteByDay.SetChecked(options.DeleteLogFile);
  cbTimeStamp.SetChecked(options.AppendLogDate);
  edtDays.SetText(std::to_string(options.DeleteLogFileDays));
  LogOptions = options;
}

void TForm1::SaveSettings() {
  Registry& registry = platform_.registry;
  const uint32_t access = kKeyAllAccess | Engine.RegistryViewFlag;
  auto open = [&](const std::string& path) {
    return registry.OpenKey(RegistryHive::kCurrentUser, path, access, /*create=*/true);
  };

  if (auto devices = open(kDevicesKey)) WriteString(*devices, "DefaultPrinter", cmbPrinter.Text());

  const std::vector<std::string>& entries = cmbPrinter.Items();
  for (size_t i = 0; i < entries.size(); ++i) {
    auto key = open(std::string(kDevicesKey) + "\\" + PrinterKeyName(entries[i]));
    if (!key) continue;
    const TRec& slot = Engine.Slots[i + 1];
    WriteBool(*key, "EnableIPDSEmulation", slot.EnableIPDSEmulation);
    WriteString(*key, "PrinterName", entries[i]);
    WriteString(*key, "InputFolder", slot.InputFolder);
    WriteString(*key, "DoneFolder", slot.DoneFolder);
    WriteBool(*key, "DeleteInputFileWhenDone", slot.DeleteInputFileWhenDone);
    WriteInteger(*key, "QueueDepth", slot.QueueDepth);
  }

  if (auto varnell = open(kVarnellKey)) {
    WriteString(*varnell, "LogFile", varnell::Trim(edtLogFile.Text()));
    WriteBool(*varnell, "KeepLogFileSmall", LogOptions.KeepLogFileSmall);
    WriteInteger(*varnell, "KeepLogFileSize", LogOptions.KeepLogFileSize);
    WriteBool(*varnell, "DeleteLogFile", LogOptions.DeleteLogFile);
    WriteBool(*varnell, "AppendLogDate", LogOptions.AppendLogDate);
    WriteInteger(*varnell, "DeleteLogFileDays", LogOptions.DeleteLogFileDays);
    WriteBool(*varnell, "LogEnabled", cbLog.Checked());
    WriteBool(*varnell, "LaunchOnStartup", cbAutoRun.Checked());
    // As stored: a list that is not one stays for the operator to mend.
    WriteString(*varnell, "PrintSuccessExitCodes", PrintOptions.PrintSuccessExitCodes);
    WriteInteger(*varnell, "PrintTimeoutMinutes", PrintOptions.PrintTimeoutMinutes);
  }
}

}  // namespace corvale
