// Start-up and close of the main window: the printer list, the first-start defaults, the
// command line, the job store folder, and what closing writes and in which order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/form_harness.h"

namespace corvale {
namespace {

using testing::FakeRegistry;

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr RegistryHive kHKCU = RegistryHive::kCurrentUser;
constexpr RegistryHive kHKLM = RegistryHive::kLocalMachine;

TEST(PrinterListTest, RemovesFirstVarnellAndAfpPrinterIgnoringCase) {
  struct Case {
    std::vector<std::string> reported;
    std::vector<std::string> listed;
  };
  const Case cases[] = {
      {{"Varnell", "Office", "AFP Printer", "Varnell"}, {"Office", "Varnell"}},
      {{"afp printer", "Office"}, {"Office"}},
      {{"VARNELL", "varnell", "Afp Printer", "AFP PRINTER"}, {"varnell", "AFP PRINTER"}},
      {{"Varnell2", "AFP Printer (copy)", "Office"}, {"Varnell2", "AFP Printer (copy)", "Office"}},
      {{"Varnell", "AFP Printer"}, {}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.reported));
    EXPECT_EQ(PrinterListForSlots(c.reported), c.listed);
  }
}

TEST(PrinterListTest, KeepsTheFirst256Printers) {
  std::vector<std::string> reported{"Varnell"};
  for (int i = 0; i < 300; ++i) reported.push_back("P" + std::to_string(i));
  std::vector<std::string> listed = PrinterListForSlots(reported);
  ASSERT_EQ(listed.size(), 256u);
  EXPECT_EQ(listed.front(), "P0");
  EXPECT_EQ(listed.back(), "P255");
}

TEST(PrinterKeyNameTest, ReplacesEveryBackslash) {
  EXPECT_EQ(PrinterKeyName("\\\\srv\\q"), "##srv#q");
  EXPECT_EQ(PrinterKeyName("Office Laser 2"), "Office Laser 2");
}

class StartupTest : public ::testing::Test, protected testing::FormHarness {
 protected:
  StartupTest() {
    printers.Add("Dorrow_Laser", "Dorrow PCL", "IP_10.0.0.5");
    printers.Add("Varnell");
    printers.Add("Pellam_Ink", "Pellam Ink Driver", "USB001");
    printers.Add("AFP Printer");
    printers.SetDefault("Dorrow_Laser");
  }
};

TEST_F(StartupTest, FirstStartShowsDefaultsAndLeavesTheServerStopped) {
  TForm1& form = Create();
  EXPECT_EQ(form.cmbPrinter.Items(), (std::vector<std::string>{"Dorrow_Laser", "Pellam_Ink"}));
  EXPECT_EQ(form.cmbPrinter.ItemIndex(), 0);
  EXPECT_EQ(form.Config.SlotCount(), 2);
  EXPECT_EQ(form.Server.Engine().StartupDefaultPrinter, "Dorrow_Laser");
  for (int n = 1; n <= 2; ++n) {
    SCOPED_TRACE(n);
    const TRec& slot = form.Config.Slots[n];
    EXPECT_FALSE(slot.EnableIPDSEmulation);
    EXPECT_EQ(slot.PrinterName, form.cmbPrinter.Items()[n - 1]);
    EXPECT_EQ(slot.InputFolder, "");
    EXPECT_EQ(slot.DoneFolder, "");
    EXPECT_FALSE(slot.DeleteInputFileWhenDone);
    EXPECT_EQ(slot.QueueDepth, 1);
  }
  // The selected printer's slot and the log settings are shown.
  EXPECT_EQ(form.edtQueueDepth.Text(), "1");
  EXPECT_FALSE(form.cbEnableEmulation.Checked());
  EXPECT_EQ(form.edtMB.Text(), "10");
  EXPECT_EQ(form.edtDays.Text(), "7");
  EXPECT_TRUE(form.cbLog.Checked());
  EXPECT_FALSE(form.cbAutoRun.Checked());
  EXPECT_EQ(form.edtLogFile.Text(), temp.Win("Varnell.log"));
  EXPECT_EQ(form.Server.Log().CurrentLogFile(), temp.Win("Varnell.log"));
  EXPECT_EQ(form.Server.Engine().JobStoreRoot, temp.Win("JobStore"));

  ASSERT_NE(form.Server.Notifier(), nullptr);
  EXPECT_TRUE(form.Server.Notifier()->Active());
  EXPECT_EQ(form.Server.Notifier()->FolderCount(), 0);
  EXPECT_TRUE(form.btnStart.Enabled());
  EXPECT_FALSE(form.btnStop.Enabled());
  for (Timer* timer : {&form.Timer1, &form.Timer2, &form.Timer3, &form.TimerAutoRun})
    EXPECT_FALSE(timer->Enabled()) << timer->Name();
  EXPECT_TRUE(dialogs.Errors().empty());
  EXPECT_TRUE(dialogs.Messages().empty());
  // Loading never creates a key.
  EXPECT_FALSE(registry.KeyExists(kHKCU, "SOFTWARE\\Varnell"));
}

TEST_F(StartupTest, MoreThan256PrintersFillEverySlotAndNoMore) {
  for (int i = 0; i < 300; ++i) printers.Add("P" + std::to_string(i));
  TForm1& form = Create();
  ASSERT_EQ(form.cmbPrinter.Items().size(), 256u);
  EXPECT_EQ(form.Config.SlotCount(), 256);
  EXPECT_EQ(form.Config.Slots[256].PrinterName, "P253");
  EXPECT_EQ(form.Config.Slots[256].QueueDepth, 1);
  form.FormClose();
  EXPECT_EQ(registry.SubKeys(kHKCU, "SOFTWARE\\Varnell\\Devices").size(), 256u);
  EXPECT_TRUE(dialogs.Errors().empty());
}

TEST_F(StartupTest, OnlyTheSingleLaunchArgumentArmsTheAutoStart) {
  struct Case {
    std::vector<std::string> arguments;
    bool armed;
  };
  const Case cases[] = {
      {{"/launchonstartup"}, true},
      {{"/LaunchOnStartup"}, true},
      {{"/LAUNCHONSTARTUP"}, true},
      {{}, false},
      {{"/launchonstartup", "/launchonstartup"}, false},
      {{"/launchonstartup", "x"}, false},
      {{"launchonstartup"}, false},
      {{"/launchonstartup "}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    system.arguments = c.arguments;
    TForm1& form = Create();
    EXPECT_EQ(form.LaunchedAtLogon, c.armed);
    EXPECT_EQ(form.TimerAutoRun.Enabled(), c.armed);
    EXPECT_FALSE(form.Timer1.Enabled());
    DestroyForm();
  }
}

// At logon nobody is there to close a box: a refused start is logged and shown in the status
// bar and tried again every minute until it succeeds; the window is minimized once.
TEST_F(StartupTest, RefusedAutoStartIsLoggedAndTriedAgainEveryMinute) {
  system.arguments = {"/LaunchOnStartup"};
  TForm1& form = Create();
  int minimized = 0;
  form.OnMinimize = [&] { ++minimized; };
  form.TimerAutoRun.Tick();
  EXPECT_EQ(minimized, 1);
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_FALSE(form.Server.Running());
  const std::string refusal =
      "No printer is emulated to be an IPDS printer. Please enable AFP and IPDS Printer "
      "Emulation for at least one printer.";
  EXPECT_EQ(LogMessages("General").back(), refusal);
  EXPECT_EQ(form.statBar.SimpleText(), refusal);
  EXPECT_TRUE(form.TimerAutoRun.Enabled());
  EXPECT_EQ(form.TimerAutoRun.Interval(), 60000u);

  // The next try finds a printer to serve (its input folder was not there a minute ago).
  ConfigureSlot(1, "In1", "Done1", 1);
  form.TimerAutoRun.Tick();
  EXPECT_TRUE(form.Server.Running());
  EXPECT_FALSE(form.TimerAutoRun.Enabled());
  EXPECT_EQ(minimized, 1);
  EXPECT_TRUE(dialogs.Messages().empty());
}

// Another Corvale of this computer serves: the start at logon says so once and is not tried
// again, since the next try would only be refused the same way.
TEST_F(StartupTest, StartAtLogonWhileAnotherServesIsNotTriedAgain) {
  SystemError error = 0;
  temp.WriteFile("JobStore\\placeholder", "");
  auto other = files.HoldFile(temp.Win("JobStore\\Corvale.lock"), "nightshift\t2", error);
  ASSERT_NE(other, nullptr);
  system.arguments = {"/LaunchOnStartup"};
  TForm1& form = Create();
  ConfigureSlot(1, "In1", "Done1", 1);
  form.TimerAutoRun.Tick();
  EXPECT_FALSE(form.Server.Running());
  EXPECT_FALSE(form.TimerAutoRun.Enabled());
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(form.statBar.SimpleText(),
            "The Corvale of nightshift in session 2 serves this computer; this Corvale does not "
            "start and leaves the job store alone");
}

// The tries end when the operator presses Start or Stop, and a tick never starts a server that
// runs already (a second Start would drop its queued jobs).
TEST_F(StartupTest, OperatorEndsTheTriesAndATickLeavesARunningServerAlone) {
  system.arguments = {"/LaunchOnStartup"};
  TForm1& form = Create();
  form.TimerAutoRun.Tick();
  ASSERT_TRUE(form.TimerAutoRun.Enabled());
  form.btnStopClick();
  EXPECT_FALSE(form.TimerAutoRun.Enabled());

  DestroyForm();
  TForm1& again = Create();
  ConfigureSlot(1, "In1", "Done1", 5);
  again.btnStartClick();
  ASSERT_TRUE(again.Server.Running());
  EXPECT_FALSE(again.TimerAutoRun.Enabled());
  temp.WriteFile("In1\\queued.afp", "q");
  again.Server.ScanInputFolder(again.Config.Slots[1].InputFolder);
  ASSERT_EQ(again.Server.Ledger().JobsInFlight[1], 1);
  const size_t starts = LogMessages("General").size();
  // A tick that was already due when the operator pressed Start.
  again.TimerAutoRun.SetEnabled(true);
  again.TimerAutoRun.Tick();
  again.btnStartClick();
  EXPECT_EQ(again.Server.Ledger().JobsInFlight[1], 1);
  ASSERT_TRUE(again.Server.Engine().JobQueue[1]);
  EXPECT_EQ(again.Server.Engine().JobQueue[1]->size(), 1u);
  EXPECT_EQ(LogMessages("General").size(), starts);
  EXPECT_FALSE(again.TimerAutoRun.Enabled());
}

TEST_F(StartupTest, RegistryViewFollowsWow64) {
  struct Case {
    Wow64Answer answer;
    bool wow64;
    uint32_t view;
  };
  const Case cases[] = {{Wow64Answer::kNo, false, 0x200},
                        {Wow64Answer::kYes, true, 0x100},
                        {Wow64Answer::kNotAvailable, false, 0x200}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.answer));
    system.wow64 = c.answer;
    TForm1& form = Create();
    EXPECT_EQ(form.Server.Engine().RunningUnderWow64, c.wow64);
    EXPECT_EQ(form.Server.Engine().RegistryViewFlag, c.view);
    DestroyForm();
  }
}

TEST_F(StartupTest, FailedWow64QueryIsShownAndStartUpCompletes) {
  system.wow64 = Wow64Answer::kCallFailed;
  TForm1& form = Create();
  EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"IsWow64: bad process handle"});
  EXPECT_EQ(form.Server.Log().CurrentLogFile(), temp.Win("Varnell.log"));
  EXPECT_EQ(form.Server.Engine().JobStoreRoot, temp.Win("JobStore"));
  EXPECT_TRUE(temp.Exists("JobStore"));
}

TEST_F(StartupTest, JobStoreIsCreatedWhenMissingAndKeptWhenPresent) {
  Create();
  EXPECT_TRUE(std::filesystem::is_directory(temp.Native("JobStore")));
  DestroyForm();

  temp.WriteFile("JobStore\\Dorrow_Laser\\left.afp", "left over");
  Create();
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\left.afp"), "left over");
}

TEST_F(StartupTest, StoredLogFileIsKeptInsteadOfTheDefault) {
  registry.PutString(kHKCU, "SOFTWARE\\Varnell", "LogFile", temp.Win("stored.log"));
  TForm1& form = Create();
  EXPECT_EQ(form.edtLogFile.Text(), temp.Win("stored.log"));
  EXPECT_EQ(form.Server.Log().CurrentLogFile(), temp.Win("stored.log"));
}

TEST_F(StartupTest, CloseRestoresDefaultPrinterThenSavesThenWritesRunEntry) {
  files.SetShortPaths([&](const std::string& path) {
    return path == temp.Win("corvale.exe") ? "C:\\PROGRA~1\\Corvale\\corvale.exe" : "";
  });
  TForm1& form = Create();
  // A job made another printer the default meanwhile.
  form.Server.SetWindowsDefaultPrinter("Pellam_Ink", true);
  form.cbAutoRun.SetChecked(true);
  form.FormClose();

  EXPECT_EQ(printers.CurrentDefault(), "Dorrow_Laser");
  const int restored = journal.IndexOf("printers device=Dorrow_Laser,Dorrow PCL,IP_10.0.0.5");
  const int broadcast = journal.IndexOf("printers broadcast posted");
  const int first_save =
      journal.IndexOf("registry set HKCU\\SOFTWARE\\Varnell\\Devices\\DefaultPrinter");
  const int last_save = journal.IndexOf("registry set HKCU\\SOFTWARE\\Varnell\\LaunchOnStartup");
  const int run_entry = journal.IndexOf(std::string("registry set HKLM\\") + kRunKey + "\\Corvale");
  ASSERT_GE(restored, 0);
  EXPECT_GT(broadcast, restored);
  EXPECT_GT(first_save, broadcast);
  EXPECT_GT(last_save, first_save);
  EXPECT_GT(run_entry, last_save);

  std::optional<RegistryValue> value = registry.Value(kHKLM, kRunKey, "Corvale");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->kind, RegistryValueKind::kString);
  EXPECT_EQ(value->text, "C:\\PROGRA~1\\Corvale\\corvale.exe /LaunchOnStartup");
  bool opened_64 = false;
  for (const FakeRegistry::OpenCall& open : registry.Opens()) {
    if (open.hive == kHKLM && open.path == kRunKey) {
      EXPECT_EQ(open.access, kKeyAllAccess | kKeyWow64_64Key);
      EXPECT_TRUE(open.create);
      opened_64 = true;
    }
  }
  EXPECT_TRUE(opened_64);
  EXPECT_TRUE(dialogs.Errors().empty());
}

// Log-off and shutdown run the window's close: queued jobs go back to their input folders, the
// start-up default printer comes back, settings and the Run entry are written. Nobody is there:
// an error on the way is logged, never shown in a box.
TEST_F(StartupTest, EndOfSessionClosesLikeTheWindowWithoutABox) {
  TForm1& form = Create();
  ConfigureSlot(1, "In1", "Done1", 5);
  form.btnStartClick();
  temp.WriteFile("In1\\a.afp", "a");
  temp.WriteFile("In1\\b.afp", "b");
  form.Server.ScanInputFolder(form.Config.Slots[1].InputFolder);
  ASSERT_EQ(form.Server.Ledger().JobsInFlight[1], 2);
  form.Server.SetWindowsDefaultPrinter("Pellam_Ink", true);
  form.cbAutoRun.SetChecked(true);
  form.edtMB.SetText("7");
  form.edtMB.Exit();
  registry.FailWritesOf("DeleteLogFileDays");

  form.EndSession();
  EXPECT_FALSE(form.Server.Running());
  EXPECT_EQ(temp.FilesIn("In1"), (std::vector<std::string>{"a.afp", "b.afp"}));
  EXPECT_TRUE(temp.FilesIn("JobStore\\Dorrow_Laser").empty());
  EXPECT_EQ(printers.CurrentDefault(), "Dorrow_Laser");
  EXPECT_EQ(registry.Value(kHKCU, "SOFTWARE\\Varnell", "KeepLogFileSize")->number, 7u);
  EXPECT_TRUE(registry.Value(kHKLM, kRunKey, "Corvale").has_value());
  EXPECT_TRUE(dialogs.Errors().empty());
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(LogMessages("General").back(), "ERROR: Failed to set data for 'DeleteLogFileDays'");
}

TEST_F(StartupTest, UncheckedRunBoxRemovesOnlyTheCorvaleValueOfThisProgram) {
  registry.PutString(kHKLM, kRunKey, "Corvale", system.program_path + " /LaunchOnStartup");
  registry.PutString(kHKLM, kRunKey, "Other", "other.exe");
  // A Corvale installed elsewhere keeps the entry it wrote for its user.
  registry.PutString(kHKCU, kRunKey, "Corvale", "D:\\Other\\corvale.exe /LaunchOnStartup");
  TForm1& form = Create();
  form.FormClose();

  EXPECT_FALSE(registry.Value(kHKLM, kRunKey, "Corvale").has_value());
  EXPECT_TRUE(registry.Value(kHKCU, kRunKey, "Corvale").has_value());
  EXPECT_TRUE(registry.Value(kHKLM, kRunKey, "Other").has_value());
  const std::vector<FakeRegistry::WriteCall> writes = registry.WritesUnder(kHKLM, "Software");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].name, "Corvale");
  EXPECT_FALSE(writes[0].value.has_value());
  // The existence test reads; the removal opens for full access; neither creates the key.
  std::vector<uint32_t> masks;
  for (const FakeRegistry::OpenCall& open : registry.Opens()) {
    if (open.hive != kHKLM || open.path != kRunKey) continue;
    EXPECT_FALSE(open.create);
    masks.push_back(open.access);
  }
  EXPECT_EQ(masks,
            (std::vector<uint32_t>{kKeyRead | kKeyWow64_64Key, kKeyAllAccess | kKeyWow64_64Key}));
}

TEST_F(StartupTest, UncheckedRunBoxWithoutEntryWritesNothing) {
  struct Case {
    const char* name;
    bool key_exists;
  };
  for (const Case& c : {Case{"no Run key", false}, Case{"Run key without the value", true}}) {
    SCOPED_TRACE(c.name);
    if (c.key_exists) registry.PutString(kHKLM, kRunKey, "Other", "other.exe");
    TForm1& form = Create();
    form.FormClose();
    EXPECT_TRUE(registry.WritesUnder(kHKLM, "Software").empty());
    EXPECT_EQ(registry.KeyExists(kHKLM, kRunKey), c.key_exists);
    // Only the existence test opens the key.
    int opens = 0;
    for (const FakeRegistry::OpenCall& open : registry.Opens()) {
      if (open.hive != kHKLM || open.path != kRunKey) continue;
      ++opens;
      EXPECT_EQ(open.access, kKeyRead | kKeyWow64_64Key);
    }
    EXPECT_EQ(opens, 1);
    registry.ClearRecords();
    DestroyForm();
  }
}

TEST_F(StartupTest, RunKeyThatCannotBeOpenedIsSkippedSilently) {
  registry.FailOpenOf(kHKLM, kRunKey);
  TForm1& form = Create();
  form.cbAutoRun.SetChecked(true);
  form.FormClose();
  EXPECT_TRUE(registry.WritesUnder(kHKLM, "Software").empty());
  EXPECT_TRUE(dialogs.Errors().empty());
  // The per-user choice is saved all the same.
  std::optional<RegistryValue> saved =
      registry.Value(kHKCU, "SOFTWARE\\Varnell", "LaunchOnStartup");
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(saved->number, 1u);
}

}  // namespace
}  // namespace corvale
