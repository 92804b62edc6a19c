// The settings store: loading the slots, the remembered printer and the log options from the
// registry at start-up, and writing them back at close.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "corvale/settings/run_entry.h"
#include "tests/fakes/form_harness.h"

namespace corvale {
namespace {

using testing::FakeRegistry;

constexpr RegistryHive kHKCU = RegistryHive::kCurrentUser;
constexpr char kVarnell[] = "SOFTWARE\\Varnell";
constexpr char kDevices[] = "SOFTWARE\\Varnell\\Devices";

std::string DeviceKey(const std::string& key_name) {
  return std::string(kDevices) + "\\" + key_name;
}

class SettingsStoreTest : public ::testing::Test, protected testing::FormHarness {
 protected:
  SettingsStoreTest() {
    printers.Add("Dorrow_Laser");
    printers.Add("Pellam_Ink");
    printers.Add("Office Laser 2");
    printers.SetDefault("Dorrow_Laser");
  }

  // A stored printer key with every value of a configured slot.
  void StorePrinter(const std::string& key_name, const std::string& printer,
                    const std::string& input, int32_t depth) {
    const std::string key = DeviceKey(key_name);
    registry.PutDword(kHKCU, key, "EnableIPDSEmulation", 1);
    registry.PutString(kHKCU, key, "PrinterName", printer);
    registry.PutString(kHKCU, key, "InputFolder", input);
    registry.PutString(kHKCU, key, "DoneFolder", input + "\\Done");
    registry.PutDword(kHKCU, key, "DeleteInputFileWhenDone", 0);
    registry.PutDword(kHKCU, key, "QueueDepth", static_cast<uint32_t>(depth));
  }

  std::optional<RegistryValue> Stored(const std::string& key, const std::string& name) {
    return registry.Value(kHKCU, key, name);
  }
};

TEST_F(SettingsStoreTest, StoredSlotsReplaceTheDefaultsOfTheirPrinters) {
  StorePrinter("Pellam_Ink", "Pellam_Ink", "C:\\In\\Pellam", 3);
  registry.PutDword(kHKCU, DeviceKey("Pellam_Ink"), "DeleteInputFileWhenDone", 1);
  TForm1& form = Create();
  const TRec& slot = form.Config.Slots[2];
  EXPECT_TRUE(slot.EnableIPDSEmulation);
  EXPECT_EQ(slot.PrinterName, "Pellam_Ink");
  EXPECT_EQ(slot.InputFolder, "C:\\In\\Pellam");
  EXPECT_EQ(slot.DoneFolder, "C:\\In\\Pellam\\Done");
  EXPECT_TRUE(slot.DeleteInputFileWhenDone);
  EXPECT_EQ(slot.QueueDepth, 3);
  // The other printers keep the defaults.
  EXPECT_FALSE(form.Config.Slots[1].EnableIPDSEmulation);
  EXPECT_EQ(form.Config.Slots[3].InputFolder, "");
  EXPECT_TRUE(dialogs.Errors().empty());
}

TEST_F(SettingsStoreTest, QueueDepthOfZeroOrLessLoadsAsOne) {
  struct Case {
    int32_t stored;
    int32_t loaded;
  };
  for (const Case& c : {Case{0, 1}, Case{-5, 1}, Case{1, 1}, Case{7, 7}}) {
    SCOPED_TRACE(c.stored);
    StorePrinter("Dorrow_Laser", "Dorrow_Laser", "C:\\In", c.stored);
    TForm1& form = Create();
    EXPECT_EQ(form.Config.Slots[1].QueueDepth, c.loaded);
    EXPECT_EQ(form.edtQueueDepth.Text(), std::to_string(c.loaded));
    DestroyForm();
  }
}

TEST_F(SettingsStoreTest, AnyNonZeroBooleanLoadsTrueAndIsSavedAsOne) {
  StorePrinter("Dorrow_Laser", "Dorrow_Laser", "C:\\In", 1);
  registry.PutDword(kHKCU, DeviceKey("Dorrow_Laser"), "EnableIPDSEmulation", 2);
  registry.PutDword(kHKCU, kVarnell, "AppendLogDate", 0xFFFFFFFF);
  TForm1& form = Create();
  EXPECT_TRUE(form.Config.Slots[1].EnableIPDSEmulation);
  EXPECT_TRUE(form.Config.Log.AppendLogDate);
  EXPECT_TRUE(form.cbTimeStamp.Checked());
  form.FormClose();
  EXPECT_EQ(Stored(DeviceKey("Dorrow_Laser"), "EnableIPDSEmulation")->number, 1u);
  EXPECT_EQ(Stored(kVarnell, "AppendLogDate")->number, 1u);
}

TEST_F(SettingsStoreTest, KeyOfAnUninstalledPrinterIsNeitherLoadedNorTouched) {
  StorePrinter("Gone", "Gone", "C:\\In\\Gone", 4);
  // A key named like an installed printer whose stored name is not installed is not usable.
  StorePrinter("Pellam_Ink", "Old Pellam", "C:\\In\\Old", 4);
  // Nor is a key without a printer name.
  registry.PutString(kHKCU, DeviceKey("Office Laser 2"), "InputFolder", "C:\\In\\Nameless");
  TForm1& form = Create();
  EXPECT_EQ(form.Config.Slots[2].InputFolder, "");
  EXPECT_EQ(form.Config.Slots[2].PrinterName, "Pellam_Ink");
  EXPECT_EQ(form.Config.Slots[2].QueueDepth, 1);
  EXPECT_EQ(form.Config.Slots[3].InputFolder, "");
  form.FormClose();
  EXPECT_TRUE(registry.WritesUnder(kHKCU, DeviceKey("Gone")).empty());
  EXPECT_EQ(Stored(DeviceKey("Gone"), "InputFolder")->text, "C:\\In\\Gone");
  EXPECT_EQ(Stored(DeviceKey("Gone"), "QueueDepth")->number, 4u);
}

TEST_F(SettingsStoreTest, KeyNamesAndPrinterNamesCompareIgnoringCase) {
  StorePrinter("PELLAM_INK", "pellam_ink", "C:\\In\\Pellam", 2);
  TForm1& form = Create();
  EXPECT_EQ(form.Config.Slots[2].InputFolder, "C:\\In\\Pellam");
  form.FormClose();
  // The save finds the same key again instead of adding a second one.
  EXPECT_EQ(registry.SubKeys(kHKCU, kDevices),
            (std::vector<std::string>{"Dorrow_Laser", "Office Laser 2", "PELLAM_INK"}));
  EXPECT_EQ(Stored(DeviceKey("Pellam_Ink"), "PrinterName")->text, "Pellam_Ink");
}

TEST_F(SettingsStoreTest, ExpandStringsAreReadAsTheyAre) {
  StorePrinter("Dorrow_Laser", "Dorrow_Laser", "", 1);
  registry.PutExpandString(kHKCU, DeviceKey("Dorrow_Laser"), "InputFolder", "%TEMP%\\In");
  registry.PutExpandString(kHKCU, kVarnell, "LogFile", temp.Path() + "\\%USERNAME%.log");
  TForm1& form = Create();
  EXPECT_EQ(form.Config.Slots[1].InputFolder, "%TEMP%\\In");
  EXPECT_EQ(form.Server.Log().CurrentLogFile(), temp.Path() + "\\%USERNAME%.log");
  EXPECT_TRUE(dialogs.Errors().empty());
}

TEST_F(SettingsStoreTest, RememberedPrinterIsSelectedWhenListed) {
  struct Case {
    std::optional<std::string> stored;
    int selected;
  };
  const Case cases[] = {
      {"Pellam_Ink", 1}, {"office laser 2", 2}, {"Gone", 0}, {"", 0}, {std::nullopt, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored.value_or("(absent)"));
    StorePrinter("Pellam_Ink", "Pellam_Ink", "C:\\In\\Pellam", 5);
    if (c.stored) registry.PutString(kHKCU, kDevices, "DefaultPrinter", *c.stored);
    TForm1& form = Create();
    EXPECT_EQ(form.cmbPrinter.ItemIndex(), c.selected);
    // The selected printer's slot is the one shown.
    EXPECT_EQ(form.edtQueueDepth.Text(), c.selected == 1 ? "5" : "1");
    DestroyForm();
    registry.Reset();
  }
}

TEST_F(SettingsStoreTest, LogSettingsAreLoadedAndShown) {
  registry.PutString(kHKCU, kVarnell, "LogFile", temp.Win("run.log"));
  registry.PutDword(kHKCU, kVarnell, "KeepLogFileSmall", 1);
  registry.PutDword(kHKCU, kVarnell, "KeepLogFileSize", 0);
  registry.PutDword(kHKCU, kVarnell, "AppendLogDate", 1);
  registry.PutDword(kHKCU, kVarnell, "DeleteLogFile", 1);
  registry.PutDword(kHKCU, kVarnell, "DeleteLogFileDays", static_cast<uint32_t>(-3));
  registry.PutDword(kHKCU, kVarnell, "LogEnabled", 0);
  registry.PutDword(kHKCU, kVarnell, "LaunchOnStartup", 1);
  TForm1& form = Create();
  EXPECT_EQ(form.edtLogFile.Text(), temp.Win("run.log"));
  EXPECT_TRUE(form.cbLogDeleteBySize.Checked());
  EXPECT_EQ(form.edtMB.Text(), "0");
  EXPECT_TRUE(form.cbTimeStamp.Checked());
  EXPECT_TRUE(form.cbLogDeleteByDay.Checked());
  EXPECT_EQ(form.edtDays.Text(), "-3");
  EXPECT_FALSE(form.cbLog.Checked());
  EXPECT_FALSE(form.Server.Log().Enabled());
  EXPECT_TRUE(form.cbAutoRun.Checked());
  EXPECT_TRUE(form.Config.Log.KeepLogFileSmall);
  EXPECT_EQ(form.Config.Log.KeepLogFileSize, 0);
  EXPECT_TRUE(form.Config.Log.DeleteLogFile);
  EXPECT_EQ(form.Config.Log.DeleteLogFileDays, -3);
  // The stored flag does not arm the auto-start; only the command line does.
  EXPECT_FALSE(form.TimerAutoRun.Enabled());
}

// One printer's depth stored as text costs that value only: it is shown, loads as 1, and every
// other printer and option loads as stored and is saved back unchanged.
TEST_F(SettingsStoreTest, WrongTypedSlotValueTakesItsDefaultAndTheLoadGoesOn) {
  StorePrinter("Dorrow_Laser", "Dorrow_Laser", "C:\\In\\Dorrow", 2);
  StorePrinter("Pellam_Ink", "Pellam_Ink", "C:\\In\\Pellam", 2);
  registry.PutString(kHKCU, DeviceKey("Pellam_Ink"), "QueueDepth", "2");
  StorePrinter("Office Laser 2", "Office Laser 2", "C:\\In\\Office", 5);
  registry.PutString(kHKCU, kDevices, "DefaultPrinter", "Office Laser 2");
  registry.PutDword(kHKCU, kVarnell, "KeepLogFileSize", 25);
  registry.PutString(kHKCU, kVarnell, "LogFile", temp.Win("stored.log"));
  TForm1& form = Create();

  EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{
                                  "Invalid data type for 'QueueDepth' of printer 'Pellam_Ink' "
                                  "(HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Pellam_Ink)"});
  EXPECT_EQ(form.cmbPrinter.ItemIndex(), 2);
  const TRec expected[] = {
      {true, "Dorrow_Laser", "C:\\In\\Dorrow", "C:\\In\\Dorrow\\Done", false, 2},
      {true, "Pellam_Ink", "C:\\In\\Pellam", "C:\\In\\Pellam\\Done", false, 1},
      {true, "Office Laser 2", "C:\\In\\Office", "C:\\In\\Office\\Done", false, 5},
  };
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    const TRec& slot = form.Config.Slots[n];
    const TRec& want = expected[n - 1];
    EXPECT_EQ(slot.EnableIPDSEmulation, want.EnableIPDSEmulation);
    EXPECT_EQ(slot.PrinterName, want.PrinterName);
    EXPECT_EQ(slot.InputFolder, want.InputFolder);
    EXPECT_EQ(slot.DoneFolder, want.DoneFolder);
    EXPECT_EQ(slot.QueueDepth, want.QueueDepth);
  }
  EXPECT_EQ(form.edtMB.Text(), "25");
  EXPECT_EQ(form.Server.Log().CurrentLogFile(), temp.Win("stored.log"));
  EXPECT_EQ(form.Server.Engine().JobStoreRoot, temp.Win("JobStore"));
  EXPECT_NE(form.Server.Notifier(), nullptr);

  form.FormClose();
  EXPECT_EQ(Stored(DeviceKey("Dorrow_Laser"), "QueueDepth")->number, 2u);
  EXPECT_EQ(Stored(DeviceKey("Dorrow_Laser"), "InputFolder")->text, "C:\\In\\Dorrow");
  EXPECT_EQ(Stored(DeviceKey("Pellam_Ink"), "EnableIPDSEmulation")->number, 1u);
  EXPECT_EQ(Stored(DeviceKey("Pellam_Ink"), "InputFolder")->text, "C:\\In\\Pellam");
  EXPECT_EQ(Stored(DeviceKey("Pellam_Ink"), "QueueDepth")->kind, RegistryValueKind::kDword);
  EXPECT_EQ(Stored(DeviceKey("Pellam_Ink"), "QueueDepth")->number, 1u);
  EXPECT_EQ(Stored(DeviceKey("Office Laser 2"), "QueueDepth")->number, 5u);
  EXPECT_EQ(Stored(kDevices, "DefaultPrinter")->text, "Office Laser 2");
  EXPECT_EQ(Stored(kVarnell, "KeepLogFileSize")->number, 25u);
}

// Launched at logon with a wrong-typed value stored, nobody is there to close a box: the errors
// are logged once the log file is known, and the server still starts on its own.
TEST_F(SettingsStoreTest, WrongTypedValueDoesNotKeepTheAutoStartFromStarting) {
  StorePrinter("Dorrow_Laser", "Dorrow_Laser", temp.Win("In"), 1);
  registry.PutDword(kHKCU, DeviceKey("Dorrow_Laser"), "DoneFolder", 7);
  registry.PutString(kHKCU, DeviceKey("Dorrow_Laser"), "DeleteInputFileWhenDone", "1");
  system.arguments = {"/LaunchOnStartup"};
  TForm1& form = Create();
  const std::string where =
      " of printer 'Dorrow_Laser' (HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Dorrow_Laser)";
  EXPECT_TRUE(dialogs.Errors().empty());
  EXPECT_EQ(
      LogMessages("General"),
      (std::vector<std::string>{"ERROR: Invalid data type for 'DoneFolder'" + where,
                                "ERROR: Invalid data type for 'DeleteInputFileWhenDone'" + where}));
  EXPECT_EQ(form.statBar.SimpleText(), "Invalid data type for 'DeleteInputFileWhenDone'" + where);
  ASSERT_TRUE(form.TimerAutoRun.Enabled());
  form.TimerAutoRun.Tick();
  EXPECT_TRUE(form.Server.Running());
  EXPECT_EQ(form.Config.Slots[1].InputFolder, temp.Win("In"));
}

TEST_F(SettingsStoreTest, WrongTypedValueIsNamedInTheError) {
  using Put = std::function<void(FakeRegistry&)>;
  struct Case {
    const char* value;
    Put put;
    const char* where;  // the printer and key the text names
  };
  const std::string key = DeviceKey("Dorrow_Laser");
  const char* const printer_key =
      " of printer 'Dorrow_Laser' (HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Dorrow_Laser)";
  const Case cases[] = {
      {"InputFolder", [&](FakeRegistry& r) { r.PutDword(kHKCU, key, "InputFolder", 1); },
       printer_key},
      {"EnableIPDSEmulation",
       [&](FakeRegistry& r) { r.PutString(kHKCU, key, "EnableIPDSEmulation", "1"); }, printer_key},
      {"DeleteInputFileWhenDone",
       [&](FakeRegistry& r) { r.PutOther(kHKCU, key, "DeleteInputFileWhenDone"); }, printer_key},
      // Read while the stored keys are matched with the printers, before any printer is known.
      {"PrinterName",
       [&](FakeRegistry& r) { r.PutDword(kHKCU, DeviceKey("Stale"), "PrinterName", 3); },
       " (HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Stale)"},
      {"DefaultPrinter", [&](FakeRegistry& r) { r.PutDword(kHKCU, kDevices, "DefaultPrinter", 0); },
       " (HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices)"},
      {"LogEnabled", [&](FakeRegistry& r) { r.PutString(kHKCU, kVarnell, "LogEnabled", "yes"); },
       " (HKEY_CURRENT_USER\\SOFTWARE\\Varnell)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    StorePrinter("Dorrow_Laser", "Dorrow_Laser", "C:\\In", 1);
    c.put(registry);
    Create();
    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{std::string("Invalid data type for '") +
                                                         c.value + "'" + c.where});
    DestroyForm();
    dialogs.Clear();
    registry.Reset();
  }
}

TEST_F(SettingsStoreTest, WrongTypedLogValueKeepsItsDefaultAndTheRestLoads) {
  registry.PutString(kHKCU, kVarnell, "LogFile", temp.Win("stored.log"));
  registry.PutDword(kHKCU, kVarnell, "KeepLogFileSmall", 1);
  registry.PutString(kHKCU, kVarnell, "KeepLogFileSize", "20");
  registry.PutDword(kHKCU, kVarnell, "AppendLogDate", 1);
  registry.PutDword(kHKCU, kVarnell, "LogEnabled", 0);
  registry.PutDword(kHKCU, kVarnell, "DeleteLogFileDays", 4);
  registry.PutString(kHKCU, kVarnell, "DeleteLogFile", "yes");
  registry.PutDword(kHKCU, kVarnell, "LaunchOnStartup", 1);
  TForm1& form = Create();
  EXPECT_EQ(dialogs.Errors(),
            (std::vector<std::string>{
                "Invalid data type for 'KeepLogFileSize' (HKEY_CURRENT_USER\\SOFTWARE\\Varnell)",
                "Invalid data type for 'DeleteLogFile' (HKEY_CURRENT_USER\\SOFTWARE\\Varnell)"}));
  EXPECT_EQ(form.edtLogFile.Text(), temp.Win("stored.log"));
  EXPECT_TRUE(form.cbLogDeleteBySize.Checked());
  EXPECT_EQ(form.edtMB.Text(), "10");
  EXPECT_TRUE(form.cbTimeStamp.Checked());
  EXPECT_FALSE(form.cbLogDeleteByDay.Checked());
  EXPECT_EQ(form.edtDays.Text(), "4");
  EXPECT_FALSE(form.cbLog.Checked());
  EXPECT_TRUE(form.cbAutoRun.Checked());
}

TEST_F(SettingsStoreTest, SaveWritesEveryListedPrinterAndTheOptionsInOrder) {
  files.SetShortPaths([](const std::string&) { return std::string("C:\\CORVALE.EXE"); });
  TForm1& form = Create();
  form.Config.Slots[1] = TRec{true, "Dorrow_Laser", " C:\\In ", "C:\\Done\\", false, 4};
  form.Config.Slots[2].DeleteInputFileWhenDone = true;
  form.cmbPrinter.SetItemIndex(1);
  form.edtLogFile.SetText("  " + temp.Win("new.log") + " ");
  form.cbLog.SetChecked(false);
  form.cbAutoRun.SetChecked(true);
  form.cbLogDeleteBySize.SetChecked(true);
  form.Config.Log.KeepLogFileSize = 3;
  form.Config.Log.DeleteLogFileDays = 9;
  registry.ClearRecords();
  form.FormClose();

  std::vector<std::string> names;
  for (const FakeRegistry::WriteCall& write : registry.WritesUnder(kHKCU, kVarnell)) {
    EXPECT_TRUE(write.ok);
    names.push_back(write.path.substr(std::string(kVarnell).size()) + ":" + write.name);
  }
  const std::vector<std::string> expected = {
      "\\Devices:DefaultPrinter",
      "\\Devices\\Dorrow_Laser:EnableIPDSEmulation",
      "\\Devices\\Dorrow_Laser:PrinterName",
      "\\Devices\\Dorrow_Laser:InputFolder",
      "\\Devices\\Dorrow_Laser:DoneFolder",
      "\\Devices\\Dorrow_Laser:DeleteInputFileWhenDone",
      "\\Devices\\Dorrow_Laser:QueueDepth",
      "\\Devices\\Pellam_Ink:EnableIPDSEmulation",
      "\\Devices\\Pellam_Ink:PrinterName",
      "\\Devices\\Pellam_Ink:InputFolder",
      "\\Devices\\Pellam_Ink:DoneFolder",
      "\\Devices\\Pellam_Ink:DeleteInputFileWhenDone",
      "\\Devices\\Pellam_Ink:QueueDepth",
      "\\Devices\\Office Laser 2:EnableIPDSEmulation",
      "\\Devices\\Office Laser 2:PrinterName",
      "\\Devices\\Office Laser 2:InputFolder",
      "\\Devices\\Office Laser 2:DoneFolder",
      "\\Devices\\Office Laser 2:DeleteInputFileWhenDone",
      "\\Devices\\Office Laser 2:QueueDepth",
      ":LogFile",
      ":KeepLogFileSmall",
      ":KeepLogFileSize",
      ":DeleteLogFile",
      ":AppendLogDate",
      ":DeleteLogFileDays",
      ":LogEnabled",
      ":LaunchOnStartup",
      ":PrintSuccessExitCodes",
      ":PrintTimeoutMinutes",
  };
  EXPECT_EQ(names, expected);

  const std::string dorrow = DeviceKey("Dorrow_Laser");
  EXPECT_EQ(Stored(kDevices, "DefaultPrinter")->text, "Pellam_Ink");
  // Folders are written as held; only the log file name is trimmed.
  EXPECT_EQ(Stored(dorrow, "InputFolder")->text, " C:\\In ");
  EXPECT_EQ(Stored(dorrow, "DoneFolder")->text, "C:\\Done\\");
  EXPECT_EQ(Stored(dorrow, "QueueDepth")->kind, RegistryValueKind::kDword);
  EXPECT_EQ(Stored(dorrow, "QueueDepth")->number, 4u);
  EXPECT_EQ(Stored(dorrow, "EnableIPDSEmulation")->number, 1u);
  EXPECT_EQ(Stored(DeviceKey("Pellam_Ink"), "DeleteInputFileWhenDone")->number, 1u);
  EXPECT_EQ(Stored(DeviceKey("Pellam_Ink"), "QueueDepth")->number, 1u);
  EXPECT_EQ(Stored(kVarnell, "LogFile")->text, temp.Win("new.log"));
  EXPECT_EQ(Stored(kVarnell, "LogFile")->kind, RegistryValueKind::kString);
  EXPECT_EQ(Stored(kVarnell, "KeepLogFileSmall")->number, 1u);
  EXPECT_EQ(Stored(kVarnell, "KeepLogFileSize")->number, 3u);
  EXPECT_EQ(Stored(kVarnell, "DeleteLogFileDays")->number, 9u);
  EXPECT_EQ(Stored(kVarnell, "LogEnabled")->number, 0u);
  EXPECT_EQ(Stored(kVarnell, "LaunchOnStartup")->number, 1u);
}

// The print utility's success codes and time limit: defaults when absent, a list that is not one
// logged at Start with the default in force, and each saved back as it was stored.
TEST_F(SettingsStoreTest, PrintSettingsLoadTakeEffectAtStartAndAreSavedAsStored) {
  struct Case {
    const char* stored;  // nothing: not stored
    std::vector<uint32_t> in_force;
    bool logged;
  };
  const Case cases[] = {
      {nullptr, {0}, false},    {"0", {0}, false}, {" 0, 1 ,-1", {0, 1, 4294967295u}, false},
      {"0;1", {0}, true},       {"", {0}, true},   {"0,,1", {0}, true},
      {"4294967296", {0}, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored ? c.stored : "(absent)");
    registry.OpenKey(kHKCU, kVarnell, kKeyAllAccess, true)->DeleteValue("PrintSuccessExitCodes");
    if (c.stored) registry.PutString(kHKCU, kVarnell, "PrintSuccessExitCodes", c.stored);
    registry.PutDword(kHKCU, kVarnell, "PrintTimeoutMinutes", 15);
    TForm1& form = Create();
    ConfigureSlot(1, "In1", "Done1", 1);
    const std::string complaint = "PrintSuccessExitCodes \"" +
                                  std::string(c.stored ? c.stored : "") +
                                  "\" is not a comma-separated list of exit codes; \"0\" is used";
    auto complaints = [&] {
      const std::vector<std::string> general = LogMessages("General");
      return std::count(general.begin(), general.end(), complaint);
    };
    const auto before = complaints();
    form.btnStartClick();
    ASSERT_TRUE(form.Server.Running());
    EXPECT_EQ(form.Server.Policy().SuccessExitCodes, c.in_force);
    EXPECT_EQ(form.Server.Policy().TimeoutMinutes, 15);
    EXPECT_EQ(complaints() - before, c.logged ? 1 : 0);
    form.FormCloseQuery();
    form.FormClose();
    EXPECT_EQ(Stored(kVarnell, "PrintSuccessExitCodes")->text, c.stored ? c.stored : "0");
    EXPECT_EQ(Stored(kVarnell, "PrintTimeoutMinutes")->number, 15u);
    DestroyForm();
  }
}

TEST_F(SettingsStoreTest, KeysAreOpenedWithFullAccessAndTheViewBitOnlyAtSave) {
  struct Case {
    Wow64Answer wow64;
    uint32_t view;
  };
  for (const Case& c :
       {Case{Wow64Answer::kNo, kKeyWow64_32Key}, Case{Wow64Answer::kYes, kKeyWow64_64Key}}) {
    SCOPED_TRACE(c.view);
    system.wow64 = c.wow64;
    StorePrinter("Dorrow_Laser", "Dorrow_Laser", "C:\\In", 1);
    registry.PutDword(kHKCU, kVarnell, "LogEnabled", 1);
    registry.ClearRecords();
    TForm1& form = Create();
    std::vector<FakeRegistry::OpenCall> load = registry.Opens();
    ASSERT_FALSE(load.empty());
    // The computer's keys (defaults and policy) are only read, in the 64-bit view.
    for (const FakeRegistry::OpenCall& open : load) {
      EXPECT_EQ(open.access, open.hive == kHKCU ? kKeyAllAccess : kKeyRead | kKeyWow64_64Key)
          << open.path;
      EXPECT_FALSE(open.create) << open.path;
    }
    registry.ClearRecords();
    form.FormClose();
    int saves = 0;
    for (const FakeRegistry::OpenCall& open : registry.Opens()) {
      if (open.hive != kHKCU || open.path.rfind(kVarnell, 0) != 0) continue;
      ++saves;
      EXPECT_EQ(open.access, kKeyAllAccess | c.view) << open.path;
      EXPECT_TRUE(open.create) << open.path;
    }
    EXPECT_EQ(saves, 1 + 3 + 1);
    DestroyForm();
  }
}

TEST_F(SettingsStoreTest, FailedWriteEndsTheSaveAndIsShown) {
  registry.FailWritesOf("InputFolder");
  TForm1& form = Create();
  form.FormClose();
  EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"Failed to set data for 'InputFolder'"});
  std::vector<std::string> written;
  for (const FakeRegistry::WriteCall& write : registry.WritesUnder(kHKCU, kVarnell))
    written.push_back(write.name + (write.ok ? "" : " (failed)"));
  EXPECT_EQ(written, (std::vector<std::string>{"DefaultPrinter", "EnableIPDSEmulation",
                                               "PrinterName", "InputFolder (failed)"}));
  EXPECT_FALSE(registry.KeyExists(kHKCU, DeviceKey("Pellam_Ink")));
  EXPECT_FALSE(Stored(kVarnell, "LogFile").has_value());
}

TEST_F(SettingsStoreTest, KeyThatCannotBeOpenedIsSkippedWithItsValues) {
  registry.FailOpenOf(kHKCU, DeviceKey("Pellam_Ink"));
  TForm1& form = Create();
  form.FormClose();
  EXPECT_TRUE(dialogs.Errors().empty());
  EXPECT_FALSE(registry.KeyExists(kHKCU, DeviceKey("Pellam_Ink")));
  EXPECT_TRUE(Stored(DeviceKey("Office Laser 2"), "QueueDepth").has_value());
  EXPECT_TRUE(Stored(kVarnell, "LaunchOnStartup").has_value());
}

TEST_F(SettingsStoreTest, NetworkPrinterRoundTripsThroughItsKey) {
  printers.Add("\\\\srv\\q");
  TForm1& form = Create();
  form.Config.Slots[4] = TRec{true, "\\\\srv\\q", "C:\\In\\Q", "C:\\Done\\Q", true, 6};
  form.cmbPrinter.SetItemIndex(3);
  form.FormClose();
  const std::string key = DeviceKey("##srv#q");
  ASSERT_TRUE(registry.KeyExists(kHKCU, key));
  EXPECT_EQ(Stored(key, "PrinterName")->text, "\\\\srv\\q");
  EXPECT_EQ(Stored(kDevices, "DefaultPrinter")->text, "\\\\srv\\q");
  DestroyForm();

  TForm1& again = Create();
  EXPECT_EQ(again.cmbPrinter.ItemIndex(), 3);
  const TRec& slot = again.Config.Slots[4];
  EXPECT_TRUE(slot.EnableIPDSEmulation);
  EXPECT_EQ(slot.PrinterName, "\\\\srv\\q");
  EXPECT_EQ(slot.InputFolder, "C:\\In\\Q");
  EXPECT_EQ(slot.DoneFolder, "C:\\Done\\Q");
  EXPECT_TRUE(slot.DeleteInputFileWhenDone);
  EXPECT_EQ(slot.QueueDepth, 6);
}

TEST(SettingsStoreWithoutPrintersTest, SaveWritesAnEmptyDefaultPrinterAndNoPrinterKeys) {
  testing::FormHarness harness;
  harness.printers.Add("Varnell");
  TForm1& form = harness.Create();
  EXPECT_EQ(form.Config.SlotCount(), 0);
  EXPECT_EQ(form.cmbPrinter.ItemIndex(), -1);
  form.FormClose();
  std::optional<RegistryValue> remembered =
      harness.registry.Value(kHKCU, kDevices, "DefaultPrinter");
  ASSERT_TRUE(remembered.has_value());
  EXPECT_EQ(remembered->text, "");
  EXPECT_TRUE(harness.registry.SubKeys(kHKCU, kDevices).empty());
}

// The Run entry: machine-wide where that may be written, else for the user alone; removing takes
// only the entries that start this program.
constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::vector<std::string> kProgram = {"C:\\Program Files\\Corvale\\corvale.exe",
                                           "C:\\PROGRA~1\\Corvale\\corvale.exe"};

TEST(RunEntryTest, AnEntryStartsThisProgramInAnyFormAndCase) {
  const struct {
    const char* command;
    bool starts;
  } cases[] = {
      {"C:\\PROGRA~1\\Corvale\\corvale.exe /LaunchOnStartup", true},
      {"\"c:\\program files\\corvale\\CORVALE.EXE\" /LaunchOnStartup", true},
      {"C:\\Program Files\\Corvale\\corvale.exe", true},
      {"C:\\Program Files\\Corvale\\corvale.exe.bak /LaunchOnStartup", false},
      {"\"C:\\Program Files\\Corvale\\corvale.exe /LaunchOnStartup", false},
      {"D:\\Corvale\\corvale.exe /LaunchOnStartup", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(RunEntryStarts(c.command, kProgram), c.starts) << c.command;
}

TEST(RunEntryTest, WrittenMachineWideElsePerUserAndRemovedOnlyWhereItIsOurs) {
  const std::string data = kProgram[1] + " /LaunchOnStartup";
  const RegistryHive kHKLM = RegistryHive::kLocalMachine;
  {
    FakeRegistry registry;
    registry.PutString(kHKCU, kRunKey, "Corvale", data);
    EXPECT_EQ(WriteRunEntry(registry, data, kProgram), RunEntryPlace::kMachine);
    EXPECT_EQ(registry.Value(kHKLM, kRunKey, "Corvale")->text, data);
    EXPECT_FALSE(registry.Value(kHKCU, kRunKey, "Corvale").has_value());
    EXPECT_EQ(RunEntryReport(RunEntryPlace::kMachine), "");
  }
  {
    // Under UAC a program run as invoker may not write below HKEY_LOCAL_MACHINE.
    FakeRegistry registry;
    registry.FailOpenOf(kHKLM, kRunKey);
    EXPECT_EQ(WriteRunEntry(registry, data, kProgram), RunEntryPlace::kUser);
    EXPECT_EQ(registry.Value(kHKCU, kRunKey, "Corvale")->text, data);
    registry.FailOpenOf(kHKCU, kRunKey);
    EXPECT_EQ(WriteRunEntry(registry, data, kProgram), RunEntryPlace::kNone);
  }
  {
    FakeRegistry registry;
    registry.PutString(kHKLM, kRunKey, "Corvale", "D:\\Other\\corvale.exe /LaunchOnStartup");
    registry.PutString(kHKCU, kRunKey, "Corvale", data);
    RemoveRunEntries(registry, kProgram);
    EXPECT_TRUE(registry.Value(kHKLM, kRunKey, "Corvale").has_value());
    EXPECT_FALSE(registry.Value(kHKCU, kRunKey, "Corvale").has_value());
  }
}

}  // namespace
}  // namespace corvale
