// The settings file: an export holds every stored value and an import of it gives the same
// registry; an import checks the whole file first and changes nothing when any line is wrong.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "corvale/platform/portable/std_file_system.h"
#include "corvale/service/settings_commands.h"
#include "corvale/settings/settings_file.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_registry.h"

namespace corvale {
namespace {

using testing::FakeRegistry;
using testing::TempFolder;

constexpr RegistryHive kHKCU = RegistryHive::kCurrentUser;
constexpr char kVarnell[] = "SOFTWARE\\Varnell";
constexpr char kDevices[] = "SOFTWARE\\Varnell\\Devices";

std::string DeviceKey(const std::string& key_name) {
  return std::string(kDevices) + "\\" + key_name;
}

// Every key and value below SOFTWARE\Varnell: "<key>|<name>" -> (kind, text, number).
using Dump = std::map<std::string, std::tuple<RegistryValueKind, std::string, uint32_t>>;

void DumpKey(const FakeRegistry& registry, const std::string& path, Dump& dump) {
  for (const std::string& name : registry.ValueNames(kHKCU, path)) {
    const RegistryValue value = *registry.Value(kHKCU, path, name);
    dump[path + "|" + name] = {value.kind, value.text, value.number};
  }
  for (const std::string& sub : registry.SubKeys(kHKCU, path))
    DumpKey(registry, path + "\\" + sub, dump);
}

Dump DumpVarnell(const FakeRegistry& registry) {
  Dump dump;
  if (registry.KeyExists(kHKCU, kVarnell)) DumpKey(registry, kVarnell, dump);
  return dump;
}

// One printer's key with every value.
void StorePrinter(FakeRegistry& registry, const std::string& key_name, const std::string& printer,
                  const std::string& input, uint32_t depth) {
  const std::string key = DeviceKey(key_name);
  registry.PutString(kHKCU, key, "PrinterName", printer);
  registry.PutDword(kHKCU, key, "EnableIPDSEmulation", 1);
  registry.PutString(kHKCU, key, "InputFolder", input);
  registry.PutString(kHKCU, key, "DoneFolder", input + "\\Done");
  registry.PutDword(kHKCU, key, "DeleteInputFileWhenDone", 0);
  registry.PutDword(kHKCU, key, "QueueDepth", depth);
}

// A user's settings as Corvale stores them, with the texts a file has to be careful with.
void StoreEverything(FakeRegistry& registry) {
  registry.PutString(kHKCU, kVarnell, "LogFile", "  C:\\Logs\\corvale.log ");
  registry.PutDword(kHKCU, kVarnell, "LogEnabled", 1);
  registry.PutDword(kHKCU, kVarnell, "KeepLogFileSmall", 1);
  registry.PutDword(kHKCU, kVarnell, "KeepLogFileSize", 25);
  registry.PutDword(kHKCU, kVarnell, "AppendLogDate", 0);
  registry.PutDword(kHKCU, kVarnell, "DeleteLogFile", 1);
  registry.PutDword(kHKCU, kVarnell, "DeleteLogFileDays", static_cast<uint32_t>(-3));
  registry.PutDword(kHKCU, kVarnell, "LaunchOnStartup", 1);
  registry.PutString(kHKCU, kVarnell, "PrintSuccessExitCodes", "0; 3 = \"ok\"");
  registry.PutDword(kHKCU, kVarnell, "PrintTimeoutMinutes", 0xFFFFFFFFu);
  registry.PutString(kHKCU, kDevices, "DefaultPrinter", "\\\\print01\\Laser 5");
  StorePrinter(registry, "Dorrow_Laser", "Dorrow_Laser", "C:\\In\\Dorrow", 2);
  // A network printer, not installed on this computer: its settings travel all the same.
  StorePrinter(registry, "##print01#Laser 5", "\\\\print01\\Laser 5", "\\\\files\\hot\\Laser5", 7);
  StorePrinter(registry, "Büro [2]", "Büro [2]", "D:\\Eingang\tTab\r\nZeile\\", 1);
  registry.PutString(kHKCU, DeviceKey("Büro [2]"), "DoneFolder", "");
}

class SettingsFileTest : public ::testing::Test {
 protected:
  CommandOutcome Run(const std::string& command, const std::string& file) {
    return RunSettingsCommand({command, file}, registry, files, [this] { return running; });
  }

  FakeRegistry registry;
  TempFolder temp;
  StdFileSystem files;
  bool running = false;
};

TEST_F(SettingsFileTest, ExportThenImportIntoAnEmptyRegistryGivesTheSameValues) {
  StoreEverything(registry);
  const CommandOutcome exported = Run("/ExportSettings", temp.Win("corvale.ini"));
  ASSERT_EQ(exported.exit_code, kCommandDone) << exported.text;
  EXPECT_EQ(exported.text, "The settings are exported to " + temp.Win("corvale.ini") +
                               ": [General] and 3 printers.");

  FakeRegistry fresh;
  const CommandOutcome imported = RunSettingsCommand({"/ImportSettings", temp.Win("corvale.ini")},
                                                     fresh, files, [] { return false; });
  ASSERT_EQ(imported.exit_code, kCommandDone) << imported.text;
  EXPECT_EQ(imported.text,
            "The settings of " + temp.Win("corvale.ini") + " are imported: 29 values, 3 printers.");
  EXPECT_EQ(DumpVarnell(fresh), DumpVarnell(registry));
}

// The file is for people: plain lines, the key of each printer in its section's name.
TEST_F(SettingsFileTest, TheFileReadsAsTheRegistryHoldsIt) {
  StoreEverything(registry);
  const SettingsExport exported = ExportSettings(registry);
  ASSERT_TRUE(exported.errors.empty());
  const std::string& text = exported.text;
  for (const char* line : {
           "; Corvale settings of one user, exported by corvale.exe /ExportSettings from\r\n",
           "\r\n[General]\r\nLogFile=\"  C:\\\\Logs\\\\corvale.log \"\r\nLogEnabled=1\r\n",
           "\r\nDeleteLogFileDays=-3\r\n",
           "\r\nPrintSuccessExitCodes=0; 3 = \"ok\"\r\nPrintTimeoutMinutes=-1\r\n",
           "\r\nDefaultPrinter=\\\\print01\\Laser 5\r\n",
           "\r\n[Printer ##print01#Laser 5]\r\nPrinterName=\\\\print01\\Laser 5\r\n"
           "EnableIPDSEmulation=1\r\nInputFolder=\\\\files\\hot\\Laser5\r\n",
           "\r\n[Printer Büro [2]]\r\n",
           "\r\nInputFolder=\"D:\\\\Eingang\\tTab\\r\\nZeile\\\\\"\r\nDoneFolder=\r\n",
       }) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
}

// A text stored as REG_EXPAND_SZ is read as it is; it comes back as REG_SZ, as Corvale itself
// writes it at close. A key without a printer name is none of Corvale's and stays behind.
TEST_F(SettingsFileTest, ExportNotesWhatDoesNotTravel) {
  registry.PutExpandString(kHKCU, kVarnell, "LogFile", "%USERPROFILE%\\corvale.log");
  registry.PutDword(kHKCU, DeviceKey("Leftover"), "QueueDepth", 4);
  const CommandOutcome exported = Run("/ExportSettings", temp.Win("out.ini"));
  ASSERT_EQ(exported.exit_code, kCommandDone);
  EXPECT_EQ(exported.text,
            "The settings are exported to " + temp.Win("out.ini") +
                ": [General] and 0 printers.\r\nThe key "
                "HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Leftover holds no PrinterName: "
                "Corvale does not use it, and it is not exported.");

  FakeRegistry fresh;
  ASSERT_EQ(RunSettingsCommand({"/ImportSettings", temp.Win("out.ini")}, fresh, files,
                               [] { return false; })
                .exit_code,
            kCommandDone);
  const std::optional<RegistryValue> log = fresh.Value(kHKCU, kVarnell, "LogFile");
  ASSERT_TRUE(log);
  EXPECT_EQ(log->kind, RegistryValueKind::kString);
  EXPECT_EQ(log->text, "%USERPROFILE%\\corvale.log");
  EXPECT_FALSE(fresh.KeyExists(kHKCU, DeviceKey("Leftover")));
}

TEST_F(SettingsFileTest, ExportRefusesWrongTypedValuesNamingPrinterAndKey) {
  StoreEverything(registry);
  registry.PutString(kHKCU, DeviceKey("##print01#Laser 5"), "QueueDepth", "7");
  registry.PutDword(kHKCU, kVarnell, "PrintSuccessExitCodes", 0);
  temp.WriteFile("corvale.ini", "the last good export");

  const CommandOutcome exported = Run("/ExportSettings", temp.Win("corvale.ini"));
  EXPECT_EQ(exported.exit_code, kCommandFailed);
  EXPECT_EQ(exported.text,
            "Nothing was exported: these values have the wrong type. Set them in Corvale's window "
            "(closing it writes them again) or mend them in the registry, then export again:\r\n"
            "  Invalid data type for 'PrintSuccessExitCodes' "
            "(HKEY_CURRENT_USER\\SOFTWARE\\Varnell)\r\n"
            "  Invalid data type for 'QueueDepth' of printer '\\\\print01\\Laser 5' "
            "(HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\##print01#Laser 5)");
  EXPECT_EQ(temp.ReadFile("corvale.ini"), "the last good export");
}

TEST_F(SettingsFileTest, ExportToAFolderThatIsNotThereFailsAndLeavesNothing) {
  StoreEverything(registry);
  const CommandOutcome exported = Run("/ExportSettings", temp.Win("missing\\corvale.ini"));
  EXPECT_EQ(exported.exit_code, kCommandFailed);
  EXPECT_EQ(exported.text.rfind(
                "The settings cannot be written to " + temp.Win("missing\\corvale.ini") + ": ", 0),
            0u)
      << exported.text;
  EXPECT_TRUE(temp.FilesIn("").empty());
}

// What an administrator writes by hand: a BOM, LF line ends, blanks around "=", names in any
// case. Values the file leaves out stay as they are.
TEST_F(SettingsFileTest, ImportSetsWhatTheFileNamesAndLeavesTheRest) {
  StorePrinter(registry, "Pellam_Ink", "Pellam_Ink", "C:\\In\\Pellam", 3);
  registry.PutDword(kHKCU, kVarnell, "KeepLogFileSize", 10);
  temp.WriteFile("admin.ini",
                 "\xEF\xBB\xBF# for the print room\n"
                 "[general]\n"
                 "  logfile = \\\\files\\logs\\room.log\n"
                 "\n"
                 "[PRINTER Pellam_Ink]\n"
                 "PrinterName=Pellam_Ink\n"
                 "queuedepth = 5\n");
  const CommandOutcome imported = Run("/ImportSettings", temp.Win("admin.ini"));
  ASSERT_EQ(imported.exit_code, kCommandDone) << imported.text;
  EXPECT_EQ(registry.Value(kHKCU, kVarnell, "LogFile")->text, "\\\\files\\logs\\room.log");
  EXPECT_EQ(registry.Value(kHKCU, kVarnell, "KeepLogFileSize")->number, 10u);
  EXPECT_EQ(registry.Value(kHKCU, DeviceKey("Pellam_Ink"), "QueueDepth")->number, 5u);
  EXPECT_EQ(registry.Value(kHKCU, DeviceKey("Pellam_Ink"), "InputFolder")->text, "C:\\In\\Pellam");
  EXPECT_EQ(registry.ValueNames(kHKCU, kVarnell).size(), 2u);
}

// Every wrong file is refused as a whole: the text names each wrong line, and the registry is
// left exactly as it was, whatever the good lines before the wrong one said.
TEST_F(SettingsFileTest, ImportOfAWrongFileNamesTheLineAndChangesNothing) {
  struct Case {
    const char* what;
    std::string file;
    std::vector<std::string> errors;
  };
  const std::string good =
      "[General]\r\nLogEnabled=0\r\n[Printer Dorrow_Laser]\r\nPrinterName=Dorrow_Laser\r\n";
  const Case cases[] = {
      {"unknown section",
       good + "[Printers]\r\nQueueDepth=1\r\n",
       {"Line 5: not a section of the settings: [Printers] (they are [General] and "
        "[Printer <key>])"}},
      {"second general section",
       good + "[General]\r\n",
       {"Line 5: [General] appears twice (first on line 1)"}},
      {"value of another section",
       good + "LogFile=C:\\x.log\r\n",
       {"Line 5: [Printer Dorrow_Laser] has no value 'LogFile'"}},
      {"misspelt value",
       "[General]\r\nLogEnable=1\r\n",
       {"Line 2: [General] has no value 'LogEnable'"}},
      {"text for a number",
       good + "QueueDepth=two\r\n",
       {"Line 5: 'QueueDepth' takes a whole number, not 'two'"}},
      {"word for a switch",
       "[General]\r\nLaunchOnStartup=yes\r\n",
       {"Line 2: 'LaunchOnStartup' takes 1 (on) or 0 (off), not 'yes'"}},
      {"number too large",
       good + "QueueDepth=4294967296\r\n",
       {"Line 5: 'QueueDepth' takes a whole number, not '4294967296'"}},
      {"number too small",
       "[General]\r\nDeleteLogFileDays=-2147483649\r\n",
       {"Line 2: 'DeleteLogFileDays' takes a whole number, not '-2147483649'"}},
      {"empty number",
       "[General]\r\nKeepLogFileSize=\r\n",
       {"Line 2: 'KeepLogFileSize' takes a whole number, not ''"}},
      {"duplicate value",
       good + "printername=Pellam_Ink\r\n",
       {"Line 5: 'PrinterName' appears twice in [Printer Dorrow_Laser] (first on line 4)"}},
      {"duplicate printer",
       good + "[printer DORROW_LASER]\r\n",
       {"Line 5: [Printer DORROW_LASER] appears twice (first on line 3)"}},
      {"missing printer name",
       good + "[Printer Pellam_Ink]\r\nQueueDepth=2\r\n[General]\r\n",
       {"Line 5: [Printer Pellam_Ink] has no PrinterName",
        "Line 7: [General] appears twice (first on line 1)"}},
      {"missing printer name at the end",
       good + "[Printer Pellam_Ink]\r\n",
       {"Line 5: [Printer Pellam_Ink] has no PrinterName"}},
      {"empty printer name",
       "[Printer Pellam_Ink]\r\nPrinterName=  \r\n",
       {"Line 2: 'PrinterName' is empty"}},
      {"backslash in a key",
       "[Printer \\\\print01\\Laser]\r\nPrinterName=x\r\n",
       {"Line 1: [Printer \\\\print01\\Laser]: a printer's key is its name with each \\ written "
        "#"}},
      {"value before any section",
       "LogEnabled=1\r\n" + good,
       {"Line 1: 'LogEnabled' is outside any section"}},
      {"neither value nor section",
       good + "QueueDepth 2\r\n",
       {"Line 5: neither a section, a value nor a comment: QueueDepth 2"}},
      {"quote not closed",
       good + "InputFolder=\"C:\\\\In\r\n",
       {"Line 5: the quoted text of 'InputFolder' is not closed"}},
      {"text after the quote",
       good + "InputFolder=\"C:\\\\In\" x\r\n",
       {"Line 5: text after the closing quote of 'InputFolder'"}},
      {"unknown escape",
       good + "InputFolder=\"C:\\In\"\r\n",
       {"Line 5: '\\I' in the quoted text of 'InputFolder' is not an escape"}},
      {"short hex escape",
       good + "InputFolder=\"\\x4\"\r\n",
       {"Line 5: '\\x4\"' in the quoted text of 'InputFolder' is not an escape"}},
      {"not UTF-8", good + "InputFolder=C:\\B\xFCro\r\n", {"Line 5: the text is not UTF-8"}},
      {"cut UTF-8", good + "InputFolder=C:\\B\xC3\r\n", {"Line 5: the text is not UTF-8"}},
      {"no section at all",
       "; nothing here\r\n\r\n",
       {"Line 1: no [General] or [Printer <key>] section: not a file of Corvale's settings"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    registry.Reset();
    StoreEverything(registry);
    const Dump before = DumpVarnell(registry);
    registry.ClearRecords();
    temp.WriteFile("wrong.ini", c.file);

    const CommandOutcome outcome = Run("/ImportSettings", temp.Win("wrong.ini"));
    EXPECT_EQ(outcome.exit_code, kCommandRefused);
    std::string expected =
        "Nothing was imported: " + temp.Win("wrong.ini") + " does not check out.";
    for (const std::string& error : c.errors) expected += "\r\n  " + error;
    EXPECT_EQ(outcome.text, expected);
    EXPECT_TRUE(registry.Writes().empty());
    EXPECT_EQ(DumpVarnell(registry), before);
  }
}

TEST_F(SettingsFileTest, ImportIsRefusedWhileCorvaleRuns) {
  StoreEverything(registry);
  ASSERT_EQ(Run("/ExportSettings", temp.Win("corvale.ini")).exit_code, kCommandDone);
  registry.ClearRecords();
  running = true;
  const CommandOutcome outcome = Run("/ImportSettings", temp.Win("corvale.ini"));
  EXPECT_EQ(outcome.exit_code, kCommandFailed);
  EXPECT_EQ(outcome.text,
            "Corvale runs: close it first, then import again. It writes its settings back as it "
            "closes, over what an import would set.");
  EXPECT_TRUE(registry.Writes().empty());
}

TEST_F(SettingsFileTest, ARefusedRegistryWriteStopsTheImportAndSaysWhere) {
  temp.WriteFile("corvale.ini",
                 "[Printer Dorrow_Laser]\r\nPrinterName=Dorrow_Laser\r\n"
                 "QueueDepth=4\r\nInputFolder=C:\\In\r\n");
  registry.FailWritesOf("QueueDepth");
  const CommandOutcome outcome = Run("/ImportSettings", temp.Win("corvale.ini"));
  EXPECT_EQ(outcome.exit_code, kCommandFailed);
  EXPECT_EQ(outcome.text,
            "The import stopped: Failed to set data for 'QueueDepth' "
            "(HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Dorrow_Laser). The values before it "
            "are set; import again once it can be written.");
  EXPECT_FALSE(registry.Value(kHKCU, DeviceKey("Dorrow_Laser"), "InputFolder"));
}

TEST_F(SettingsFileTest, CommandLinesWithoutAUsableFileAreRefused) {
  struct Case {
    std::vector<std::string> arguments;
    std::string text;
  };
  const Case cases[] = {
      {{"/ExportSettings"}, "Give the file: corvale.exe /ExportSettings FILE"},
      {{"/importsettings"}, "Give the file: corvale.exe /ImportSettings FILE"},
      {{"/ImportSettings", "a.ini", "b.ini"}, "Give the file: corvale.exe /ImportSettings FILE"},
      {{"/ExportSettings", " "}, "Give the file: corvale.exe /ExportSettings FILE"},
      {{"/ImportSettings", temp.Win("none.ini")},
       "The file " + temp.Win("none.ini") + " cannot be read."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_TRUE(IsSettingsCommand(c.arguments));
    const CommandOutcome outcome =
        RunSettingsCommand(c.arguments, registry, files, [] { return false; });
    EXPECT_EQ(outcome.exit_code, kCommandRefused);
    EXPECT_EQ(outcome.text, c.text);
  }
  EXPECT_FALSE(IsSettingsCommand({"/InstallService", "x"}));
  EXPECT_FALSE(IsSettingsCommand({}));
  EXPECT_TRUE(registry.Writes().empty());
  EXPECT_TRUE(temp.FilesIn("").empty());
}

}  // namespace
}  // namespace corvale
