// Dispatch and the job runner: jobs print one at a time, slot by slot, each after its printer
// has been made the default; the runner finishes each job's file and gives the capacity back.
// Runners are real threads; the fake shell holds each print utility "process" until the test
// ends it, and passes that must wait run on a main thread of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "corvale/engine/errors.h"
#include "tests/corvale/dispatch_fixture.h"

namespace corvale {
namespace {

using testing::DispatchTest;
using testing::FakeRegistry;

constexpr char kFallback32[] = "C:\\PROGRA~1\\IBM\\AFPWOR~1\\ftdwprt.exe";
constexpr char kFallback64[] = "C:\\PROGRA~2\\IBM\\AFPWOR~1\\ftdwprt.exe";
constexpr char kUserKey[] = "Software\\IBM\\AFP Workbench\\Default\\Misc";
constexpr char kMachineKey[] = "SOFTWARE\\IBM\\AFP Workbench\\Default\\Misc";
constexpr RegistryHive kHKCU = RegistryHive::kCurrentUser;
constexpr RegistryHive kHKLM = RegistryHive::kLocalMachine;

TEST_F(DispatchTest, JobsPrintSlotBySlotEachWithItsPrinterAsDefault) {
  printers.SetDefault("Office Laser 2");
  Drop(1, "a.afp", 30);
  Drop(1, "b.afp", 20);
  Drop(1, "c.afp", 10);
  Drop(2, "d.afp");
  StartPass();
  for (size_t i = 0; i < 4; ++i) FinishLaunch(i);
  EndPass();
  loop.RunPosted();

  const std::string dorrow = printers.EntryOf("Dorrow_Laser");
  const std::string pellam = printers.EntryOf("Pellam_Ink");
  std::vector<std::string> expected_events;
  std::vector<std::string> expected_printing;
  // A printer is made the default, and the windows told, only when it is not the default yet.
  for (const auto& [slot, name, switched] : std::vector<std::tuple<int, std::string, bool>>{
           {1, "a.afp", true}, {1, "b.afp", false}, {1, "c.afp", false}, {2, "d.afp", true}}) {
    if (switched) {
      expected_events.push_back("device=" + (slot == 1 ? dorrow : pellam));
      expected_events.push_back("broadcast sync");
    }
    expected_events.push_back("start " + JobFile(slot, name) + "  /N /P");
    expected_printing.push_back("Printing " + JobFile(slot, name) + " to " +
                                (slot == 1 ? "Dorrow_Laser" : "Pellam_Ink") + " ...");
  }
  EXPECT_EQ(printers.Events(), expected_events);
  std::vector<std::string> printing;
  for (const std::string& line : LogMessages("JobStatus")) {
    if (line.rfind("Printing ", 0) == 0) printing.push_back(line);
  }
  EXPECT_EQ(printing, expected_printing);
  EXPECT_EQ(printers.DefaultWhenStarted(JobFile(1, "c.afp")), "Dorrow_Laser");
  EXPECT_EQ(printers.DefaultWhenStarted(JobFile(2, "d.afp")), "Pellam_Ink");
  for (const testing::FakeShell::Launch& launch : shell.Launches())
    EXPECT_EQ(launch.program, PrintUtility());
  EXPECT_EQ(shell.MostRunningAtOnce(), 1);

  // The default printer stays the last job's printer.
  EXPECT_EQ(printers.CurrentDefault(), "Pellam_Ink");
  EXPECT_EQ(temp.FilesIn("Done1"), (std::vector<std::string>{"a.afp", "b.afp", "c.afp"}));
  EXPECT_EQ(temp.FilesIn("Done2"), std::vector<std::string>{"d.afp"});
  EXPECT_TRUE(temp.FilesIn("JobStore\\Dorrow_Laser").empty());
  EXPECT_EQ(Ledger().JobsInFlight[1], 0);
  EXPECT_EQ(Ledger().JobsInFlight[2], 0);
  EXPECT_FALSE(Engine().Dispatching);
  EXPECT_FALSE(Ledger().RunnerBusy);
  const std::vector<std::string> moves = LogMessages("MoveFile");
  EXPECT_NE(std::find(moves.begin(), moves.end(),
                      "MoveFile OK: Moved " + JobFile(2, "d.afp") + " to " + temp.Win("Done2") +
                          "\\d.afp"),
            moves.end());
}

TEST_F(DispatchTest, JobAddedToSlotOneDuringTheWaitPrintsBeforeSlotTwo) {
  Drop(1, "a.afp");
  Drop(2, "d.afp");
  std::promise<void> scanned;
  bool dropped = false;
  loop.OnPump = [&] {
    if (dropped) return;
    dropped = true;
    Drop(1, "late.afp");
    scanned.set_value();
  };
  StartPass();
  ASSERT_TRUE(shell.WaitForLaunches(1));
  ASSERT_EQ(scanned.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
  shell.Finish(0);
  FinishLaunch(1);
  FinishLaunch(2);
  EndPass();

  std::vector<std::string> started;
  for (const testing::FakeShell::Launch& launch : shell.Launches())
    started.push_back(launch.parameters);
  EXPECT_EQ(started, (std::vector<std::string>{JobFile(1, "a.afp") + "  /N /P",
                                               JobFile(1, "late.afp") + "  /N /P",
                                               JobFile(2, "d.afp") + "  /N /P"}));
  EXPECT_EQ(temp.FilesIn("Done1"), (std::vector<std::string>{"a.afp", "late.afp"}));
}

// An error raised by an event run during the wait ends the pass only after the runner has
// released it: no second utility starts meanwhile, and the flags are left as they should be.
TEST_F(DispatchTest, ErrorDuringTheWaitEndsThePassOnceTheRunnerHasReleasedIt) {
  Drop(1, "a.afp", 20);
  Drop(1, "b.afp", 10);
  std::promise<void> raised;
  bool thrown = false;
  loop.OnPump = [&] {
    if (thrown) return;
    thrown = true;
    raised.set_value();
    throw Error("raised during the wait");
  };
  std::thread pass([&] { Server().RunUnattended([&] { Server().DispatchTick(); }); });
  ASSERT_TRUE(shell.WaitForLaunches(1));
  ASSERT_EQ(raised.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_TRUE(Engine().Dispatching) << "the pass still waits for its runner";
  const std::string reported = "ERROR: raised during the wait";
  auto reports = [&] {
    const std::vector<std::string> general = LogMessages("General");
    return std::count(general.begin(), general.end(), reported);
  };
  EXPECT_EQ(reports(), 0);
  shell.Finish(0);
  pass.join();
  loop.OnPump = nullptr;
  WaitForRunnersIdle();

  EXPECT_EQ(reports(), 1);
  EXPECT_EQ(view.Status(), "raised during the wait");
  EXPECT_EQ(shell.LaunchCount(), 1u);
  EXPECT_FALSE(Engine().Dispatching);
  EXPECT_FALSE(Ledger().RunnerBusy);
  ASSERT_EQ(Engine().JobQueue[1]->size(), 1u);
  EXPECT_EQ(Engine().JobQueue[1]->front().FileName, "b.afp");
  RunPassToEnd();
  EXPECT_EQ(temp.FilesIn("Done1"), (std::vector<std::string>{"a.afp", "b.afp"}));
}

TEST_F(DispatchTest, DeleteOptionIsReadWhenTheJobIsDispatched) {
  struct Case {
    const char* name;
    bool at_intake;
    bool at_dispatch;
  };
  for (const Case& c : {Case{"delete.afp", false, true}, Case{"move.afp", true, false}}) {
    SCOPED_TRACE(c.name);
    settings.Slots[1].DeleteInputFileWhenDone = c.at_intake;
    Apply();
    Drop(1, c.name);
    settings.Slots[1].DeleteInputFileWhenDone = c.at_dispatch;
    Apply();
    RunPassToEnd();
    EXPECT_FALSE(temp.Exists("JobStore\\Dorrow_Laser\\" + std::string(c.name)));
    EXPECT_EQ(temp.Exists("Done1\\" + std::string(c.name)), !c.at_dispatch);
    if (c.at_dispatch) {
      EXPECT_EQ(LogMessages("DeleteFile").back(), "DeleteFile OK: Deleted " + JobFile(1, c.name));
    } else {
      EXPECT_EQ(LogMessages("MoveFile").back(), "MoveFile OK: Moved " + JobFile(1, c.name) +
                                                    " to " + temp.Win("Done1") + "\\" + c.name);
    }
    EXPECT_EQ(view.Status(), JobFile(1, c.name) + " is processed successfully.");
  }
  EXPECT_EQ(files.Deletes(), std::vector<std::string>{JobFile(1, "delete.afp")});
}

TEST_F(DispatchTest, StatusTextReachesTheMainThreadAfterTheRunnersLogLines) {
  // The view reads the log at the moment the runner's text arrives.
  std::string witnessed;
  std::vector<std::string> move_lines;
  Drop(1, "a.afp");
  const size_t moves_at_intake = LogMessages("MoveFile").size();
  view.OnStatus = [&](const std::string& text) {
    witnessed = text;
    move_lines = LogMessages("MoveFile");
  };
  // The pass lets events run, but none of the posted tasks.
  loop.HoldPosted(true);
  shell.SetAutoFinish(true);
  Server().DispatchTick();
  WaitForRunnersIdle();
  loop.HoldPosted(false);
  EXPECT_EQ(view.Status(), "Ready.");
  EXPECT_GE(loop.PostedCount(), 1u);
  loop.RunPosted();
  view.OnStatus = nullptr;

  EXPECT_EQ(witnessed, JobFile(1, "a.afp") + " is processed successfully.");
  ASSERT_EQ(move_lines.size(), moves_at_intake + 1);
  EXPECT_EQ(move_lines.back().rfind("MoveFile OK: Moved " + JobFile(1, "a.afp"), 0), 0u);
}

TEST_F(DispatchTest, ParametersNameTheShortPathFollowedByTheSwitches) {
  files.SetShortPaths([](const std::string& path) {
    return path.find("with.afp") != std::string::npos
               ? std::string("C:\\JOBSTO~1\\DORROW~1\\WITH.AFP")
               : std::string();
  });
  Drop(1, "with.afp", 20);
  Drop(1, "without.afp", 10);
  RunPassToEnd();
  const std::vector<testing::FakeShell::Launch> launches = shell.Launches();
  ASSERT_EQ(launches.size(), 2u);
  EXPECT_EQ(launches[0].parameters, "C:\\JOBSTO~1\\DORROW~1\\WITH.AFP  /N /P");
  // Without a short form the full path goes as it is; it has no space to quote.
  EXPECT_EQ(launches[1].parameters, JobFile(1, "without.afp") + "  /N /P");
}

TEST_F(DispatchTest, DoneFileOfTheSameNameIsReplaced) {
  temp.WriteFile("Done1\\a.afp", "printed yesterday");
  Drop(1, "a.afp");
  RunPassToEnd();
  EXPECT_EQ(temp.ReadFile("Done1\\a.afp"), "a.afp");
  EXPECT_FALSE(temp.Exists("JobStore\\Dorrow_Laser\\a.afp"));
}

// A printed file whose done folder is missing goes to "Printed" in its job store folder, where
// the next Start leaves it: it is not printed again.
TEST_F(DispatchTest, MissingDoneFolderSetsThePrintedFileAsideAndGivesTheCapacityBack) {
  Drop(1, "a.afp");
  std::filesystem::remove_all(temp.Native("Done1"));
  RunPassToEnd();
  const std::string job = JobFile(1, "a.afp");
  const std::string aside = JobFile(1, "Printed\\a.afp");
  const std::vector<std::string> moves = LogMessages("MoveFile");
  ASSERT_GE(moves.size(), 2u);
  EXPECT_EQ(moves[moves.size() - 2],
            "MoveFile ERROR (The system cannot find the path specified.): Failed to move " + job +
                " to " + temp.Win("Done1") + "\\a.afp");
  EXPECT_EQ(moves.back(), "MoveFile OK: Moved " + job + " to " + aside);
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\Printed\\a.afp"), "a.afp");
  EXPECT_EQ(Ledger().JobsInFlight[1], 0);
  EXPECT_EQ(view.Status(), job + " is printed but could not be moved to " + temp.Win("Done1") +
                               "\\a.afp; it is in " + aside + ".");
}

// A printer whose done folder was left empty (Start only warns of it) sets its printed files
// aside too, rather than moving them to the root of the drive.
TEST_F(DispatchTest, EmptyDoneFolderSetsThePrintedFileAside) {
  settings.Slots[1].DoneFolder.clear();
  Apply();
  Drop(1, "a.afp");
  RunPassToEnd();
  const std::string job = JobFile(1, "a.afp");
  const std::string aside = JobFile(1, "Printed\\a.afp");
  EXPECT_EQ(LogMessages("MoveFile").back(), "MoveFile OK: Moved " + job + " to " + aside);
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\Printed\\a.afp"), "a.afp");
  EXPECT_EQ(view.Status(),
            job + " is printed but its printer has no done folder; it is in " + aside + ".");
}

// A utility that cannot start has printed nothing: the job fails, and its file goes to "Failed".
TEST_F(DispatchTest, UtilityThatCannotStartFailsTheJob) {
  shell.FailStarts(2);
  Drop(1, "a.afp");
  RunPassToEnd();
  const std::string job = JobFile(1, "a.afp");
  const std::vector<std::string> status_lines = LogMessages("JobStatus");
  ASSERT_EQ(status_lines.size(), 3u);
  EXPECT_EQ(status_lines[0], "Printing " + job + " to Dorrow_Laser ...");
  EXPECT_EQ(status_lines[1],
            "Printing ERROR (cannot start: The system cannot find the file specified.): " +
                PrintUtility() + " did not print " + job);
  EXPECT_EQ(status_lines[2], "Job a.afp from " + temp.Win("In1") +
                                 " on Dorrow_Laser: failed, no exit code, 0 s in queue, 0 s "
                                 "printing, 5 bytes; now " +
                                 temp.Win("JobStore\\Dorrow_Laser\\Failed\\a.afp"));
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\Failed\\a.afp"), "a.afp");
  EXPECT_TRUE(temp.FilesIn("Done1").empty());
  EXPECT_TRUE(files.Deletes().empty());
  // The intake's move, and the one into "Failed".
  EXPECT_EQ(files.Moves().size(), 2u);
  EXPECT_EQ(Ledger().JobsInFlight[1], 0);
  EXPECT_EQ(view.Status(),
            job +
                " was not printed (cannot start: The system cannot find the file specified.); "
                "it is in " +
                JobFile(1, "Failed\\a.afp") + ".");
}

TEST_F(DispatchTest, NothingInFlightOrAPassUnderWayMakesTheTickDoNothing) {
  Server().DispatchTick();
  EXPECT_EQ(shell.LaunchCount(), 0u);
  EXPECT_TRUE(printers.Events().empty());

  Drop(1, "a.afp");
  Engine().Dispatching = true;
  Server().DispatchTick();
  EXPECT_EQ(shell.LaunchCount(), 0u);
  EXPECT_EQ(Engine().JobQueue[1]->size(), 1u);
  Engine().Dispatching = false;
  RunPassToEnd();
  EXPECT_EQ(shell.LaunchCount(), 1u);
}

TEST_F(DispatchTest, StopDuringThePassEndsItOnceTheRunnerHasReleasedIt) {
  Drop(1, "a.afp", 20);
  Drop(1, "b.afp", 10);
  Drop(2, "d.afp");
  std::promise<void> stopped;
  bool done = false;
  loop.OnPump = [&] {
    if (done) return;
    done = true;
    Server().Stop();
    stopped.set_value();
  };
  StartPass();
  ASSERT_TRUE(shell.WaitForLaunches(1));
  ASSERT_EQ(stopped.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
  shell.Finish(0);
  EndPass();
  loop.RunPosted();

  EXPECT_EQ(shell.LaunchCount(), 1u);
  EXPECT_FALSE(Engine().Dispatching);
  EXPECT_EQ(temp.FilesIn("Done1"), std::vector<std::string>{"a.afp"});
  // The dropped jobs' files go back to their input folders; the printing one finished.
  EXPECT_TRUE(temp.FilesIn("JobStore\\Dorrow_Laser").empty());
  EXPECT_TRUE(temp.FilesIn("JobStore\\Pellam_Ink").empty());
  EXPECT_EQ(temp.FilesIn("In1"), std::vector<std::string>{"b.afp"});
  EXPECT_EQ(temp.FilesIn("In2"), std::vector<std::string>{"d.afp"});
}

TEST_F(DispatchTest, LateCompletionFromAnEarlierRunLeavesTheNewRunsCountAlone) {
  Drop(1, "a.afp");
  std::promise<void> restarted;
  bool done = false;
  loop.OnPump = [&] {
    if (done) return;
    done = true;
    Server().Stop();
    Start();
    Drop(1, "b.afp");
    restarted.set_value();
  };
  StartPass();
  ASSERT_TRUE(shell.WaitForLaunches(1));
  ASSERT_EQ(restarted.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
  shell.Finish(0);
  EndPass();
  loop.OnPump = nullptr;

  // The old run's job is finished; the pass took nothing of the new run.
  EXPECT_EQ(shell.LaunchCount(), 1u);
  EXPECT_EQ(temp.FilesIn("Done1"), std::vector<std::string>{"a.afp"});
  EXPECT_EQ(Ledger().JobsInFlight[1], 1);
  Server().PollStatus();
  EXPECT_EQ(LogMessages("DeviceStatus").back(), "Print jobs in queue: 1");
  for (const std::string& message : LogMessages("General"))
    EXPECT_NE(message, "Memory defragmentation operation completed.");

  RunPassToEnd();
  EXPECT_EQ(temp.FilesIn("Done1"), (std::vector<std::string>{"a.afp", "b.afp"}));
  EXPECT_EQ(Ledger().JobsInFlight[1], 0);
}

// Locating the print utility, over the registry keys of the AFP Workbench.
class LocatePrintUtilityTest : public ::testing::Test, protected testing::ServerHarness {
 protected:
  LocatePrintUtilityTest() { printers.Add("Dorrow_Laser"); }

  std::vector<FakeRegistry::OpenCall> WorkbenchOpens() {
    std::vector<FakeRegistry::OpenCall> opens;
    for (const FakeRegistry::OpenCall& open : registry.Opens()) {
      if (open.path.find("AFP Workbench") != std::string::npos) opens.push_back(open);
    }
    return opens;
  }
};

TEST_F(LocatePrintUtilityTest, UserHelpFolderWinsWhenTheUtilityIsThere) {
  temp.WriteFile("User\\ftdwprt.exe", "");
  temp.WriteFile("Machine\\ftdwprt.exe", "");
  registry.PutString(kHKCU, kUserKey, "HelpCurPath", temp.Win("User\\afpwb.hlp"));
  registry.PutString(kHKLM, kMachineKey, "HelpPath", temp.Win("Machine\\afpwb.hlp"));
  PrintServer& server = Create();
  EXPECT_EQ(server.LocatePrintUtility(), temp.Win("User\\ftdwprt.exe"));
  std::optional<RegistryValue> logop = registry.Value(kHKCU, kUserKey, "LOGOP");
  ASSERT_TRUE(logop.has_value());
  EXPECT_EQ(logop->kind, RegistryValueKind::kString);
  EXPECT_EQ(logop->text, "TRUE");
  const std::vector<FakeRegistry::OpenCall> opens = WorkbenchOpens();
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].access, kKeyAllAccess);
  EXPECT_FALSE(opens[0].create);
}

TEST_F(LocatePrintUtilityTest, MachineHelpFolderIsTheSecondChoice) {
  temp.WriteFile("Machine\\ftdwprt.exe", "");
  registry.PutString(kHKCU, kUserKey, "HelpCurPath", temp.Win("User\\afpwb.hlp"));
  registry.PutString(kHKLM, kMachineKey, "HelpPath", temp.Win("Machine\\afpwb.hlp"));
  PrintServer& server = Create();
  EXPECT_EQ(server.LocatePrintUtility(), temp.Win("Machine\\ftdwprt.exe"));
  const std::vector<FakeRegistry::OpenCall> opens = WorkbenchOpens();
  ASSERT_EQ(opens.size(), 2u);
  EXPECT_EQ(opens[1].hive, kHKLM);
  EXPECT_EQ(opens[1].access, kKeyRead);
  EXPECT_FALSE(opens[1].create);
}

TEST_F(LocatePrintUtilityTest, FallbackDependsOnWow64) {
  struct Case {
    Wow64Answer wow64;
    const char* path;
  };
  for (const Case& c :
       {Case{Wow64Answer::kNo, kFallback32}, Case{Wow64Answer::kYes, kFallback64}}) {
    SCOPED_TRACE(c.path);
    system.wow64 = c.wow64;
    // Named, but not there.
    registry.PutString(kHKLM, kMachineKey, "HelpPath", temp.Win("Machine\\afpwb.hlp"));
    PrintServer& server = Create();
    EXPECT_EQ(server.LocatePrintUtility(), c.path);
    DestroyServer();
  }
}

TEST_F(LocatePrintUtilityTest, UserKeyGetsLogopWhenItExistsAndIsNeverCreated) {
  struct Case {
    const char* name;
    bool key_exists;
    std::optional<std::string> help;
  };
  const Case cases[] = {{"no key", false, std::nullopt},
                        {"key without HelpCurPath", true, std::nullopt},
                        {"empty HelpCurPath", true, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    registry.Reset();
    if (c.key_exists) registry.CreateKey(kHKCU, kUserKey);
    if (c.help) registry.PutString(kHKCU, kUserKey, "HelpCurPath", *c.help);
    PrintServer& server = Create();
    EXPECT_EQ(server.LocatePrintUtility(), kFallback32);
    EXPECT_EQ(registry.KeyExists(kHKCU, kUserKey), c.key_exists);
    EXPECT_EQ(registry.Value(kHKCU, kUserKey, "LOGOP").has_value(), c.key_exists);
    // The machine key is asked every time the user key named no utility.
    const std::vector<FakeRegistry::OpenCall> opens = WorkbenchOpens();
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[1].hive, kHKLM);
    DestroyServer();
  }
}

TEST_F(LocatePrintUtilityTest, EachJobLocatesTheUtilityAfresh) {
  registry.CreateKey(kHKCU, kUserKey);
  PrintServer& server = Create();
  ConfigureSlot(1, "In1", "Done1", 2);
  Start();
  temp.WriteFile("In1\\a.afp", "a", 20);
  temp.WriteFile("In1\\b.afp", "b", 10);
  server.ScanInputFolder(settings.Slots[1].InputFolder);
  registry.ClearRecords();
  shell.SetAutoFinish(true);
  server.DispatchTick();
  WaitForRunnersIdle();
  int logop_writes = 0;
  for (const FakeRegistry::WriteCall& write : registry.Writes())
    logop_writes += write.name == "LOGOP" ? 1 : 0;
  EXPECT_EQ(logop_writes, 2);
}

}  // namespace
}  // namespace corvale
