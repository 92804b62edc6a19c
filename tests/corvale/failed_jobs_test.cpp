// Failed jobs in view and printed again: a served printer with files in its "Failed" folder has
// a standing notice with their count until the folder is empty; each failed file has its reason
// beside it; "print again" puts the files back into the input folder oldest first, never
// replacing a file there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corvale/engine/errors.h"
#include "corvale/engine/failed_jobs.h"
#include "corvale/platform/registry.h"
#include "corvale/service/print_again_command.h"
#include "corvale/settings/settings_store.h"
#include "tests/corvale/dispatch_fixture.h"

namespace corvale {
namespace {

class FailedJobsTest : public testing::DispatchTest {
 protected:
  std::string FailedFolder() { return temp.Win("JobStore\\Dorrow_Laser\\Failed"); }
  bool StatusSays(const std::string& text) {
    return view.Status().find(text) != std::string::npos;
  }
  std::vector<std::string> Lines(const std::string& category, const std::string& start) {
    std::vector<std::string> found;
    for (const std::string& line : LogMessages(category)) {
      if (line.rfind(start, 0) == 0) found.push_back(line);
    }
    return found;
  }
};

TEST_F(FailedJobsTest, FailedJobsStandInTheStatusBarUntilPrintedAgain) {
  Drop(1, "a.afp", 20);
  Drop(1, "b.afp", 10);
  RunPassToEnd(3);
  EXPECT_EQ(Server().FailedJobs(1), 2);
  StatusTick();
  EXPECT_TRUE(StatusSays("2 failed jobs of Dorrow_Laser in " + FailedFolder())) << view.Status();
  // Why each failed stays beside it.
  const std::string reason = temp.ReadFile("JobStore\\Dorrow_Laser\\Failed\\a.afp.why.txt");
  EXPECT_NE(reason.find("Failed at 2024-03-07 14:20:00 on Dorrow_Laser: exit code 3"),
            std::string::npos)
      << reason;

  const PrintAgainResult again = Server().PrintFailedAgain(1);
  EXPECT_EQ(again.moved, 2);
  EXPECT_EQ(again.stayed, 0);
  // Put back without their reasons, and taken again at once by the running server.
  EXPECT_TRUE(temp.FilesIn("JobStore\\Dorrow_Laser\\Failed").empty());
  EXPECT_EQ(Server().FailedJobs(1), 0);
  EXPECT_EQ(Ledger().JobsInFlight[1], 2);
  StatusTick();
  EXPECT_FALSE(StatusSays("failed job")) << view.Status();

  RunPassToEnd(0);
  EXPECT_EQ(temp.FilesIn("Done1"), (std::vector<std::string>{"a.afp", "b.afp"}));
}

TEST_F(FailedJobsTest, PrintAgainPutsTheOldestBackFirstAndNeverReplacesAFile) {
  Server().Stop();
  temp.WriteFile("JobStore\\Dorrow_Laser\\Failed\\a.afp", "a", 20);
  temp.WriteFile("JobStore\\Dorrow_Laser\\Failed\\b.afp", "b", 10);
  temp.WriteFile("JobStore\\Dorrow_Laser\\Failed\\b.afp.why.txt", "why b", 10);
  temp.WriteFile("JobStore\\Dorrow_Laser\\Failed\\c.afp", "c", 30);
  temp.WriteFile("In1\\b.afp", "newer b");

  const PrintAgainResult again = Server().PrintFailedAgain(1);
  EXPECT_EQ(again.moved, 2);
  EXPECT_EQ(again.stayed, 1);
  const std::vector<std::string> expected = {
      "Print again: moved " + FailedFolder() + "\\c.afp to " + temp.Win("In1\\c.afp"),
      "Print again: moved " + FailedFolder() + "\\a.afp to " + temp.Win("In1\\a.afp"),
      "Print again ERROR (a file of that name is in the input folder): " + FailedFolder() +
          "\\b.afp stays in " + FailedFolder()};
  EXPECT_EQ(Lines("MoveFile", "Print again"), expected);
  EXPECT_EQ(temp.ReadFile("In1\\b.afp"), "newer b");
  EXPECT_EQ(temp.FilesIn("JobStore\\Dorrow_Laser\\Failed"),
            (std::vector<std::string>{"b.afp", "b.afp.why.txt"}));
  EXPECT_EQ(Server().FailedJobs(1), 1);
  EXPECT_EQ(Lines("JobStatus", "Print again for").back(),
            "Print again for Dorrow_Laser: 2 jobs put back into " + temp.Win("In1") +
                ", 1 stay in " + FailedFolder());
}

TEST_F(FailedJobsTest, CountsJobFilesButNotTheReasonsBesideThem) {
  struct Case {
    const char* what;
    std::vector<std::string> files;
    int count;
  };
  const Case cases[] = {
      {"empty", {}, 0},
      {"a job and its reason", {"a.afp", "a.afp.why.txt"}, 1},
      {"a job named like a reason, alone", {"x.why.txt"}, 1},
      {"jobs, one without a reason", {"a.afp", "a.afp.why.txt", "b.afp"}, 2},
  };
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = "Count" + std::to_string(++round);
    temp.WriteFile(folder + "\\sub\\ignored.afp", "");
    for (const std::string& name : c.files) temp.WriteFile(folder + "\\" + name, name);
    EXPECT_EQ(CountFailedJobs(files, temp.Win(folder)), c.count);
  }
  EXPECT_EQ(CountFailedJobs(files, temp.Win("NoSuchFolder")), 0);
}

TEST_F(FailedJobsTest, TheMinuteTickCountsAfreshForServedPrintersOnly) {
  Server().Stop();
  settings.Slots[2].EnableIPDSEmulation = false;
  Start();
  temp.WriteFile("JobStore\\Dorrow_Laser\\Failed\\a.afp", "a");
  temp.WriteFile("JobStore\\Pellam_Ink\\Failed\\p.afp", "p");
  // Not counted every second.
  StatusTick();
  EXPECT_EQ(Server().FailedJobs(1), 0);

  Server().LogTick();
  EXPECT_EQ(Server().FailedJobs(1), 1);
  EXPECT_EQ(Server().FailedJobs(2), 1);
  StatusTick();
  EXPECT_TRUE(StatusSays("1 failed job of Dorrow_Laser")) << view.Status();
  EXPECT_FALSE(StatusSays("Pellam_Ink")) << view.Status();

  // Emptied by hand: the notice goes at the next count.
  std::filesystem::remove(temp.Native("JobStore\\Dorrow_Laser\\Failed\\a.afp"));
  Server().LogTick();
  StatusTick();
  EXPECT_EQ(Server().FailedJobs(1), 0);
  EXPECT_FALSE(StatusSays("failed job")) << view.Status();
}

TEST_F(FailedJobsTest, PrintAgainRefusesWithoutAPrinterOrAnInputFolder) {
  settings.Slots[2].InputFolder.clear();
  Apply();
  Server().Stop();
  temp.WriteFile("JobStore\\Pellam_Ink\\Failed\\p.afp", "p");
  struct Case {
    int slot;
    std::string message;
  };
  const Case cases[] = {
      {0, "No printer is selected."},
      {3, "No printer is selected."},
      {2, "The input folder for Pellam_Ink is not specified; its failed jobs stay in " +
              temp.Win("JobStore\\Pellam_Ink\\Failed") + "."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.slot);
    try {
      Server().PrintFailedAgain(c.slot);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
  EXPECT_TRUE(temp.Exists("JobStore\\Pellam_Ink\\Failed\\p.afp"));
}

// The script's command without a Corvale window: the settings from the registry, the moves and
// the log lines from the command's own server, which never starts.
class PrintAgainCommandTest : public ::testing::Test, protected testing::ServerHarness {
 protected:
  PrintAgainCommandTest() {
    printers.Add("Dorrow_Laser", "Dorrow PCL", "IP_10.0.0.5");
    printers.Add("Pellam_Ink", "Pellam Ink Driver", "USB001");
    Settings stored;
    stored.Printers = {"Dorrow_Laser", "Pellam_Ink"};
    stored.Slots[1] = {true, "Dorrow_Laser", temp.Win("In1"), temp.Win("Done1"), false, 1};
    stored.Slots[2] = {true, "Pellam_Ink", temp.Win("In2"), temp.Win("Done2"), false, 1};
    SaveSettings(registry, stored, kKeyWow64_32Key);
    temp.WriteFile("JobStore\\Dorrow_Laser\\Failed\\a.afp", "a");
    temp.WriteFile("JobStore\\Pellam_Ink\\Failed\\p.afp", "p");
  }
};

TEST_F(PrintAgainCommandTest, PutsBackTheNamedPrintersJobsOrEveryServedPrinters) {
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string text_start;
    std::vector<std::string> in1, in2;
  };
  const Case cases[] = {
      {{"/printfailedagain", "pellam_ink"}, 0, "Print again for Pellam_Ink: 1 job put back", {},
       {"p.afp"}},
      {{"/PrintFailedAgain", "Nobody"}, 2, "No printer named Nobody is listed.", {}, {"p.afp"}},
      {{"/PrintFailedAgain"}, 0, "Print again for Dorrow_Laser: 1 job put back", {"a.afp"},
       {"p.afp"}},
      {{"/PrintFailedAgain"}, 0, "No served printer has failed jobs.", {"a.afp"}, {"p.afp"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.size() == 2 ? c.args[1] : "every printer");
    ASSERT_TRUE(IsPrintAgainCommand(c.args));
    const CommandOutcome outcome = PrintFailedAgainHere(server_platform, PrintAgainPrinter(c.args));
    EXPECT_EQ(outcome.exit_code, c.exit_code);
    EXPECT_EQ(outcome.text.rfind(c.text_start, 0), 0u) << outcome.text;
    EXPECT_EQ(temp.FilesIn("In1"), c.in1);
    EXPECT_EQ(temp.FilesIn("In2"), c.in2);
  }
  // The lines went to the log the window writes.
  Create();
  EXPECT_EQ(LogMessages("MoveFile").size(), 2u);
}

TEST(PrintAgainCommand, TheSwitchAndTheWindowsAnswer) {
  EXPECT_TRUE(IsPrintAgainCommand({"/PRINTFAILEDAGAIN"}));
  EXPECT_FALSE(IsPrintAgainCommand({"/PrintFailedAgain", "a", "b"}));
  EXPECT_FALSE(IsPrintAgainCommand({"/PrintFailedAgainNow"}));
  EXPECT_FALSE(IsPrintAgainCommand({}));
  EXPECT_EQ(PrintAgainPrinter({"/PrintFailedAgain", " Dorrow_Laser "}), "Dorrow_Laser");

  struct Case {
    int exit_code, moved, stayed;
    std::string printer;
    std::string text;
  };
  const Case cases[] = {
      {0, 3, 0, "P", "The running Corvale put 3 failed jobs of P back into the input folder."},
      {1, 2, 1, "",
       "The running Corvale put 2 failed jobs of the served printers back into the input folder; "
       "1 failed job stays (see its log)."},
      {2, 0, 0, "Q", "No printer named Q is listed in the running Corvale."},
      {1, 0, 0, "P",
       "The running Corvale could not print the failed jobs of P again; its status bar and log "
       "say why."},
      {0, 5000, 0, "P",
       "The running Corvale put 4095 failed jobs of P back into the input folder."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const CommandOutcome outcome =
        DescribePrintAgainReply(PrintAgainReply(c.exit_code, c.moved, c.stayed), c.printer);
    EXPECT_EQ(outcome.exit_code, c.exit_code);
    EXPECT_EQ(outcome.text, c.text);
  }
}

}  // namespace
}  // namespace corvale
