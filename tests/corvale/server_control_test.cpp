// Starting and stopping the server, the folder check before a start, the refusal to watch
// folders that would print their files again and again, and the status tick.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/text.h"
#include "tests/fakes/fake_platform.h"

namespace corvale {
namespace {

constexpr char kAdvice[] =
    "You should either specify the folder to enable to IPDS printer simulation or uncheck the "
    "\"Enable AFP and IPDS Printer Emulation\" option to disable the IPDS printer simulation.";
constexpr char kNothingEnabled[] =
    "No printer is emulated to be an IPDS printer.\r\nPlease enable AFP and IPDS Printer Emulation "
    "for at least one printer.";

std::string LoopMessage(const std::string& printer) {
  return "The done folder for " + printer +
         " leads printed files back into a watched input folder.\r\nIts input folder is not "
         "watched.";
}

class ServerControlTest : public ::testing::Test, protected testing::ServerHarness {
 protected:
  ServerControlTest() {
    printers.Add("Dorrow_Laser");
    printers.Add("Pellam_Ink");
    printers.Add("Office Laser 2");
  }
  void SetUp() override { Create(); }

  std::vector<std::string> WatchedFolders() {
    std::vector<std::string> folders;
    for (const auto& script : watch.Scripts()) {
      if (!script->Destroyed()) folders.push_back(script->Folder());
    }
    return folders;
  }

  void ExpectStopped() {
    EXPECT_FALSE(Server().Running());
    EXPECT_FALSE(view.ShownRunning());
  }
};

TEST_F(ServerControlTest, StartWatchesEnabledFoldersAndLogsEachStep) {
  ConfigureSlot(1, "In1", "Done1", 2);
  ConfigureSlot(3, "In3", "Done3", 1);
  Start();

  EXPECT_TRUE(view.Messages().empty());
  EXPECT_TRUE(Server().Running());
  EXPECT_TRUE(view.ShownRunning());
  EXPECT_EQ(view.Status(), "Ready.");
  EXPECT_EQ(Server().Notifier()->FolderCount(), 2);
  EXPECT_TRUE(Server().Notifier()->Active());
  EXPECT_TRUE(static_cast<bool>(Server().Notifier()->OnFileChange));
  EXPECT_EQ(WatchedFolders(), (std::vector<std::string>{temp.Win("In1"), temp.Win("In3")}));
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    ASSERT_NE(Engine().JobQueue[n], nullptr);
    EXPECT_TRUE(Engine().JobQueue[n]->empty());
    EXPECT_EQ(Ledger().JobsInFlight[n], 0);
    EXPECT_FALSE(Engine().MoreFilesWaiting[n]);
  }
  EXPECT_EQ(Engine().DepthInForce[1], 2);
  EXPECT_EQ(LogEntries(), (std::vector<std::string>{
                              "Log file created",
                              "[General] Check for the availibility of input and done folder",
                              "[General] Folder Availibility check completed",
                              "[Shell] Adding on-watch folder " + temp.Win("In1"),
                              "[Shell] Adding on-watch folder " + temp.Win("In3"),
                              "[General] Total on-watch folders: 2",
                              "[General] Starting Varnell server application...",
                              "[General] Simulator started successfully.",
                              "[Shell] Monitored file change in " + temp.Win("In1") + "\\",
                              "[Shell] Monitored file change in " + temp.Win("In3") + "\\",
                          }));
}

TEST_F(ServerControlTest, StartWithEverySlotDisabledRefuses) {
  Start();
  EXPECT_EQ(view.Messages(), std::vector<std::string>{kNothingEnabled});
  ExpectStopped();
  EXPECT_EQ(Server().Notifier()->FolderCount(), 0);
  EXPECT_EQ(LogMessages("General"),
            (std::vector<std::string>{"Check for the availibility of input and done folder",
                                      "Folder Availibility check completed"}));
}

TEST_F(ServerControlTest, MissingFolderTextsAreReportedAndTheirSlotsSkipped) {
  struct Case {
    const char* name;
    std::string input;
    std::string done;
    bool delete_when_done;
    std::vector<std::string> messages;
    int watched;
  };
  const Case cases[] = {
      {"no input folder",
       "",
       "Done1",
       false,
       {"The input folder for Dorrow_Laser is not specified.\r\n" + std::string(kAdvice)},
       1},
      {"no done folder",
       "In1",
       "",
       false,
       {"The done folder for Dorrow_Laser is not specified.\r\n" + std::string(kAdvice)},
       2},
      {"no done folder, delete option set",
       "In1",
       "",
       true,
       {"The done folder for Dorrow_Laser is not specified.\r\n" + std::string(kAdvice)},
       2},
      {"neither",
       "",
       "",
       false,
       {"The input folder for Dorrow_Laser is not specified.\r\n" + std::string(kAdvice),
        "The done folder for Dorrow_Laser is not specified.\r\n" + std::string(kAdvice)},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view.ClearMessages();
    ConfigureSlot(1, c.input, c.done, 1, c.delete_when_done);
    ConfigureSlot(2, "In2", "Done2", 1);
    Start();
    EXPECT_EQ(view.Messages(), c.messages);
    EXPECT_TRUE(Server().Running());
    EXPECT_EQ(Server().Notifier()->FolderCount(), c.watched);
    Server().Stop();
  }
}

TEST_F(ServerControlTest, MissingFoldersAreCreatedAndWatched) {
  struct Case {
    bool delete_when_done;
    bool done_created;
  };
  for (const Case& c : {Case{false, true}, Case{true, false}}) {
    SCOPED_TRACE(c.delete_when_done);
    std::filesystem::remove_all(temp.Native("Deep"));
    ConfigureSlot(1, "Deep\\In\\Nested", "Deep\\Done", 1, c.delete_when_done);
    Start();
    EXPECT_TRUE(std::filesystem::is_directory(temp.Native("Deep\\In\\Nested")));
    EXPECT_EQ(std::filesystem::is_directory(temp.Native("Deep\\Done")), c.done_created);
    EXPECT_EQ(WatchedFolders(), std::vector<std::string>{temp.Win("Deep\\In\\Nested")});
    Server().Stop();
  }
}

TEST_F(ServerControlTest, InputFolderIsTrimmedBeforeItIsWatched) {
  ConfigureSlot(1, "In1", "Done1", 1);
  settings.Slots[1].InputFolder = "  " + temp.Win("In1") + "\\ ";
  Start();
  EXPECT_TRUE(std::filesystem::is_directory(temp.Native("In1")));
  EXPECT_EQ(WatchedFolders(), std::vector<std::string>{temp.Win("In1") + "\\"});
  EXPECT_EQ(LogMessages("Shell"),
            (std::vector<std::string>{"Adding on-watch folder " + temp.Win("In1") + "\\",
                                      "Monitored file change in " + temp.Win("In1") + "\\"}));
}

TEST_F(ServerControlTest, QueueDepthOfZeroOrLessIsUsedAsOne) {
  struct Case {
    int32_t depth;
    int32_t in_force;
  };
  for (const Case& c : {Case{0, 1}, Case{-4, 1}, Case{1, 1}, Case{5, 5}}) {
    SCOPED_TRACE(c.depth);
    ConfigureSlot(1, "In1", "Done1", c.depth);
    Start();
    EXPECT_EQ(Engine().DepthInForce[1], c.in_force);
    Server().Stop();
  }
  // A slot whose depth is 0 takes one file at a time.
  ConfigureSlot(1, "In1", "Done1", 0);
  Start();
  temp.WriteFile("In1\\a.afp", "a", 20);
  temp.WriteFile("In1\\b.afp", "b", 10);
  Server().ScanInputFolder(settings.Slots[1].InputFolder);
  EXPECT_EQ(Ledger().JobsInFlight[1], 1);
  EXPECT_TRUE(Engine().MoreFilesWaiting[1]);
}

TEST_F(ServerControlTest, StopUndoesStartAndShowsIdle) {
  ConfigureSlot(1, "In1", "Done1", 2);
  ConfigureSlot(2, "In2", "Done2", 2);
  Start();
  temp.WriteFile("In1\\a.afp", "a");
  Server().ScanInputFolder(settings.Slots[1].InputFolder);
  Server().PollStatus();
  ASSERT_EQ(view.JobsInQueue(), "1");
  const size_t before = LogEntries().size();

  Server().Stop();
  ExpectStopped();
  EXPECT_EQ(view.JobsInQueue(), "0");
  EXPECT_EQ(view.Status(), "Idle.");
  EXPECT_FALSE(Server().Notifier()->Active());
  EXPECT_EQ(Server().Notifier()->FolderCount(), 0);
  EXPECT_TRUE(WatchedFolders().empty());
  EXPECT_EQ(Engine().JobQueue[1], nullptr);
  EXPECT_EQ(Engine().JobQueue[2], nullptr);
  // The dropped job's file goes back into its input folder, with a word in the log.
  EXPECT_FALSE(temp.Exists("JobStore\\Dorrow_Laser\\a.afp"));
  EXPECT_EQ(temp.ReadFile("In1\\a.afp"), "a");
  const std::vector<std::string> log = LogEntries();
  EXPECT_EQ(
      std::vector<std::string>(log.begin() + static_cast<long>(before), log.end()),
      (std::vector<std::string>{"[General] Stopping Varnell server application...",
                                "[MoveFile] " + temp.Win("JobStore\\Dorrow_Laser\\a.afp") +
                                    " was not printed; moved back to " + temp.Win("In1\\a.afp"),
                                "[General] Varnell server application stopped successfully."}));

  // A new Start watches the folders afresh, not in addition, and takes the file again.
  Start();
  EXPECT_EQ(Server().Notifier()->FolderCount(), 2);
  EXPECT_EQ(WatchedFolders().size(), 2u);
  EXPECT_EQ(Ledger().JobsInFlight[1], 1);
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\a.afp"), "a");
}

// Closing the window while jobs are queued moves every queued job's file back, one line each.
TEST_F(ServerControlTest, CloseWithJobsQueuedMovesTheirFilesBack) {
  ConfigureSlot(1, "In1", "Done1", 5);
  ConfigureSlot(2, "In2", "Done2", 5);
  Start();
  for (const char* name : {"a.afp", "b.afp", "c.afp"})
    temp.WriteFile(std::string("In1\\") + name, name);
  temp.WriteFile("In2\\d.afp", "d");
  Server().ScanInputFolder(settings.Slots[1].InputFolder);
  Server().ScanInputFolder(settings.Slots[2].InputFolder);
  ASSERT_EQ(Ledger().JobsInFlight[1] + Ledger().JobsInFlight[2], 4);

  Server().Close(kCloseWaitMs);
  EXPECT_EQ(temp.FilesIn("In1"), (std::vector<std::string>{"a.afp", "b.afp", "c.afp"}));
  EXPECT_EQ(temp.FilesIn("In2"), std::vector<std::string>{"d.afp"});
  EXPECT_TRUE(temp.FilesIn("JobStore\\Dorrow_Laser").empty());
  EXPECT_TRUE(temp.FilesIn("JobStore\\Pellam_Ink").empty());
  std::vector<std::string> moved_back;
  for (const std::string& line : LogMessages("MoveFile")) {
    if (line.find(" was not printed; moved back to ") != std::string::npos)
      moved_back.push_back(line);
  }
  EXPECT_EQ(moved_back.size(), 4u);
  EXPECT_EQ(moved_back.back(), temp.Win("JobStore\\Pellam_Ink\\d.afp") +
                                   " was not printed; moved back to " + temp.Win("In2\\d.afp"));
  EXPECT_EQ(LogMessages("General").back(), "Varnell server application stopped successfully.");
}

// A newer file of the same name in the input folder is never replaced: the job's file stays in
// the job store, and the log says so and why.
TEST_F(ServerControlTest, QueuedFileThatCannotGoBackStaysWithALineNamingWhere) {
  ConfigureSlot(1, "In1", "Done1", 2);
  Start();
  temp.WriteFile("In1\\same.afp", "queued");
  Server().ScanInputFolder(settings.Slots[1].InputFolder);
  temp.WriteFile("In1\\same.afp", "newer");
  Server().Stop();
  EXPECT_EQ(temp.ReadFile("In1\\same.afp"), "newer");
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\same.afp"), "queued");
  const std::string job = temp.Win("JobStore\\Dorrow_Laser\\same.afp");
  EXPECT_EQ(LogMessages("MoveFile").back(),
            "MoveFileEx ERROR (Cannot create a file when that file already exists.): " + job +
                " was not printed and stays there; it could not be moved back to " +
                temp.Win("In1\\same.afp"));
}

// Files already lying in a watched folder are taken by Start itself, one scan per folder.
TEST_F(ServerControlTest, StartTakesTheFilesAlreadyInEachWatchedFolder) {
  ConfigureSlot(1, "In1", "Done1", 1);
  ConfigureSlot(2, "In2", "Done2", 3);
  settings.Slots[3].InputFolder = temp.Win("In3");  // not enabled: not watched, not scanned
  temp.WriteFile("In1\\old.afp", "old", 20);
  temp.WriteFile("In1\\older.afp", "older", 30);
  temp.WriteFile("In2\\left.afp", "left");
  temp.WriteFile("In3\\other.afp", "other");
  Start();
  EXPECT_EQ(temp.FilesIn("In1"), std::vector<std::string>{"old.afp"});
  EXPECT_TRUE(Engine().MoreFilesWaiting[1]);
  EXPECT_TRUE(temp.FilesIn("In2").empty());
  EXPECT_EQ(temp.FilesIn("In3"), std::vector<std::string>{"other.afp"});
  EXPECT_EQ(Ledger().JobsInFlight[1], 1);
  EXPECT_EQ(Ledger().JobsInFlight[2], 1);
  const std::vector<std::string> shell_lines = LogMessages("Shell");
  EXPECT_EQ(std::count(shell_lines.begin(), shell_lines.end(),
                       "Monitored file change in " + temp.Win("In1") + "\\"),
            1);
  EXPECT_EQ(view.Status(), "Ready.");
}

TEST_F(ServerControlTest, StartFixesTheLogFileNameForTheRun) {
  ConfigureSlot(1, "In1", "Done1", 1);
  settings.LogFile = temp.Win("run.log");
  settings.Log.AppendLogDate = true;
  Start();
  EXPECT_EQ(Server().Log().CurrentLogFile(), temp.Win("run_20240307_14.log"));
  EXPECT_TRUE(temp.Exists("run_20240307_14.log"));
  Server().Stop();

  settings.Log.AppendLogDate = false;
  settings.LogFile = " " + temp.Win("plain.log") + "  ";
  Start();
  EXPECT_EQ(Server().Log().CurrentLogFile(), temp.Win("plain.log"));
}

TEST_F(ServerControlTest, CloseWhileRunningStopsFirst) {
  ConfigureSlot(1, "In1", "Done1", 1);
  Start();
  Server().Close(kCloseWaitMs);
  ExpectStopped();
  EXPECT_EQ(LogMessages("General").back(), "Varnell server application stopped successfully.");

  const size_t before = LogEntries().size();
  Server().Close(kCloseWaitMs);
  EXPECT_EQ(LogEntries().size(), before);
}

TEST_F(ServerControlTest, StatusTickLogsTheJobCountEverySecond) {
  ConfigureSlot(1, "In1", "Done1", 2);
  ConfigureSlot(2, "In2", "Done2", 2);
  Start();
  for (int i = 0; i < 3; ++i) Server().StatusTick();
  EXPECT_EQ(LogMessages("DeviceStatus"), std::vector<std::string>(3, "Print jobs in queue: 0"));
  EXPECT_EQ(view.JobsInQueue(), "0");

  temp.WriteFile("In1\\a.afp", "a");
  temp.WriteFile("In2\\b.afp", "b", 20);
  temp.WriteFile("In2\\c.afp", "c", 10);
  Server().ScanInputFolder(settings.Slots[1].InputFolder);
  Server().ScanInputFolder(settings.Slots[2].InputFolder);
  Server().StatusTick();
  EXPECT_EQ(LogMessages("DeviceStatus").back(), "Print jobs in queue: 3");
  EXPECT_EQ(view.JobsInQueue(), "3");
}

TEST_F(ServerControlTest, NegativeTotalIsShownAsZero) {
  ConfigureSlot(1, "In1", "Done1", 2);
  Start();
  Ledger().JobsInFlight[1] = -1;
  Server().PollStatus();
  const std::vector<std::string> log = LogEntries();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "[General] Memory defragmentation operation completed.");
  EXPECT_EQ(log.back(), "[DeviceStatus] Print jobs in queue: 0");
  EXPECT_EQ(view.JobsInQueue(), "0");
  EXPECT_EQ(Ledger().JobsInFlight[1], -1);

  Ledger().JobsInFlight[2] = 3;
  Server().PollStatus();
  EXPECT_EQ(LogEntries().back(), "[DeviceStatus] Print jobs in queue: 2");
  EXPECT_EQ(LogMessages("General").back(), "Memory defragmentation operation completed.");
  EXPECT_EQ(LogMessages("General").size(), 6u);
}

TEST_F(ServerControlTest, SlotThatLeftFilesBehindIsRescannedOnceIdle) {
  shell.SetAutoFinish(true);
  ConfigureSlot(1, "In1", "Done1", 2);
  Start();
  for (int i = 0; i < 5; ++i)
    temp.WriteFile("In1\\f" + std::to_string(i) + ".afp", "x", 50 - 10 * i);
  Server().ScanInputFolder(settings.Slots[1].InputFolder);
  ASSERT_TRUE(Engine().MoreFilesWaiting[1]);

  // Still busy: no rescan.
  Server().PollStatus();
  EXPECT_EQ(temp.FilesIn("In1").size(), 3u);

  Server().DispatchTick();
  WaitForRunnersIdle();
  ASSERT_EQ(Ledger().JobsInFlight[1], 0);
  EXPECT_EQ(temp.FilesIn("Done1"), (std::vector<std::string>{"f0.afp", "f1.afp"}));
  Server().PollStatus();
  EXPECT_EQ(temp.FilesIn("In1"), std::vector<std::string>{"f4.afp"});
  EXPECT_EQ(Ledger().JobsInFlight[1], 2);
  EXPECT_TRUE(Engine().MoreFilesWaiting[1]);
  EXPECT_EQ(LogMessages("Shell").back(),
            "New files found in " + temp.Win("In1") + ", will take 2 files.");

  Server().DispatchTick();
  WaitForRunnersIdle();
  Server().PollStatus();
  EXPECT_TRUE(temp.FilesIn("In1").empty());
  EXPECT_FALSE(Engine().MoreFilesWaiting[1]);
}

TEST_F(ServerControlTest, OneSlotIsRescannedPerTick) {
  ConfigureSlot(1, "In1", "Done1", 1);
  ConfigureSlot(2, "In2", "Done2", 1);
  Start();
  temp.WriteFile("In1\\a.afp", "a");
  temp.WriteFile("In2\\b.afp", "b");
  Engine().MoreFilesWaiting[1] = true;
  Engine().MoreFilesWaiting[2] = true;
  Server().PollStatus();
  EXPECT_EQ(Ledger().JobsInFlight[1], 1);
  EXPECT_EQ(Ledger().JobsInFlight[2], 0);
  EXPECT_FALSE(Engine().MoreFilesWaiting[1]);
  EXPECT_TRUE(Engine().MoreFilesWaiting[2]);
  Server().PollStatus();
  EXPECT_EQ(Ledger().JobsInFlight[2], 1);
  EXPECT_FALSE(Engine().MoreFilesWaiting[2]);
}

TEST_F(ServerControlTest, DoneFoldersLeadingBackIntoWatchedInputsAreNotWatched) {
  struct SlotSetup {
    std::string input;
    std::string done;
    bool delete_when_done = false;
    bool enabled = true;
  };
  struct Case {
    const char* name;
    std::vector<SlotSetup> slots;
    std::vector<int> looping;  // slot numbers, in message order
    std::vector<int> watched;
  };
  const Case cases[] = {
      {"done folder is its own input", {{"A", "A"}, {"B", "BDone"}}, {1}, {2}},
      {"two slots feed each other", {{"A", "B"}, {"B", "A"}, {"C", "CDone"}}, {1, 2}, {3}},
      {"three slots in a ring", {{"A", "B"}, {"B", "C"}, {"C", "A"}}, {1, 2, 3}, {}},
      {"written differently", {{"A", "  a\\ "}, {"B", "BDone"}}, {1}, {2}},
      {"delete option never loops", {{"A", "A", true}, {"B", "A"}}, {}, {1, 2}},
      {"one slot feeds another", {{"A", "B"}, {"B", "BDone"}}, {}, {1, 2}},
      {"feeding a disabled slot", {{"A", "B"}, {"B", "A", false, false}}, {}, {1}},
      {"chain into a loop", {{"A", "B"}, {"B", "C"}, {"C", "B"}}, {2, 3}, {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view.ClearMessages();
    for (int n = 1; n <= 3; ++n) settings.Slots[n].EnableIPDSEmulation = false;
    for (size_t i = 0; i < c.slots.size(); ++i) {
      const SlotSetup& s = c.slots[i];
      const int n = static_cast<int>(i) + 1;
      ConfigureSlot(n, s.input, "", 1, s.delete_when_done);
      settings.Slots[n].DoneFolder =
          s.done.rfind(' ', 0) == 0 ? "  " + temp.Win(s.done.substr(2)) : temp.Win(s.done);
      settings.Slots[n].EnableIPDSEmulation = s.enabled;
    }
    Start();

    std::vector<std::string> expected_messages;
    for (int n : c.looping) expected_messages.push_back(LoopMessage(settings.Slots[n].PrinterName));
    std::vector<std::string> expected_watched;
    for (int n : c.watched) expected_watched.push_back(temp.Win(c.slots[n - 1].input));
    if (expected_watched.empty()) expected_messages.push_back(kNothingEnabled);
    EXPECT_EQ(view.Messages(), expected_messages);
    EXPECT_EQ(WatchedFolders(), expected_watched);
    if (Server().Running()) Server().Stop();
    Server().Notifier()->ClearFolders();
  }
}

// Two served printers on one input folder would split its files at random. Folders are compared
// as the file system compares them (case, a trailing "\", spaces around), and Start refuses the
// pair by name, in a box for an operator and in the log when unattended.
TEST_F(ServerControlTest, TwoPrintersOnOneInputFolderRefuseStart) {
  struct Case {
    const char* name;
    std::string second_folder;
    bool second_enabled;
    bool refused;
  };
  const Case cases[] = {
      {"same text", temp.Win("Hot"), true, true},
      {"case differs", temp.Win("HOT"), true, true},
      {"trailing delimiter", "  " + temp.Win("hot") + "\\ ", true, true},
      {"the other is not served", temp.Win("Hot"), false, false},
      {"another folder", temp.Win("Hot2"), true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view.ClearMessages();
    ConfigureSlot(1, "Hot", "Done1", 1);
    ConfigureSlot(3, "", "Done3", 1);
    settings.Slots[3].InputFolder = c.second_folder;
    settings.Slots[3].EnableIPDSEmulation = c.second_enabled;
    for (StartMode mode : {StartMode::kOperator, StartMode::kUnattended}) {
      EXPECT_EQ(Start(mode), !c.refused);
      if (Server().Running()) Server().Stop();
    }
    if (!c.refused) continue;
    const std::string refusal = "The input folder " + varnell::Trim(c.second_folder) +
                                " is given to both Dorrow_Laser and Office Laser 2.\r\nGive each "
                                "printer an input folder of its own.";
    EXPECT_EQ(view.Messages(), std::vector<std::string>{refusal});
    EXPECT_EQ(LogMessages("General").back(), varnell::ReplaceAll(refusal, "\r\n", " "));
    EXPECT_TRUE(WatchedFolders().empty());
  }
}

}  // namespace
}  // namespace corvale
