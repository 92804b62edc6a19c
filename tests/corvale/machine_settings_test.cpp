// Machine-wide settings: the administrator's policy overrides the user's values, the computer's
// defaults fill in what the user has not set, the window greys what the policy set and closing
// never writes it for the user.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "corvale/settings/settings_store.h"
#include "corvale/ui/configure_unit.h"
#include "tests/fakes/form_harness.h"

namespace corvale {
namespace {

constexpr RegistryHive kHKCU = RegistryHive::kCurrentUser;
constexpr RegistryHive kHKLM = RegistryHive::kLocalMachine;
constexpr char kVarnell[] = "SOFTWARE\\Varnell";

// The three places a value can come from, each with the Varnell key's layout.
enum class Source { kPolicy, kUser, kDefaults };

struct Place {
  RegistryHive hive;
  std::string root;
};

Place PlaceOf(Source source) {
  switch (source) {
    case Source::kPolicy:
      return {kHKLM, kPolicyKey};
    case Source::kUser:
      return {kHKCU, kVarnell};
    case Source::kDefaults:
      break;
  }
  return {kHKLM, kMachineDefaultsKey};
}

class MachineSettingsTest : public ::testing::Test, protected testing::FormHarness {
 protected:
  MachineSettingsTest() {
    printers.Add("Dorrow_Laser");
    printers.Add("Pellam_Ink");
    printers.SetDefault("Dorrow_Laser");
  }

  // "key" is relative to the Varnell key: "" for the key itself, "Devices", "Devices\\<printer>".
  static std::string Path(Source source, const std::string& key) {
    const std::string root = PlaceOf(source).root;
    return key.empty() ? root : root + "\\" + key;
  }
  void PutString(Source source, const std::string& key, const std::string& name,
                 const std::string& text) {
    registry.PutString(PlaceOf(source).hive, Path(source, key), name, text);
    // The user's printer keys count only with the name of an installed printer.
    if (source == Source::kUser && key.rfind("Devices\\", 0) == 0)
      registry.PutString(kHKCU, Path(source, key), "PrinterName", key.substr(8));
  }
  void PutDword(Source source, const std::string& key, const std::string& name, uint32_t value) {
    registry.PutDword(PlaceOf(source).hive, Path(source, key), name, value);
    if (source == Source::kUser && key.rfind("Devices\\", 0) == 0)
      registry.PutString(kHKCU, Path(source, key), "PrinterName", key.substr(8));
  }
  std::optional<RegistryValue> UserValue(const std::string& key, const std::string& name) {
    return registry.Value(kHKCU, Path(Source::kUser, key), name);
  }
};

// One value of each kind and place, and what each source holds for it.
struct ValueCase {
  const char* name;
  const char* key;  // relative to the Varnell key
  bool dword;
  // What the policy, the user and the defaults hold, and the built-in default, as loaded.
  const char* policy;
  const char* user;
  const char* defaults;
  const char* built_in;
  std::function<std::string(const Settings&)> loaded;
  int slot;  // 0: a machine-wide value
};

// `default_log` is the log file the window takes when none is set: beside the program.
std::vector<ValueCase> ValueCases(const std::string& default_log) {
  return {
      {"LogFile", "", false, "P:\\policy.log", "U:\\user.log", "D:\\defaults.log",
       default_log.c_str(), [](const Settings& s) { return s.LogFile; }, 0},
      {"KeepLogFileSize", "", true, "40", "20", "30", "10",
       [](const Settings& s) { return std::to_string(s.Log.KeepLogFileSize); }, 0},
      {"LogEnabled", "", true, "1", "0", "1", "1",
       [](const Settings& s) { return std::to_string(s.LogEnabled); }, 0},
      {"PrintSuccessExitCodes", "", false, "0,4", "0,1", "0,2", "0",
       [](const Settings& s) { return s.Print.PrintSuccessExitCodes; }, 0},
      {"DefaultPrinter", "Devices", false, "Pellam_Ink", "Dorrow_Laser", "Pellam_Ink", "",
       [](const Settings& s) { return s.DefaultPrinter; }, 0},
      {"InputFolder", "Devices\\Pellam_Ink", false, "\\\\srv\\policy", "C:\\user", "C:\\defaults",
       "", [](const Settings& s) { return s.Slots[2].InputFolder; }, 2},
      {"QueueDepth", "Devices\\Pellam_Ink", true, "7", "3", "5", "1",
       [](const Settings& s) { return std::to_string(s.Slots[2].QueueDepth); }, 2},
      {"EnableIPDSEmulation", "Devices\\Pellam_Ink", true, "0", "1", "0", "0",
       [](const Settings& s) { return std::to_string(s.Slots[2].EnableIPDSEmulation); }, 2},
  };
}

TEST_F(MachineSettingsTest, PolicyOverridesTheUserWhoOverridesTheDefaults) {
  struct Held {
    bool policy, user, defaults;
  };
  const Held combinations[] = {{false, false, false}, {false, false, true}, {false, true, false},
                               {false, true, true},   {true, false, false}, {true, false, true},
                               {true, true, false},   {true, true, true}};
  const std::string default_log = temp.Win("Varnell.log");
  for (const ValueCase& value : ValueCases(default_log)) {
    for (const Held& held : combinations) {
      SCOPED_TRACE(std::string(value.name) + " policy " + std::to_string(held.policy) + " user " +
                   std::to_string(held.user) + " defaults " + std::to_string(held.defaults));
      auto put = [&](Source source, const char* text) {
        if (value.dword)
          PutDword(source, value.key, value.name, static_cast<uint32_t>(std::stoul(text)));
        else
          PutString(source, value.key, value.name, text);
      };
      if (held.policy) put(Source::kPolicy, value.policy);
      if (held.user) put(Source::kUser, value.user);
      if (held.defaults) put(Source::kDefaults, value.defaults);
      const std::string expected = held.policy     ? value.policy
                                   : held.user     ? value.user
                                   : held.defaults ? value.defaults
                                                   : value.built_in;
      TForm1& form = Create();
      EXPECT_EQ(value.loaded(form.Config), expected);
      const bool marked = value.slot ? form.Config.Policy.SlotHas(value.slot, value.name)
                                     : form.Config.Policy.Has(value.name);
      EXPECT_EQ(marked, held.policy);
      EXPECT_TRUE(dialogs.Errors().empty());
      DestroyForm();
      registry.Reset();
    }
  }
}

TEST_F(MachineSettingsTest, PrinterKeysOfTheComputerNeedNoNameButAWrongNameIsIgnored) {
  // No PrinterName: the key's name says whose it is.
  PutString(Source::kPolicy, "Devices\\Dorrow_Laser", "InputFolder", "\\\\srv\\dorrow");
  // A PrinterName of a printer this computer lacks: the key is not for this printer.
  PutString(Source::kDefaults, "Devices\\Pellam_Ink", "PrinterName", "Gone_Printer");
  PutString(Source::kDefaults, "Devices\\Pellam_Ink", "InputFolder", "C:\\gone");
  TForm1& form = Create();
  EXPECT_EQ(form.Config.Slots[1].InputFolder, "\\\\srv\\dorrow");
  EXPECT_EQ(form.Config.Slots[1].PrinterName, "Dorrow_Laser");
  EXPECT_EQ(form.Config.Slots[2].InputFolder, "");
}

TEST_F(MachineSettingsTest, PolicyValueOfTheWrongTypeLeavesTheUsersValueAndSetsNothing) {
  PutString(Source::kUser, "", "LogFile", "U:\\user.log");
  registry.PutDword(kHKLM, kPolicyKey, "LogFile", 3);
  TForm1& form = Create();
  EXPECT_EQ(form.Config.LogFile, "U:\\user.log");
  EXPECT_FALSE(form.Config.Policy.Has("LogFile"));
  EXPECT_TRUE(form.edtLogFile.Enabled());
  // The message names the key it came from: the administrator's, not the user's.
  EXPECT_EQ(dialogs.Errors(),
            (std::vector<std::string>{"Invalid data type for 'LogFile' "
                                      "(HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Varnell\\Corvale)"}));
}

TEST_F(MachineSettingsTest, ClosingKeepsTheUsersOwnValuesAndSavesTheDefaultsTakenUp) {
  // The user's own values under a policy, and a policy value the user never had.
  PutString(Source::kUser, "", "LogFile", "U:\\user.log");
  PutString(Source::kPolicy, "", "LogFile", "P:\\policy.log");
  PutDword(Source::kPolicy, "", "DeleteLogFileDays", 30);
  PutDword(Source::kUser, "Devices\\Pellam_Ink", "QueueDepth", 3);
  PutDword(Source::kPolicy, "Devices\\Pellam_Ink", "QueueDepth", 7);
  PutString(Source::kPolicy, "Devices", "DefaultPrinter", "Pellam_Ink");
  // A default the user has not set yet.
  PutDword(Source::kDefaults, "", "KeepLogFileSize", 9);
  TForm1& form = Create();
  ASSERT_EQ(form.Config.LogFile, "P:\\policy.log");
  // What the operator edits besides is saved as ever.
  form.cbLog.SetChecked(false);
  form.FormClose();

  EXPECT_EQ(UserValue("", "LogFile")->text, "U:\\user.log");
  EXPECT_FALSE(UserValue("", "DeleteLogFileDays").has_value());
  EXPECT_EQ(UserValue("Devices\\Pellam_Ink", "QueueDepth")->number, 3u);
  EXPECT_FALSE(UserValue("Devices", "DefaultPrinter").has_value());
  for (const testing::FakeRegistry::WriteCall& write : registry.WritesUnder(kHKCU, kVarnell)) {
    for (const char* name : {"LogFile", "DeleteLogFileDays", "DefaultPrinter"})
      EXPECT_NE(write.name, name) << write.path;
    if (write.path.find("Pellam_Ink") != std::string::npos) {
      EXPECT_NE(write.name, "QueueDepth");
    }
  }
  EXPECT_EQ(UserValue("", "KeepLogFileSize")->number, 9u);
  EXPECT_EQ(UserValue("", "LogEnabled")->number, 0u);
  EXPECT_EQ(UserValue("Devices\\Dorrow_Laser", "QueueDepth")->number, 1u);
  // The computer's keys are only read.
  EXPECT_TRUE(registry.WritesUnder(kHKLM, "SOFTWARE\\Policies").empty());
  EXPECT_TRUE(registry.WritesUnder(kHKLM, "SOFTWARE\\Varnell").empty());
}

TEST_F(MachineSettingsTest, WindowGreysWhatThePolicySetAndSaysSo) {
  struct Case {
    const char* name;
    const char* key;
    const char* text;  // a string value; else the DWORD `number`
    uint32_t number;   // as the window shows it without policy: no check box changes
    std::vector<const char*> greyed;
    const char* status;
  };
  const Case cases[] = {
      {"LogFile",
       "",
       "P:\\policy.log",
       0,
       {"edtLogFile", "btnBrowseLogFile"},
       "Set by your administrator: LogFile (greyed; your own values are kept)"},
      {"LogEnabled",
       "",
       nullptr,
       1,
       {"cbLog"},
       "Set by your administrator: LogEnabled (greyed; your own values are kept)"},
      {"KeepLogFileSmall",
       "",
       nullptr,
       0,
       {"cbLogDeleteBySize"},
       "Set by your administrator: KeepLogFileSmall (greyed; your own values are kept)"},
      {"LaunchOnStartup",
       "",
       nullptr,
       0,
       {"cbAutoRun"},
       "Set by your administrator: LaunchOnStartup (greyed; your own values are kept)"},
      {"PrintTimeoutMinutes",
       "",
       nullptr,
       0,
       {},
       "Set by your administrator: PrintTimeoutMinutes (greyed; your own values are kept)"},
      {"InputFolder",
       "Devices\\Dorrow_Laser",
       "\\\\srv\\in",
       0,
       {"edtInputFolder", "btnBrowseInputFolder"},
       "Set by your administrator: for Dorrow_Laser: InputFolder (greyed; your own values are "
       "kept)"},
      {"DeleteInputFileWhenDone",
       "Devices\\Dorrow_Laser",
       nullptr,
       0,
       {"cbDeleteAFP"},
       "Set by your administrator: for Dorrow_Laser: DeleteInputFileWhenDone (greyed; your own "
       "values are kept)"},
      {"QueueDepth",
       "Devices\\Dorrow_Laser",
       nullptr,
       0,
       {"edtQueueDepth"},
       "Set by your administrator: for Dorrow_Laser: QueueDepth (greyed; your own values are "
       "kept)"},
  };
  // Enabled in a window without policy (the log's size and day boxes follow their check boxes).
  const std::vector<std::string> always = {"cbLog",
                                           "edtLogFile",
                                           "btnBrowseLogFile",
                                           "cbLogDeleteBySize",
                                           "cbTimeStamp",
                                           "cbAutoRun",
                                           "cbEnableEmulation",
                                           "edtInputFolder",
                                           "btnBrowseInputFolder",
                                           "edtDoneFolder",
                                           "btnBrowseDoneFolder",
                                           "cbDeleteAFP",
                                           "edtQueueDepth"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.text)
      PutString(Source::kPolicy, c.key, c.name, c.text);
    else
      PutDword(Source::kPolicy, c.key, c.name, c.number);
    TForm1& form = Create();
    for (Control* control : form.AllControls()) {
      const std::string name = control->Name();
      const bool greyed = std::find(c.greyed.begin(), c.greyed.end(), name) != c.greyed.end();
      if (greyed) {
        EXPECT_FALSE(control->Enabled()) << name;
      } else if (std::find(always.begin(), always.end(), name) != always.end()) {
        EXPECT_TRUE(control->Enabled()) << name;
      }
    }
    EXPECT_EQ(form.statBar.SimpleText(), c.status);
    DestroyForm();
    registry.Reset();
  }
}

TEST_F(MachineSettingsTest, NothingIsGreyedOrSaidWithoutPolicy) {
  PutDword(Source::kDefaults, "", "LaunchOnStartup", 1);
  TForm1& form = Create();
  EXPECT_TRUE(form.cbAutoRun.Checked());
  EXPECT_TRUE(form.cbAutoRun.Enabled());
  EXPECT_EQ(form.statBar.SimpleText().find("administrator"), std::string::npos);
}

TEST_F(MachineSettingsTest, GreyedControlsStayGreyWhateverTheOperatorDoes) {
  PutString(Source::kPolicy, "", "LogFile", "P:\\policy.log");
  PutDword(Source::kPolicy, "", "DeleteLogFileDays", 30);
  PutString(Source::kPolicy, "Devices\\Pellam_Ink", "DoneFolder", "\\\\srv\\done");
  TForm1& form = Create();
  EXPECT_EQ(form.edtLogFile.Text(), "P:\\policy.log");
  // The check boxes that enable these controls.
  form.cbLog.SetChecked(false);
  form.cbLog.SetChecked(true);
  EXPECT_FALSE(form.edtLogFile.Enabled());
  form.cbTimeStamp.SetChecked(true);
  form.cbLogDeleteByDay.SetChecked(true);
  EXPECT_FALSE(form.edtDays.Enabled());

  // A printer's policy greys its controls only while it is selected.
  EXPECT_TRUE(form.edtDoneFolder.Enabled());
  form.cmbPrinter.Select(1);
  EXPECT_FALSE(form.edtDoneFolder.Enabled());
  EXPECT_FALSE(form.btnBrowseDoneFolder.Enabled());
  EXPECT_EQ(form.edtDoneFolder.Text(), "\\\\srv\\done");
  EXPECT_EQ(form.statBar.SimpleText(),
            "Set by your administrator: LogFile, DeleteLogFileDays; for Pellam_Ink: DoneFolder "
            "(greyed; your own values are kept)");
  form.cbDeleteAFP.SetChecked(true);
  form.cbDeleteAFP.SetChecked(false);
  EXPECT_FALSE(form.edtDoneFolder.Enabled());
  form.cmbPrinter.Select(0);
  EXPECT_TRUE(form.edtDoneFolder.Enabled());
  EXPECT_TRUE(form.btnBrowseDoneFolder.Enabled());
}

TEST_F(MachineSettingsTest, WizardKeepsWhatThePolicySet) {
  PutDword(Source::kPolicy, "Devices\\Dorrow_Laser", "QueueDepth", 6);
  PutString(Source::kPolicy, "Devices\\Dorrow_Laser", "InputFolder", "\\\\srv\\dorrow");
  TForm1& form = Create();
  dialogs.OnWizard = [](TForm4& wizard) {
    wizard.Edit1.SetText("H:\\Hot\\");
    wizard.ComboBox1.Select(0);
    wizard.ComboBox1.Select(1);
    wizard.btnOK.Click();
    wizard.btnCancel.Click();
    return wizard.ModalResult;
  };
  form.btnWizard.Click();
  const TRec& dorrow = form.Config.Slots[1];
  EXPECT_EQ(dorrow.InputFolder, "\\\\srv\\dorrow");
  EXPECT_EQ(dorrow.QueueDepth, 6);
  EXPECT_EQ(dorrow.DoneFolder, "H:\\Hot\\Dorrow_Laser\\Completed Jobs");
  EXPECT_EQ(form.edtInputFolder.Text(), "\\\\srv\\dorrow");
  EXPECT_FALSE(form.edtInputFolder.Enabled());
  // Another printer's values are not the policy's.
  EXPECT_EQ(form.Config.Slots[2].InputFolder, "H:\\Hot\\Pellam_Ink");
  EXPECT_EQ(form.Config.Slots[2].QueueDepth, 2);
}

}  // namespace
}  // namespace corvale
