// What becomes of a job after its print: the utility's exit code decides whether it printed; a
// failed job waits in "Failed" (never in the done folder, never deleted); a utility that runs too
// long is reported and ended; a job prints on its own printer or waits for it; closing waits a
// bounded time for a utility that still runs.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "corvale/engine/job_runner.h"
#include "tests/corvale/dispatch_fixture.h"

namespace corvale {
namespace {

class PrintOutcomeTest : public testing::DispatchTest {
 protected:
  // Puts the print settings in force the way the operator does: stored, then Start.
  void Restart(const std::string& success_codes, int32_t timeout_minutes = 0) {
    settings.Print.PrintSuccessExitCodes = success_codes;
    settings.Print.PrintTimeoutMinutes = timeout_minutes;
    Server().Stop();
    Start();
    ASSERT_TRUE(Server().Running());
  }

  std::string Failed(const std::string& name) {
    return temp.Win("JobStore\\Dorrow_Laser\\Failed\\" + name);
  }
  std::vector<std::string> Lines(const std::string& category, const std::string& start) {
    std::vector<std::string> found;
    for (const std::string& line : LogMessages(category)) {
      if (line.rfind(start, 0) == 0) found.push_back(line);
    }
    return found;
  }
};

TEST_F(PrintOutcomeTest, ExitCodesInTheSuccessListFinishTheJobAndOthersFailIt) {
  struct Case {
    const char* codes;
    uint32_t exit_code;
    const char* failure;  // nothing: printed
  };
  const Case cases[] = {
      {"0", 0, nullptr},          {"0", 3, "exit code 3"},           {"0,1", 1, nullptr},
      {"0, 1", 2, "exit code 2"}, {"0", 0xFFFFFFFF, "exit code -1"}, {"-1", 0xFFFFFFFF, nullptr},
      {"zero", 1, "exit code 1"},  // not a list: the default is in force
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.codes) + " / " + std::to_string(c.exit_code));
    Restart(c.codes);
    const std::string name = "job" + std::to_string(++n) + ".afp";
    Drop(1, name);
    const std::string job = JobFile(1, name);
    RunPassToEnd(c.exit_code);
    if (!c.failure) {
      EXPECT_EQ(temp.ReadFile("Done1\\" + name), name);
      EXPECT_EQ(view.Status(), job + " is processed successfully.");
      continue;
    }
    EXPECT_FALSE(temp.Exists("Done1\\" + name));
    EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\Failed\\" + name), name);
    EXPECT_EQ(Lines("JobStatus", "Printing ERROR").back(),
              "Printing ERROR (" + std::string(c.failure) + "): " + PrintUtility() +
                  " did not print " + job);
    EXPECT_EQ(LogMessages("MoveFile").back(), "MoveFile OK: Moved " + job + " to " + Failed(name));
    EXPECT_EQ(view.Status(),
              job + " was not printed (" + c.failure + "); it is in " + Failed(name) + ".");
    EXPECT_EQ(Ledger().JobsInFlight[1], 0);
  }
}

// The utility's exit code that the system cannot tell is no success: the job fails with a text of
// its own. An error inside a runner ends its job with a line saying where the file was left.
TEST_F(PrintOutcomeTest, UnreadableExitCodeAndRunnerErrorsAreFailuresWithALine) {
  Drop(1, "lost.afp");
  shell.LoseExitCode(0);
  RunPassToEnd(0);
  EXPECT_EQ(Lines("JobStatus", "Printing ERROR"),
            std::vector<std::string>{"Printing ERROR (its exit code cannot be read): " +
                                     PrintUtility() + " did not print " + JobFile(1, "lost.afp")});
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\Failed\\lost.afp"), "lost.afp");

  Drop(1, "broken.afp");
  const std::string job = JobFile(1, "broken.afp");
  files.AfterMoveFrom(job, [] { throw std::runtime_error("the disk went away"); });
  RunPassToEnd(0);
  EXPECT_EQ(Lines("JobStatus", "ERROR (the disk went away)"),
            std::vector<std::string>{"ERROR (the disk went away): the job " + job +
                                     " was not finished; its file stays where it is now"});
  EXPECT_EQ(Ledger().JobsInFlight[1], 0);
  EXPECT_FALSE(Ledger().RunnerBusy);
}

// The print utility not there (not installed yet, removed by an upgrade): Start says so, the jobs
// wait in their queues with a standing notice and a line a minute, and each prints once as soon
// as the utility is there again.
TEST_F(PrintOutcomeTest, JobsWaitForAMissingPrintUtilityAndPrintOnceItIsThere) {
  std::filesystem::remove(temp.Native("Workbench\\ftdwprt.exe"));
  Server().Stop();
  Start();
  // Where the utility is looked for last, when no key names one that is there.
  const std::string looked_for = "C:\\PROGRA~1\\IBM\\AFPWOR~1\\ftdwprt.exe";
  const std::string missing = "The print utility " + looked_for +
                              " is not there; jobs wait in the queue and print once it is there";
  EXPECT_EQ(Lines("JobStatus", "The print utility"), std::vector<std::string>{missing});
  Drop(1, "a.afp");
  Drop(2, "d.afp");
  for (int tick = 0; tick < 30; ++tick) {
    clock.Advance(2);
    RunPassToEnd(0);
  }
  EXPECT_EQ(shell.LaunchCount(), 0u);
  EXPECT_EQ(Engine().JobQueue[1]->size() + Engine().JobQueue[2]->size(), 2u);
  EXPECT_EQ(Lines("JobStatus", "The print utility").size(), 2u) << "one line a minute";
  Server().StatusTick();
  EXPECT_EQ(view.Status(),
            "The print utility " + looked_for + " is not there; jobs wait until it is.");

  temp.WriteFile("Workbench\\ftdwprt.exe", "");
  RunPassToEnd(0);
  EXPECT_EQ(shell.LaunchCount(), 2u);
  EXPECT_EQ(temp.FilesIn("Done1"), std::vector<std::string>{"a.afp"});
  EXPECT_EQ(temp.FilesIn("Done2"), std::vector<std::string>{"d.afp"});
  EXPECT_EQ(Lines("JobStatus", "The print utility").back(),
            "The print utility " + PrintUtility() + " is there; the jobs that waited print");
}

// "Delete when done" is for printed files: a failed job's file is kept, whatever the option says.
TEST_F(PrintOutcomeTest, FailedJobIsNeverDeletedWhateverTheDeleteOption) {
  settings.Slots[1].DeleteInputFileWhenDone = true;
  Apply();
  Drop(1, "keep.afp");
  RunPassToEnd(3);
  EXPECT_TRUE(files.Deletes().empty());
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\Failed\\keep.afp"), "keep.afp");
  EXPECT_TRUE(LogMessages("DeleteFile").empty());
}

// A job of a name already in "Failed" never replaces it: a free name is made with a number.
TEST_F(PrintOutcomeTest, NameAlreadyInFailedGetsANumber) {
  temp.WriteFile("JobStore\\Dorrow_Laser\\Failed\\a.afp", "failed before");
  temp.WriteFile("JobStore\\Dorrow_Laser\\Failed\\a (2).afp", "failed twice before");
  Drop(1, "a.afp");
  RunPassToEnd(3);
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\Failed\\a.afp"), "failed before");
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\Failed\\a (2).afp"), "failed twice before");
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\Failed\\a (3).afp"), "a.afp");
  EXPECT_EQ(LogMessages("MoveFile").back(),
            "MoveFile OK: Moved " + JobFile(1, "a.afp") + " to " + Failed("a (3).afp"));
}

TEST_F(PrintOutcomeTest, FailedJobThatCannotBeSetAsideStaysWithALine) {
  Drop(1, "a.afp");
  const std::string job = JobFile(1, "a.afp");
  files.FailMovesFrom(job, 5);
  RunPassToEnd(3);
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\a.afp"), "a.afp");
  EXPECT_EQ(LogMessages("MoveFile").back(), "MoveFile ERROR (Access is denied.): Failed to move " +
                                                job + " to " + Failed("a.afp") +
                                                "; it stays in the job store");
  EXPECT_EQ(view.Status(), job + " was not printed (exit code 3); it stays in the job store.");
  EXPECT_EQ(Ledger().JobsInFlight[1], 0);
}

// A move to the done folder that copies the file and says it moved it (a read-only file across
// volumes) is found out: the printed file that stayed is set aside in "Printed", or, where even
// that fails, noted as printed, so that no Start prints it again.
TEST_F(PrintOutcomeTest, PrintedFileThatAMoveOnlyCopiedNeverPrintsAgain) {
  struct Case {
    const char* name;
    bool set_aside_fails;
  };
  for (const Case& c : {Case{"a.afp", false}, Case{"b.afp", true}}) {
    SCOPED_TRACE(c.name);
    const size_t launches = shell.LaunchCount();
    Drop(1, c.name);
    const std::string job = JobFile(1, c.name);
    files.CopyInsteadOfMovingFrom(job, true);
    // Only the move to the done folder, across volumes, copies.
    files.AfterMoveFrom(job, [&] { files.CopyInsteadOfMovingFrom(job, false); });
    const std::string printed = temp.Win("JobStore\\Dorrow_Laser\\Printed");
    files.FailMovesInto(printed, c.set_aside_fails ? 5 : 0);
    RunPassToEnd(0);
    EXPECT_EQ(temp.ReadFile(std::string("Done1\\") + c.name), c.name);
    const std::string copied =
        "MoveFile ERROR (the file was copied but cannot be removed): Failed to move " + job +
        " to " + temp.Win(std::string("Done1\\") + c.name);
    EXPECT_EQ(Lines("MoveFile", copied).size(), 1u);
    EXPECT_EQ(temp.Exists(std::string("JobStore\\Dorrow_Laser\\Printed\\") + c.name),
              !c.set_aside_fails);
    EXPECT_EQ(temp.Exists(std::string("JobStore\\Dorrow_Laser\\") + c.name), c.set_aside_fails);
    files.FailMovesInto(printed, 0);
    Server().Stop();
    Start();
    EXPECT_TRUE(Engine().JobQueue[1]->empty());
    EXPECT_EQ(shell.LaunchCount(), launches + 1);
  }
}

TEST_F(PrintOutcomeTest, ReplacedDoneFileIsNamedInTheLine) {
  temp.WriteFile("Done1\\a.afp", "printed yesterday");
  Drop(1, "a.afp");
  RunPassToEnd(0);
  EXPECT_EQ(LogMessages("MoveFile").back(),
            "MoveFile OK: Moved " + JobFile(1, "a.afp") + " to " + temp.Win("Done1\\a.afp") +
                " (replacing the file of that name that was there)");
}

// While a utility runs, a line every ten minutes says so; one that runs past the time limit is
// ended and its job fails, and the next job prints.
TEST_F(PrintOutcomeTest, LongPrintIsReportedAndOneBeyondTheLimitIsEnded) {
  Restart("0", 25);
  Drop(1, "slow.afp", 20);
  Drop(1, "next.afp", 10);
  const std::string job = JobFile(1, "slow.afp");
  StartPass();
  ASSERT_TRUE(shell.WaitForLaunches(1));
  shell.PassMinutes(0, 24);
  ASSERT_TRUE(shell.WaitForWaits(0, 24));
  EXPECT_EQ(Lines("JobStatus", job + " is still printing"),
            (std::vector<std::string>{
                job + " is still printing after 10 minutes (" + PrintUtility() + ")",
                job + " is still printing after 20 minutes (" + PrintUtility() + ")"}));
  EXPECT_FALSE(shell.TerminatedWith(0).has_value());
  shell.PassMinutes(0, 1);
  FinishLaunch(1);
  EndPass();
  loop.RunPosted();
  EXPECT_EQ(shell.TerminatedWith(0), kEndedByCorvaleExitCode);
  EXPECT_EQ(Lines("JobStatus", "Printing ERROR"),
            std::vector<std::string>{"Printing ERROR (still running after 25 minutes, ended): " +
                                     PrintUtility() + " did not print " + job});
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\Failed\\slow.afp"), "slow.afp");
  EXPECT_EQ(temp.ReadFile("Done1\\next.afp"), "next.afp");
}

// Without a limit a utility may run as long as it takes; it is only reported.
TEST_F(PrintOutcomeTest, WithoutALimitALongPrintIsOnlyReported) {
  Drop(1, "slow.afp");
  StartPass();
  ASSERT_TRUE(shell.WaitForLaunches(1));
  shell.PassMinutes(0, 61);
  ASSERT_TRUE(shell.WaitForWaits(0, 61));
  shell.Finish(0);
  EndPass();
  EXPECT_FALSE(shell.TerminatedWith(0).has_value());
  EXPECT_EQ(Lines("JobStatus", JobFile(1, "slow.afp") + " is still printing").size(), 6u);
  EXPECT_EQ(temp.ReadFile("Done1\\slow.afp"), "slow.afp");
}

// A printer that is not listed any more is not replaced by whatever is the default: its jobs
// wait (with a line a minute and a word in the status bar) while the other printers' jobs go
// on, and print by themselves once it is back.
TEST_F(PrintOutcomeTest, MissingPrinterKeepsItsJobsQueuedUntilItIsBack) {
  Drop(1, "a.afp");
  Drop(2, "d.afp");
  printers.Remove("Dorrow_Laser");
  RunPassToEnd(0);
  EXPECT_EQ(temp.FilesIn("Done2"), std::vector<std::string>{"d.afp"});
  EXPECT_EQ(shell.LaunchCount(), 1u);
  ASSERT_EQ(Engine().JobQueue[1]->size(), 1u);
  EXPECT_EQ(Ledger().JobsInFlight[1], 1);
  const std::string waiting =
      "Printer Dorrow_Laser is not listed; its jobs wait in the queue and print once it can be "
      "used";
  EXPECT_EQ(Lines("JobStatus", "Printer Dorrow_Laser"), std::vector<std::string>{waiting});
  Server().StatusTick();
  EXPECT_EQ(view.Status(), "Printer Dorrow_Laser is not listed; 1 job waits.");

  for (int tick = 0; tick < 29; ++tick) {
    clock.Advance(2);
    Server().DispatchTick();
  }
  EXPECT_EQ(Lines("JobStatus", "Printer Dorrow_Laser").size(), 1u) << "one line a minute";
  clock.Advance(2);
  Server().DispatchTick();
  EXPECT_EQ(Lines("JobStatus", "Printer Dorrow_Laser").size(), 2u);

  printers.Add("Dorrow_Laser", "Dorrow PCL", "IP_10.0.0.5");
  RunPassToEnd(0);
  EXPECT_EQ(temp.FilesIn("Done1"), std::vector<std::string>{"a.afp"});
  EXPECT_EQ(Lines("JobStatus", "Printer Dorrow_Laser").back(),
            "Printer Dorrow_Laser can be used again; its jobs print");
  Server().StatusTick();
  EXPECT_EQ(view.Status(), JobFile(1, "a.afp") + " is processed successfully.");
}

// A default printer that does not take (Windows or another program keeps one of its own) is
// read back and found out: the job waits for a later tick rather than print elsewhere.
TEST_F(PrintOutcomeTest, DefaultPrinterThatDoesNotTakeMakesTheJobWait) {
  printers.HoldDefault("Pellam_Ink");
  Drop(1, "a.afp");
  RunPassToEnd(0);
  EXPECT_EQ(shell.LaunchCount(), 0u);
  EXPECT_EQ(Engine().JobQueue[1]->size(), 1u);
  EXPECT_EQ(Lines("JobStatus", "Printer Dorrow_Laser"),
            std::vector<std::string>{
                "Printer Dorrow_Laser did not become the default printer (the default is "
                "Pellam_Ink); its jobs wait in the queue and print once it can be used"});
  printers.HoldDefault("");
  RunPassToEnd(0);
  EXPECT_EQ(printers.DefaultWhenStarted(JobFile(1, "a.afp")), "Dorrow_Laser");
  EXPECT_EQ(temp.FilesIn("Done1"), std::vector<std::string>{"a.afp"});
}

TEST(UtilityPathArgumentTest, ShortFormOrThePathItselfQuotedWhenItHasASpace) {
  struct Case {
    const char* short_path;
    const char* path;
    const char* argument;
  };
  const Case cases[] = {
      {"C:\\JOBSTO~1\\OFFICE~1\\A.AFP", "C:\\JobStore\\Office Laser 2\\a.afp",
       "C:\\JOBSTO~1\\OFFICE~1\\A.AFP"},
      // A volume without 8.3 names: no short form, or the long path given back.
      {"", "C:\\JobStore\\Office Laser 2\\a.afp", "\"C:\\JobStore\\Office Laser 2\\a.afp\""},
      {"C:\\JobStore\\Office Laser 2\\a.afp", "C:\\JobStore\\Office Laser 2\\a.afp",
       "\"C:\\JobStore\\Office Laser 2\\a.afp\""},
      {"", "C:\\JobStore\\Dorrow\\a.afp", "C:\\JobStore\\Dorrow\\a.afp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(UtilityPathArgument(c.short_path, c.path), c.argument);
  }
}

// Closing while a utility still runs leaves the dispatch pass's wait at once, waits a bounded
// time, then leaves the job in the job store for the next Start, with a line, rather than hang
// unseen; the utility that ends afterwards changes nothing.
TEST_F(PrintOutcomeTest, CloseLeavesAJobStillPrintingInTheJobStore) {
  Drop(1, "a.afp");
  const std::string job = JobFile(1, "a.afp");
  // The window closes while the pass waits for the utility, on the pass's thread.
  bool closed = false;
  loop.OnPump = [&] {
    if (closed) return;
    closed = true;
    Server().Close(/*limit_ms=*/0);
  };
  StartPass();
  ASSERT_TRUE(shell.WaitForLaunches(1));
  // The pass ends although its utility still runs.
  ASSERT_EQ(pass_ended_.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
  main_.join();
  EXPECT_TRUE(closed);
  EXPECT_EQ(Lines("JobStatus", "A job is still printing"),
            std::vector<std::string>{"A job is still printing as Corvale closes: " + job +
                                     " stays in the job store, and the next Start takes it again"});
  shell.Finish(0);
  WaitForRunnersIdle();
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\a.afp"), "a.afp");
  EXPECT_TRUE(temp.FilesIn("Done1").empty());
  EXPECT_TRUE(Lines("MoveFile", "MoveFile OK: Moved " + job).empty());
}

// A utility that ends while closing waits for it has its job finished before the close returns:
// the file is in its done folder, and the next Start prints nothing again.
TEST_F(PrintOutcomeTest, UtilityEndingDuringTheCloseWaitHasItsFileMovedFirst) {
  Drop(1, "a.afp");
  view.OnStatus = [&](const std::string& text) {
    if (text == "Waiting for the print utility to end ...") shell.Finish(0);
  };
  bool closed = false;
  loop.OnPump = [&] {
    if (closed) return;
    closed = true;
    Server().Close(kCloseWaitMs);
    EXPECT_EQ(temp.ReadFile("Done1\\a.afp"), "a.afp");
  };
  StartPass();
  EndPass();
  view.OnStatus = nullptr;
  ASSERT_TRUE(closed);
  EXPECT_TRUE(Lines("JobStatus", "A job is still printing").empty());
  EXPECT_TRUE(temp.FilesIn("JobStore\\Dorrow_Laser").empty());

  DestroyServer();
  Create();
  ConfigureSlot(1, "In1", "Done1", 3);
  ServerHarness::Start();
  EXPECT_EQ(Engine().JobQueue[1]->size(), 0u);
  EXPECT_EQ(shell.LaunchCount(), 1u);
}

TEST_F(PrintOutcomeTest, CloseWithNothingPrintingDoesNotWait) {
  Server().Close(kCloseWaitMs);
  EXPECT_NE(view.Status(), "Waiting for the print utility to end ...");
  EXPECT_TRUE(Lines("JobStatus", "A job is still printing").empty());
}

// From Windows 10 on, Windows may change the default printer by itself unless the user turned
// that off; Start warns once, and changes nothing.
TEST_F(PrintOutcomeTest, StartWarnsWhenWindowsManagesTheDefaultPrinter) {
  constexpr char kKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
  const std::string warning =
      "Windows manages the default printer itself (\"Let Windows manage my default printer\" is "
      "on) and may change it while a job prints. Turn it off in Settings, Bluetooth & devices "
      "(Devices on Windows 10), Printers & scanners.";
  struct Case {
    uint32_t windows;
    std::optional<uint32_t> legacy_mode;
    bool warned;
  };
  const Case cases[] = {{10, std::nullopt, true}, {10, 0, true}, {10, 1, false}, {6, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.windows);
    system.windows_major = c.windows;
    if (c.legacy_mode)
      registry.PutDword(RegistryHive::kCurrentUser, kKey, "LegacyDefaultPrinterMode",
                        *c.legacy_mode);
    const size_t before = Lines("General", warning).size();
    Server().Stop();
    Start();
    EXPECT_EQ(Lines("General", warning).size() - before, c.warned ? 1u : 0u);
  }
}

}  // namespace
}  // namespace corvale
