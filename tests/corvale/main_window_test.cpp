// The main window's handlers on the window model: showing a slot, the folder boxes with their
// duplicate check, the number boxes, the enabling rules, the folder pickers, the save dialog,
// help, About, resizing and the automatic start.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "common/text.h"
#include "tests/fakes/form_harness.h"
#include "varnell_version.h"

namespace corvale {
namespace {

class MainWindowTest : public ::testing::Test, protected testing::FormHarness {
 protected:
  MainWindowTest() {
    printers.Add("Dorrow_Laser");
    printers.Add("Pellam_Ink");
    printers.Add("Office Laser 2");
  }

  // Types a text into a box one character at a time, as an operator does.
  static void Type(EditBox& box, const std::string& text) {
    for (size_t n = 1; n <= text.size(); ++n) box.SetText(text.substr(0, n));
  }
};

TEST_F(MainWindowTest, SelectingAnUnconfiguredPrinterShowsItsDefaults) {
  TForm1& form = Create();
  form.cbEnableEmulation.SetChecked(true);
  form.edtInputFolder.SetText("C:\\Hot\\Dorrow");
  form.edtDoneFolder.SetText("C:\\Done\\Dorrow");
  form.cbDeleteAFP.SetChecked(true);
  form.edtQueueDepth.SetText("4");
  form.edtQueueDepthExit();

  form.cmbPrinter.Select(1);
  EXPECT_FALSE(form.cbEnableEmulation.Checked());
  EXPECT_EQ(form.edtInputFolder.Text(), "");
  EXPECT_EQ(form.edtDoneFolder.Text(), "");
  EXPECT_FALSE(form.cbDeleteAFP.Checked());
  EXPECT_TRUE(form.edtDoneFolder.Enabled());
  EXPECT_EQ(form.edtQueueDepth.Text(), "1");
  const TRec& pellam = form.Config.Slots[2];
  EXPECT_FALSE(pellam.EnableIPDSEmulation);
  EXPECT_EQ(pellam.InputFolder, "");
  EXPECT_EQ(pellam.QueueDepth, 1);

  // The first printer kept everything; selecting it again shows it.
  const TRec& dorrow = form.Config.Slots[1];
  EXPECT_TRUE(dorrow.EnableIPDSEmulation);
  EXPECT_EQ(dorrow.InputFolder, "C:\\Hot\\Dorrow");
  EXPECT_EQ(dorrow.DoneFolder, "C:\\Done\\Dorrow");
  EXPECT_TRUE(dorrow.DeleteInputFileWhenDone);
  EXPECT_EQ(dorrow.QueueDepth, 4);
  form.cmbPrinter.Select(0);
  EXPECT_EQ(form.edtInputFolder.Text(), "C:\\Hot\\Dorrow");
  EXPECT_TRUE(form.cbDeleteAFP.Checked());
  EXPECT_FALSE(form.edtDoneFolder.Enabled());
  EXPECT_EQ(form.edtQueueDepth.Text(), "4");
  EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(MainWindowTest, TypingAnotherPrintersInputFolderIsRefusedAtThatKeystroke) {
  TForm1& form = Create();
  form.Config.Slots[2].InputFolder = "C:\\Hot\\B";
  form.Config.Slots[3].InputFolder = "C:\\Old";
  form.cmbPrinter.Select(2);
  ASSERT_EQ(form.edtInputFolder.Text(), "C:\\Old");

  Type(form.edtInputFolder, "C:\\Hot\\B");
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  // The selected printer's list position from 0, the other's slot number from 1.
  EXPECT_EQ(dialogs.Messages()[0],
            "2\r\n2\r\nThe input folder C:\\Hot\\B has already been assigned to Pellam_Ink."
            "\r\nPlease use another folder.");
  EXPECT_EQ(form.edtInputFolder.Text(), "");
  // What the box held before the last keystroke.
  EXPECT_EQ(form.Config.Slots[3].InputFolder, "C:\\Hot\\");
  EXPECT_EQ(form.Config.Slots[2].InputFolder, "C:\\Hot\\B");
}

TEST_F(MainWindowTest, DoneFolderIsComparedWithDoneFoldersOnly) {
  TForm1& form = Create();
  form.Config.Slots[1].InputFolder = "C:\\Shared";
  form.Config.Slots[1].DoneFolder = "C:\\Done\\A";
  form.cmbPrinter.Select(1);

  // Another printer's input folder is fine as this one's done folder, and the reverse.
  form.edtDoneFolder.SetText("C:\\Shared");
  form.edtInputFolder.SetText("C:\\Done\\A");
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(form.Config.Slots[2].DoneFolder, "C:\\Shared");
  EXPECT_EQ(form.Config.Slots[2].InputFolder, "C:\\Done\\A");

  // Spaces around the text are not part of the folder.
  form.edtDoneFolder.SetText("  C:\\Done\\A ");
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0],
            "1\r\n1\r\nThe done folder C:\\Done\\A has already been assigned to Dorrow_Laser."
            "\r\nPlease use another folder.");
  EXPECT_EQ(form.edtDoneFolder.Text(), "");
  EXPECT_EQ(form.Config.Slots[2].DoneFolder, "C:\\Shared");
}

TEST_F(MainWindowTest, ComparisonIsExactAndIncludesDisabledSlots) {
  TForm1& form = Create();
  form.Config.Slots[2].InputFolder = "C:\\Hot\\B";  // emulation off
  form.edtInputFolder.SetText("c:\\hot\\b");
  form.edtInputFolder.SetText("C:\\Hot\\B\\");
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(form.Config.Slots[1].InputFolder, "C:\\Hot\\B\\");
  form.edtInputFolder.SetText("C:\\Hot\\B");
  EXPECT_EQ(dialogs.Messages().size(), 1u);
}

TEST_F(MainWindowTest, EmptyingAFolderBoxKeepsTheSlotsFolder) {
  TForm1& form = Create();
  form.edtInputFolder.SetText("C:\\Hot");
  form.edtDoneFolder.SetText("C:\\Done");
  form.edtInputFolder.SetText("   ");
  form.edtDoneFolder.SetText("");
  EXPECT_EQ(form.Config.Slots[1].InputFolder, "C:\\Hot");
  EXPECT_EQ(form.Config.Slots[1].DoneFolder, "C:\\Done");
}

// The duplicate check answers the operator's typing: showing a printer whose stored folder is
// another's (as the wizard or a deployment script can leave it) opens no box, which at start-up
// would hold the server until someone clicks; Start refuses the pair instead.
TEST_F(MainWindowTest, ShowingAStoredDuplicateRaisesNoBox) {
  TForm1& form = Create();
  form.Config.Slots[1].InputFolder = "C:\\Hot\\a_b";
  form.Config.Slots[3].InputFolder = "C:\\Hot\\a_b";
  form.cmbPrinter.Select(2);
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(form.edtInputFolder.Text(), "C:\\Hot\\a_b");
  EXPECT_EQ(form.Config.Slots[3].InputFolder, "C:\\Hot\\a_b");
  // Typing it anew is checked.
  form.edtInputFolder.SetText("C:\\Hot\\a_");
  form.edtInputFolder.SetText("C:\\Hot\\a_b");
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0].substr(0, 6), "2\r\n1\r\n");
}

// The three number boxes share one rule, each with its own target and message.
struct NumberBox {
  const char* name;
  EditBox TForm1::*box;
  void (TForm1::*exit)();
  int32_t (*value)(TForm1&);
  const char* message;
};

const NumberBox kNumberBoxes[] = {
    {"queue depth", &TForm1::edtQueueDepth, &TForm1::edtQueueDepthExit,
     [](TForm1& form) { return form.Config.Slots[1].QueueDepth; },
     "Invalid queue depth!\r\nQueue depth should be an integer value and larger than zero."},
    {"MB", &TForm1::edtMB, &TForm1::edtMBExit,
     [](TForm1& form) { return form.Config.Log.KeepLogFileSize; },
     "Invalid value!\r\nThis threshold value should be an integer value and larger than zero."},
    {"days", &TForm1::edtDays, &TForm1::edtDaysExit,
     [](TForm1& form) { return form.Config.Log.DeleteLogFileDays; },
     "Invalid value!\r\nThis value should be an integer value and larger than zero."},
};

TEST_F(MainWindowTest, NumberBoxesRefuseAnythingButAPositiveNumber) {
  for (const NumberBox& number : kNumberBoxes) {
    for (const char* text : {"0", "007", "2a", "-1", "+5", "1 2", "1.5"}) {
      SCOPED_TRACE(std::string(number.name) + " '" + text + "'");
      TForm1& form = Create();
      const int32_t before = number.value(form);
      (form.*number.box).SetText(text);
      form.Guarded([&] { (form.*number.exit)(); });
      EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{number.message});
      EXPECT_EQ((form.*number.box).Text(), "");
      EXPECT_EQ(number.value(form), before);
      EXPECT_TRUE(dialogs.Errors().empty());
      dialogs.Clear();
      DestroyForm();
    }
  }
}

TEST_F(MainWindowTest, NumberBoxesTakeATrimmedPositiveNumber) {
  for (const NumberBox& number : kNumberBoxes) {
    SCOPED_TRACE(number.name);
    TForm1& form = Create();
    (form.*number.box).SetText(" 12 ");
    (form.*number.exit)();
    EXPECT_EQ(number.value(form), 12);
    (form.*number.box).SetText("2147483647");
    (form.*number.exit)();
    EXPECT_EQ(number.value(form), 2147483647);
    // An empty box changes nothing.
    (form.*number.box).SetText("  ");
    (form.*number.exit)();
    EXPECT_EQ(number.value(form), 2147483647);
    EXPECT_TRUE(dialogs.Messages().empty());
    DestroyForm();
  }
}

TEST_F(MainWindowTest, NumberTooLargeForAnIntegerIsAnErrorAndKeepsTheBox) {
  for (const NumberBox& number : kNumberBoxes) {
    for (const char* text : {"99999999999", "2147483648", " 99999999999999999999999 "}) {
      SCOPED_TRACE(std::string(number.name) + " '" + text + "'");
      TForm1& form = Create();
      (form.*number.box).SetText("5");
      (form.*number.exit)();
      (form.*number.box).SetText(text);
      form.Guarded([&] { (form.*number.exit)(); });
      const std::string trimmed = varnell::Trim(text);
      EXPECT_EQ(dialogs.Errors(),
                std::vector<std::string>{"'" + trimmed + "' is not a valid integer value"});
      EXPECT_TRUE(dialogs.Messages().empty());
      EXPECT_EQ((form.*number.box).Text(), text);
      EXPECT_EQ(number.value(form), 5);
      dialogs.Clear();
      DestroyForm();
    }
  }
}

TEST_F(MainWindowTest, QueueDepthGoesToTheSelectedSlotOnly) {
  TForm1& form = Create();
  form.cmbPrinter.Select(2);
  form.edtQueueDepth.SetText("3");
  form.edtQueueDepthExit();
  EXPECT_EQ(form.Config.Slots[3].QueueDepth, 3);
  EXPECT_EQ(form.Config.Slots[1].QueueDepth, 1);
  EXPECT_EQ(form.Config.Slots[2].QueueDepth, 1);
}

TEST_F(MainWindowTest, DeleteBoxDisablesTheDoneFolderAndItsLabelButNotItsButton) {
  TForm1& form = Create();
  form.cbDeleteAFP.SetChecked(true);
  EXPECT_FALSE(form.Label3.Enabled());
  EXPECT_FALSE(form.edtDoneFolder.Enabled());
  EXPECT_TRUE(form.btnBrowseDoneFolder.Enabled());
  EXPECT_TRUE(form.Config.Slots[1].DeleteInputFileWhenDone);
  form.cbDeleteAFP.SetChecked(false);
  EXPECT_TRUE(form.Label3.Enabled());
  EXPECT_TRUE(form.edtDoneFolder.Enabled());
  EXPECT_FALSE(form.Config.Slots[1].DeleteInputFileWhenDone);
}

TEST_F(MainWindowTest, LogCheckBoxesEnableTheirControls) {
  TForm1& form = Create();
  // Logging off disables the file box and its button, and nothing else.
  form.cbLog.SetChecked(false);
  EXPECT_FALSE(form.edtLogFile.Enabled());
  EXPECT_FALSE(form.btnBrowseLogFile.Enabled());
  EXPECT_TRUE(form.cbLogDeleteBySize.Enabled());
  EXPECT_TRUE(form.cbTimeStamp.Enabled());
  form.cbLog.SetChecked(true);
  EXPECT_TRUE(form.edtLogFile.Enabled());
  EXPECT_TRUE(form.btnBrowseLogFile.Enabled());

  EXPECT_FALSE(form.edtMB.Enabled());
  form.cbLogDeleteBySize.SetChecked(true);
  EXPECT_TRUE(form.edtMB.Enabled());
  EXPECT_TRUE(form.Config.Log.KeepLogFileSmall);

  // Deleting old files by age needs date stamps in the name.
  EXPECT_FALSE(form.cbLogDeleteByDay.Enabled());
  EXPECT_FALSE(form.edtDays.Enabled());
  form.cbTimeStamp.SetChecked(true);
  EXPECT_TRUE(form.cbLogDeleteByDay.Enabled());
  EXPECT_FALSE(form.edtDays.Enabled());
  form.cbLogDeleteByDay.SetChecked(true);
  EXPECT_TRUE(form.edtDays.Enabled());
  EXPECT_TRUE(form.Config.Log.DeleteLogFile);
  form.cbTimeStamp.SetChecked(false);
  EXPECT_FALSE(form.Config.Log.AppendLogDate);
  EXPECT_FALSE(form.cbLogDeleteByDay.Enabled());
  EXPECT_TRUE(form.cbLogDeleteByDay.Checked());
  EXPECT_TRUE(form.Config.Log.DeleteLogFile);
  EXPECT_TRUE(form.edtDays.Enabled());
}

TEST(MainWindowWithoutPrintersTest, ControlsKeepTheirTextsAndChangeNoSlot) {
  testing::FormHarness harness;
  harness.printers.Add("Varnell");
  harness.printers.Add("AFP Printer");
  TForm1& form = harness.Create();
  ASSERT_EQ(form.Config.SlotCount(), 0);
  EXPECT_EQ(form.edtQueueDepth.Text(), "2");
  EXPECT_EQ(form.edtInputFolder.Text(), "");

  form.cbEnableEmulation.SetChecked(true);
  form.edtInputFolder.SetText("C:\\Hot");
  form.edtDoneFolder.SetText("C:\\Done");
  form.cbDeleteAFP.SetChecked(true);
  form.edtQueueDepth.SetText("9");
  form.edtQueueDepthExit();
  const TRec untouched;
  for (int n = 0; n <= 2; ++n) {
    SCOPED_TRACE(n);
    const TRec& slot = form.Config.Slots[n];
    EXPECT_EQ(slot.EnableIPDSEmulation, untouched.EnableIPDSEmulation);
    EXPECT_EQ(slot.InputFolder, untouched.InputFolder);
    EXPECT_EQ(slot.DoneFolder, untouched.DoneFolder);
    EXPECT_EQ(slot.DeleteInputFileWhenDone, untouched.DeleteInputFileWhenDone);
    EXPECT_EQ(slot.QueueDepth, untouched.QueueDepth);
  }
  // The delete box still governs the done folder box.
  EXPECT_FALSE(form.edtDoneFolder.Enabled());
  EXPECT_TRUE(harness.dialogs.Messages().empty());
}

TEST_F(MainWindowTest, ResizeRequestsAreAnsweredWithTheCurrentSize) {
  TForm1& form = Create();
  form.Width = 676;
  form.Height = 660;
  for (auto [w, h] : {std::pair{800, 600}, {1280, 1024}, {10, 10}}) {
    int width = w, height = h;
    bool resize = false;
    form.FormCanResize(width, height, resize);
    EXPECT_EQ(width, 676);
    EXPECT_EQ(height, 660);
  }
}

TEST_F(MainWindowTest, HelpOpensCorvaleChmWhenPresentElseVarnellChm) {
  TForm1& form = Create();
  form.btnHelpClick();
  temp.WriteFile("Corvale.chm", "help");
  form.btnHelpClick();
  EXPECT_EQ(shell.OpenedDocuments(),
            (std::vector<std::string>{temp.Win("Varnell.chm"), temp.Win("Corvale.chm")}));
  EXPECT_TRUE(dialogs.Errors().empty());
}

TEST_F(MainWindowTest, AboutShowsTheProgramAndItsVersion) {
  TForm1& form = Create();
  form.btnAbout.Click();
  // The version is the one the file VERSION gives Corvale, in the form of its file version.
  EXPECT_EQ(dialogs.Abouts(), std::vector<std::string>{"Corvale " VARNELL_CORVALE_FILE_VERSION});
  EXPECT_TRUE(std::regex_match(VARNELL_CORVALE_FILE_VERSION,
                               std::regex(R"([0-9]+\.[0-9]+\.[0-9]+ \(build [0-9]+\))")))
      << VARNELL_CORVALE_FILE_VERSION;
}

TEST_F(MainWindowTest, BrowseStartsInTheBoxesFolderWithCaptionAndPrompt) {
  temp.WriteFile("Hot\\keep.txt", "");
  temp.WriteFile("Done\\keep.txt", "");
  TForm1& form = Create();
  form.edtInputFolder.SetText(" " + temp.Win("Hot") + " ");
  folders.AnswerOk();
  form.btnBrowseInputFolder.Click();
  ASSERT_EQ(folders.requests.size(), 1u);
  EXPECT_EQ(folders.requests[0].prompt, "Please choose a folder to input AFP files");
  EXPECT_EQ(folders.window.selected, std::vector<std::string>{temp.Win("Hot")});
  EXPECT_EQ(folders.window.texts, std::vector<std::string>{"Choose Folder"});
  EXPECT_EQ(form.edtInputFolder.Text(), temp.Win("Hot"));
  EXPECT_EQ(form.Config.Slots[1].InputFolder, temp.Win("Hot"));

  form.edtDoneFolder.SetText(temp.Win("Done"));
  folders.AnswerOk();
  form.btnBrowseDoneFolder.Click();
  ASSERT_EQ(folders.requests.size(), 2u);
  EXPECT_EQ(folders.requests[1].prompt, "Please choose a folder to store printed AFP files");
  EXPECT_EQ(folders.window.selected, std::vector<std::string>{temp.Win("Done")});
  EXPECT_EQ(folders.window.texts, std::vector<std::string>{"Choose Folder"});
  EXPECT_EQ(folders.freed, folders.issued);
}

TEST_F(MainWindowTest, BrowseFallsBackToTheCurrentFolderAndRemembersTheLastChoice) {
  temp.WriteFile("Work\\keep.txt", "");
  temp.WriteFile("Chosen\\keep.txt", "");
  folders.current_directory = temp.Win("Work");
  TForm1& form = Create();
  form.edtInputFolder.SetText(temp.Win("Missing"));
  folders.AnswerFolder(temp.Win("Chosen"), 7);
  form.btnBrowseInputFolder.Click();
  EXPECT_EQ(folders.window.selected, std::vector<std::string>{temp.Win("Work")});
  EXPECT_EQ(form.edtInputFolder.Text(), temp.Win("Chosen"));
  EXPECT_EQ(form.InputFolderDialog.ImageIndex, 7);

  // A box naming no existing folder: the picker starts where it ended last time.
  form.edtInputFolder.SetText(temp.Win("Elsewhere"));
  form.btnBrowseInputFolder.Click();  // cancelled
  EXPECT_EQ(folders.window.selected, std::vector<std::string>{temp.Win("Chosen")});
  EXPECT_EQ(form.edtInputFolder.Text(), temp.Win("Elsewhere"));
  // The done folder's picker is a picker of its own.
  form.btnBrowseDoneFolder.Click();
  EXPECT_EQ(folders.window.selected, std::vector<std::string>{temp.Win("Work")});
  EXPECT_EQ(form.edtDoneFolder.Text(), "");
}

TEST_F(MainWindowTest, ChosenFolderGoesThroughTheDuplicateCheck) {
  temp.WriteFile("Hot\\keep.txt", "");
  TForm1& form = Create();
  form.Config.Slots[2].InputFolder = temp.Win("Hot");
  form.edtInputFolder.SetText("C:\\Mine");
  folders.AnswerFolder(temp.Win("Hot"));
  form.btnBrowseInputFolder.Click();
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(form.edtInputFolder.Text(), "");
  EXPECT_EQ(form.Config.Slots[1].InputFolder, "C:\\Mine");
}

TEST_F(MainWindowTest, SaveDialogStartsInTheLogFilesFolder) {
  temp.WriteFile("Logs\\old.log", "");
  TForm1& form = Create();
  form.edtLogFile.SetText(" " + temp.Win("Logs\\corvale.log") + " ");
  dialogs.OnSaveFile = [&](const SaveFileRequest&) {
    return std::optional<std::string>(temp.Win("Logs\\new.log"));
  };
  form.btnBrowseLogFile.Click();
  ASSERT_EQ(dialogs.SaveRequests().size(), 1u);
  EXPECT_EQ(dialogs.SaveRequests()[0].initial_dir, temp.Win("Logs") + "\\");
  EXPECT_EQ(form.edtLogFile.Text(), temp.Win("Logs\\new.log"));
  EXPECT_EQ(form.Server.Log().CurrentLogFile(), temp.Win("Logs\\new.log"));

  // A missing folder leaves the starting folder as it was; a cancel leaves the box.
  dialogs.OnSaveFile = nullptr;
  form.edtLogFile.SetText("Z:\\Nowhere\\x.log");
  form.btnBrowseLogFile.Click();
  ASSERT_EQ(dialogs.SaveRequests().size(), 2u);
  EXPECT_EQ(dialogs.SaveRequests()[1].initial_dir, temp.Win("Logs") + "\\");
  EXPECT_EQ(dialogs.SaveRequests()[1].file_name, temp.Win("Logs\\new.log"));
  EXPECT_EQ(form.edtLogFile.Text(), "Z:\\Nowhere\\x.log");
}

TEST_F(MainWindowTest, AutoStartRunsOnceAndMinimizesAfterASuccessfulStart) {
  temp.WriteFile("Hot\\keep.txt", "");
  system.arguments = {"/LAUNCHONSTARTUP"};
  registry.PutDword(RegistryHive::kCurrentUser, "SOFTWARE\\Varnell\\Devices\\Dorrow_Laser",
                    "EnableIPDSEmulation", 1);
  registry.PutString(RegistryHive::kCurrentUser, "SOFTWARE\\Varnell\\Devices\\Dorrow_Laser",
                     "PrinterName", "Dorrow_Laser");
  registry.PutString(RegistryHive::kCurrentUser, "SOFTWARE\\Varnell\\Devices\\Dorrow_Laser",
                     "InputFolder", temp.Win("Hot"));
  registry.PutString(RegistryHive::kCurrentUser, "SOFTWARE\\Varnell\\Devices\\Dorrow_Laser",
                     "DoneFolder", temp.Win("Done"));
  TForm1& form = Create();
  int minimized = 0;
  form.OnMinimize = [&] { ++minimized; };
  ASSERT_TRUE(form.TimerAutoRun.Enabled());
  form.TimerAutoRun.Tick();
  EXPECT_TRUE(form.Server.Running());
  EXPECT_EQ(minimized, 1);
  EXPECT_FALSE(form.TimerAutoRun.Enabled());

  // Stopping and starting again by hand does not arm it again.
  form.btnStop.Click();
  form.btnStart.Click();
  EXPECT_TRUE(form.Server.Running());
  EXPECT_FALSE(form.TimerAutoRun.Enabled());
  form.TimerAutoRun.Tick();
  EXPECT_EQ(minimized, 1);
  EXPECT_TRUE(dialogs.Messages().empty());
  form.btnStop.Click();
}

TEST_F(MainWindowTest, RunEntryFollowsTheBoxOnlyWhenTheWindowCloses) {
  files.SetShortPaths([&](const std::string& path) {
    return path == temp.Win("corvale.exe") ? "C:\\CORVALE\\CORVALE.EXE" : "";
  });
  const char run_key[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  TForm1& form = Create();
  form.cbAutoRun.SetChecked(true);
  form.cbAutoRun.SetChecked(false);
  form.cbAutoRun.SetChecked(true);
  EXPECT_TRUE(registry.WritesUnder(RegistryHive::kLocalMachine, "Software").empty());
  form.FormClose();
  std::optional<RegistryValue> entry =
      registry.Value(RegistryHive::kLocalMachine, run_key, "Corvale");
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->text, "C:\\CORVALE\\CORVALE.EXE /LaunchOnStartup");
  DestroyForm();

  // Under UAC the machine-wide entry is refused: the user's own takes its place, and says so.
  registry.Reset();
  registry.FailOpenOf(RegistryHive::kLocalMachine, run_key);
  TForm1& refused = Create();
  refused.cbAutoRun.SetChecked(true);
  refused.FormClose();
  entry = registry.Value(RegistryHive::kCurrentUser, run_key, "Corvale");
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->text, "C:\\CORVALE\\CORVALE.EXE /LaunchOnStartup");
  EXPECT_EQ(LogMessages("General").back(),
            "Run this program on system startup: the entry for every user of this computer is "
            "refused; Corvale starts at this user's logon only");
}

}  // namespace
}  // namespace corvale

namespace corvale {
namespace {

// "Print again" beside Start and Stop: enabled while the selected printer has failed jobs; a
// click puts them back into that printer's input folder.
class PrintAgainButtonTest : public ::testing::Test, protected testing::FormHarness {
 protected:
  PrintAgainButtonTest() {
    printers.Add("Dorrow_Laser");
    printers.Add("Pellam_Ink");
  }
};

TEST_F(PrintAgainButtonTest, EnabledWhileTheSelectedPrinterHasFailedJobs) {
  temp.WriteFile("JobStore\\Pellam_Ink\\Failed\\p.afp", "p");
  temp.WriteFile("JobStore\\Pellam_Ink\\Failed\\p.afp.why.txt", "why");
  TForm1& form = Create();
  ConfigureSlot(2, "In2", "Done2", 1);
  EXPECT_FALSE(form.btnPrintAgain.Enabled());
  form.cmbPrinter.Select(1);
  EXPECT_TRUE(form.btnPrintAgain.Enabled());
  form.cmbPrinter.Select(0);
  EXPECT_FALSE(form.btnPrintAgain.Enabled());

  form.cmbPrinter.Select(1);
  form.btnPrintAgain.Click();
  EXPECT_EQ(temp.FilesIn("In2"), std::vector<std::string>{"p.afp"});
  EXPECT_TRUE(temp.FilesIn("JobStore\\Pellam_Ink\\Failed").empty());
  EXPECT_FALSE(form.btnPrintAgain.Enabled());
  EXPECT_EQ(form.statBar.SimpleText(),
            "Print again for Pellam_Ink: 1 job put back into " + temp.Win("In2") + ".");
}

TEST_F(PrintAgainButtonTest, AScriptsRequestIsAnsweredWithoutABox) {
  temp.WriteFile("JobStore\\Dorrow_Laser\\Failed\\a.afp", "a");
  TForm1& form = Create();
  ConfigureSlot(1, "In1", "Done1", 1);
  const PrintServer::PrintAgainOutcome unknown = form.PrintAgainRequested("Nobody");
  EXPECT_EQ(unknown.exit_code, 2);
  const PrintServer::PrintAgainOutcome done = form.PrintAgainRequested("dorrow_laser");
  EXPECT_EQ(done.exit_code, 0);
  EXPECT_EQ(done.jobs.moved, 1);
  EXPECT_EQ(temp.FilesIn("In1"), std::vector<std::string>{"a.afp"});
  EXPECT_TRUE(dialogs.Messages().empty());
}

// The settings file from the window: an export holds what the window shows, this run's edits
// included; an import that does not check out changes nothing; one that does shows at once.
TEST_F(MainWindowTest, SettingsFileFromTheWindowCarriesWhatTheWindowShows) {
  TForm1& form = Create();
  form.cbEnableEmulation.SetChecked(true);
  form.edtInputFolder.SetText("C:\\Hot\\Dorrow");
  const std::string exported = temp.Win("exported.txt");
  dialogs.OnSaveFile = [&](const SaveFileRequest&) { return exported; };
  form.btnExportSettingsClick();
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0].rfind("The settings are exported to " + exported, 0), 0u);
  const std::string text = temp.ReadFile("exported.txt");
  EXPECT_NE(text.find("InputFolder=C:\\Hot\\Dorrow\r\n"), std::string::npos) << text;

  form.edtInputFolder.SetText("C:\\Hot\\Elsewhere");
  struct Case {
    std::string file_text;
    std::string shown;  // the box's first words
    std::string input_folder_after;
  };
  for (const Case& c :
       {Case{"[General]\r\n[Printers]\r\n", "Nothing was imported", "C:\\Hot\\Elsewhere"},
        Case{text, "The settings of ", "C:\\Hot\\Dorrow"}}) {
    SCOPED_TRACE(c.shown);
    temp.WriteFile("import.txt", c.file_text);
    dialogs.OnOpenFile = [&](const SaveFileRequest&) { return temp.Win("import.txt"); };
    const size_t boxes = dialogs.Messages().size() + dialogs.Errors().size();
    form.Guarded([&] { form.btnImportSettingsClick(); });
    std::vector<std::string> shown = dialogs.Messages();
    for (const std::string& error : dialogs.Errors()) shown.push_back(error);
    ASSERT_EQ(shown.size(), boxes + 1);
    const bool found = std::any_of(shown.begin(), shown.end(), [&](const std::string& box) {
      return box.find(c.shown) != std::string::npos;
    });
    EXPECT_TRUE(found);
    EXPECT_EQ(form.edtInputFolder.Text(), c.input_folder_after);
    EXPECT_EQ(form.Config.Slots[1].InputFolder, c.input_folder_after);
  }
}

}  // namespace
}  // namespace corvale
