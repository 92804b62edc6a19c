// The job store's recovery at Start: files an earlier run left there (a crash, a kill, a log-off
// it did not see) go back to their input folder and are taken again; nothing is replaced, the
// places beside the waiting jobs are left alone, and a job still printing is not touched.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "corvale/engine/job_store.h"
#include "corvale/engine/job_store_recovery.h"
#include "tests/fakes/fake_platform.h"

namespace corvale {
namespace {

class JobStoreRecoveryTest : public ::testing::Test, protected testing::ServerHarness {
 protected:
  JobStoreRecoveryTest() {
    printers.Add("Dorrow_Laser");
    printers.Add("Pellam_Ink");
  }
  void SetUp() override {
    Create();
    ConfigureSlot(1, "In1", "Done1", 5);
  }

  std::string Store(const std::string& relative) { return temp.Win("JobStore\\" + relative); }
  std::vector<std::string> Queued(int n) {
    std::vector<std::string> names;
    if (Engine().JobQueue[n]) {
      for (const TCTPQueueItem& job : *Engine().JobQueue[n])
        names.push_back(job.JobStoreFolder + "\\" + job.FileName);
    }
    return names;
  }
  std::string Left(const std::string& relative) {
    return Store(relative) + " was left in the job store by an earlier run; ";
  }
};

TEST_F(JobStoreRecoveryTest, FilesLeftBehindGoBackToTheirInputFolderAndAreTakenAgain) {
  temp.WriteFile("JobStore\\Dorrow_Laser\\a.afp", "a", 20);
  temp.WriteFile("JobStore\\Dorrow_Laser\\b.afp", "b", 10);
  temp.WriteFile("JobStore\\Dorrow_Laser\\Failed\\f.afp", "failed");
  temp.WriteFile("JobStore\\Dorrow_Laser\\Printed\\p.afp", "printed");
  Start();
  EXPECT_EQ(Queued(1),
            (std::vector<std::string>{Store("Dorrow_Laser\\a.afp"), Store("Dorrow_Laser\\b.afp")}));
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\a.afp"), "a");
  EXPECT_EQ(Ledger().JobsInFlight[1], 2);
  const std::vector<std::string> moves = LogMessages("MoveFile");
  ASSERT_GE(moves.size(), 4u);
  EXPECT_EQ(moves[0], Left("Dorrow_Laser\\a.afp") + "moved back to " + temp.Win("In1\\a.afp"));
  EXPECT_EQ(moves[1], Left("Dorrow_Laser\\b.afp") + "moved back to " + temp.Win("In1\\b.afp"));
  // The failed job and the printed one are the operator's: neither moves nor prints.
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\Failed\\f.afp"), "failed");
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\Printed\\p.afp"), "printed");
  for (const std::string& line : moves) EXPECT_EQ(line.find("Failed\\f.afp"), std::string::npos);
}

// The input folder holds another file of that name: neither replaces the other. The left file is
// printed from the job store, and the input folder's file is taken once it has printed.
TEST_F(JobStoreRecoveryTest, NameTakenInTheInputFolderPrintsTheLeftFileFromTheJobStore) {
  temp.WriteFile("JobStore\\Dorrow_Laser\\same.afp", "left");
  temp.WriteFile("In1\\same.afp", "dropped since");
  Start();
  EXPECT_EQ(Queued(1), std::vector<std::string>{Store("Dorrow_Laser\\same.afp")});
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\same.afp"), "left");
  EXPECT_EQ(temp.ReadFile("In1\\same.afp"), "dropped since");
  EXPECT_EQ(LogMessages("MoveFile").front(),
            Left("Dorrow_Laser\\same.afp") + temp.Win("In1\\same.afp") +
                " holds another file of that name, so it is printed from the job store");

  shell.SetAutoFinish(true);
  Server().DispatchTick();
  WaitForRunnersIdle();
  EXPECT_EQ(temp.ReadFile("Done1\\same.afp"), "left");
  Server().PollStatus();
  EXPECT_EQ(Queued(1), std::vector<std::string>{Store("Dorrow_Laser\\same.afp")});
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\same.afp"), "dropped since");
}

// Files of printers this run does not serve stay, each with a line at every Start.
TEST_F(JobStoreRecoveryTest, FilesOfPrintersNotServedStayWithALine) {
  temp.WriteFile("JobStore\\Pellam_Ink\\p.afp", "p");
  temp.WriteFile("JobStore\\Removed Printer\\r.afp", "r");
  Start();
  Server().Stop();
  Start();
  EXPECT_EQ(temp.ReadFile("JobStore\\Pellam_Ink\\p.afp"), "p");
  EXPECT_EQ(temp.ReadFile("JobStore\\Removed Printer\\r.afp"), "r");
  const std::string stays = "it stays there, since no watched printer takes it now";
  int pellam = 0, removed = 0;
  for (const std::string& line : LogMessages("MoveFile")) {
    pellam += line == Left("Pellam_Ink\\p.afp") + stays;
    removed += line == Left("Removed Printer\\r.afp") + stays;
  }
  EXPECT_EQ(pellam, 2);
  EXPECT_EQ(removed, 2);
}

// A job whose print utility still runs after a Stop is left where it is by the next Start.
TEST_F(JobStoreRecoveryTest, JobStillPrintingFromBeforeIsLeftAlone) {
  Start();
  temp.WriteFile("In1\\printing.afp", "p");
  Server().ScanInputFolder(settings.Slots[1].InputFolder);
  // Stop and Start come while the dispatch pass waits for the print utility, on its thread.
  std::promise<void> restarted;
  bool done = false;
  loop.OnPump = [&] {
    if (done) return;
    done = true;
    Server().Stop();
    Start();
    restarted.set_value();
  };
  std::thread pass([&] { Server().DispatchTick(); });
  ASSERT_TRUE(shell.WaitForLaunches(1));
  ASSERT_EQ(restarted.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_TRUE(temp.Exists("JobStore\\Dorrow_Laser\\printing.afp"));
  EXPECT_FALSE(temp.Exists("In1\\printing.afp"));
  EXPECT_TRUE(Queued(1).empty());
  shell.Finish(0);
  pass.join();
  WaitForRunnersIdle();
  EXPECT_EQ(temp.ReadFile("Done1\\printing.afp"), "p");
}

// A leftover whose input folder cannot be reached (a share not up yet at logon) is never
// stranded: it prints from the job store, with the system's reason in the log.
TEST_F(JobStoreRecoveryTest, FileThatCannotGoBackPrintsFromTheJobStore) {
  temp.WriteFile("JobStore\\Dorrow_Laser\\stuck.afp", "s");
  files.FailMovesFrom(Store("Dorrow_Laser\\stuck.afp"), 5);
  Start();
  EXPECT_TRUE(temp.Exists("JobStore\\Dorrow_Laser\\stuck.afp"));
  EXPECT_EQ(LogMessages("MoveFile").front(),
            "MoveFileEx ERROR (Access is denied.): " + Store("Dorrow_Laser\\stuck.afp") +
                " was left in the job store by an earlier run and could not be moved back to " +
                temp.Win("In1\\stuck.afp") + "; it is printed from the job store");
  EXPECT_EQ(Queued(1), std::vector<std::string>{Store("Dorrow_Laser\\stuck.afp")});
  files.FailMovesFrom(Store("Dorrow_Laser\\stuck.afp"), 0);
  shell.SetAutoFinish(true);
  Server().DispatchTick();
  WaitForRunnersIdle();
  EXPECT_EQ(temp.ReadFile("Done1\\stuck.afp"), "s");
}

// Every printer name gets a job store folder of its own that Windows accepts: characters a file
// name may not hold, a trailing dot or space and device names are written so that no two
// printers meet in one folder, while a name that needs none of this keeps its folder.
// Thousands of files left behind: the window's events run every few files meanwhile, and a Stop
// handled then ends the recovery with the files not reached still in the job store.
TEST_F(JobStoreRecoveryTest, LongRecoveryLetsEventsRunAndEndsAtAStop) {
  constexpr size_t kFiles = 2 * kRecoverySlice + 20;
  struct Case {
    bool stop_at_first_pump;
    size_t moved_back;
    bool running;
  };
  for (const Case& c : {Case{false, kFiles, true}, Case{true, size_t{kRecoverySlice - 1}, false}}) {
    SCOPED_TRACE(c.stop_at_first_pump ? "stopped" : "not stopped");
    std::filesystem::remove_all(temp.Native("In1"));
    std::filesystem::remove_all(temp.Native("JobStore\\Dorrow_Laser"));
    const size_t lines_before = LogMessages("MoveFile").size();
    for (size_t i = 0; i < kFiles; ++i) {
      const std::string name = "j" + std::to_string(1000 + i) + ".afp";
      temp.WriteFile("JobStore\\Dorrow_Laser\\" + name, name, static_cast<int>(kFiles - i));
    }
    loop.PumpCount = 0;
    bool stopped = false;
    loop.OnPump = [&] {
      if (c.stop_at_first_pump && !stopped) {
        stopped = true;
        Server().Stop();
      }
    };
    EXPECT_TRUE(Start());
    loop.OnPump = nullptr;
    EXPECT_EQ(Server().Running(), c.running);
    EXPECT_GE(loop.PumpCount, c.stop_at_first_pump ? 1 : 2);
    const std::vector<std::string> lines = LogMessages("MoveFile");
    const size_t moved = std::count_if(lines.begin() + lines_before, lines.end(), [](auto& line) {
      return line.find("by an earlier run; moved back to") != std::string::npos;
    });
    EXPECT_EQ(moved, c.moved_back);
    if (c.running) {
      Server().Stop();
    } else {
      // Oldest first: the files not reached are the newest, and wait for the next Start.
      const std::vector<std::string> left = temp.FilesIn("JobStore\\Dorrow_Laser");
      ASSERT_EQ(left.size(), kFiles - c.moved_back);
      EXPECT_EQ(left.front(), "j" + std::to_string(1000 + c.moved_back) + ".afp");
    }
  }
}

TEST(JobStoreFolderNameTest, EveryPrinterNameGetsAFolderOfItsOwn) {
  struct Case {
    const char* printer;
    const char* folder;
  };
  const Case cases[] = {
      {"Office Laser 2", "Office Laser 2"},
      {"\\\\srv\\q", "##srv#q"},
      {"a/b", "a,2Fb"},
      {"HP: 4th floor?", "HP,3A 4th floor,3F"},
      {"\"Big\" <A3>|*", ",22Big,22 ,3CA3,3E,7C,2A"},
      {"Tab\there", "Tab,09here"},
      {"Printer.", "Printer,2E"},
      {"Printer ", "Printer,20"},
      {"prn", ",prn"},
      {"LPT1.old", ",LPT1.old"},
      {"Console", "Console"},
  };
  std::set<std::string> folders;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.printer);
    EXPECT_EQ(JobStoreFolderName(c.printer), c.folder);
    folders.insert(JobStoreFolderName(c.printer));
  }
  EXPECT_EQ(folders.size(), std::size(cases));
}

// A printer whose name holds "/" keeps its jobs in one folder of the job store, where the next
// Start finds what a kill left behind.
TEST_F(JobStoreRecoveryTest, PrinterWithASlashInItsNameRecoversItsJobs) {
  DestroyServer();
  printers.Add("Floor 2/East");
  Create();
  ConfigureSlot(3, "In3", "Done3", 2);
  Start();
  temp.WriteFile("In3\\a.afp", "a");
  Server().ScanInputFolder(settings.Slots[3].InputFolder);
  EXPECT_EQ(temp.ReadFile("JobStore\\Floor 2,2FEast\\a.afp"), "a");
  DestroyServer();  // as a kill would leave it: the job stays in the store
  Create();
  ConfigureSlot(3, "In3", "Done3", 2);
  Start();
  const std::vector<std::string> moves = LogMessages("MoveFile");
  EXPECT_NE(std::find(moves.begin(), moves.end(),
                      Left("Floor 2,2FEast\\a.afp") + "moved back to " + temp.Win("In3\\a.afp")),
            moves.end());
  EXPECT_EQ(Queued(3), std::vector<std::string>{Store("Floor 2,2FEast\\a.afp")});
}

// A printed file that could be neither moved to its done folder nor set aside in "Printed" is
// noted as printed: the next Start leaves it where it is instead of printing it again, until it
// is another file of that name.
TEST_F(JobStoreRecoveryTest, PrintedFileNotedAsSuchIsNotPrintedAgain) {
  const std::string job = Store("Dorrow_Laser\\stuck.afp");
  temp.WriteFile("JobStore\\Dorrow_Laser\\stuck.afp", "s", 30);
  const int64_t last_write = LastWriteOf(files, temp.Win("JobStore\\Dorrow_Laser"), "stuck.afp");
  ASSERT_EQ(NoteAsPrinted(files, job, last_write), 0u);
  Start();
  EXPECT_TRUE(Queued(1).empty());
  EXPECT_FALSE(temp.Exists("In1\\stuck.afp"));
  EXPECT_EQ(LogMessages("MoveFile")[0],
            job +
                " was printed by an earlier run but could not be moved or deleted; it stays "
                "there and is not printed again");

  Server().Stop();
  temp.WriteFile("JobStore\\Dorrow_Laser\\stuck.afp", "another", 5);
  Start();
  EXPECT_EQ(Queued(1), std::vector<std::string>{job});
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\stuck.afp"), "another");
}

// One Corvale serves a computer: another, in any session, is refused at Start with the name of
// who serves, and touches neither the job store nor the folders; once the first has closed, it
// may serve.
TEST_F(JobStoreRecoveryTest, SecondServerOfTheComputerIsRefusedAndTouchesNothing) {
  Start();
  temp.WriteFile("JobStore\\Dorrow_Laser\\left.afp", "left");

  testing::FakeServerView second_view;
  system.user_name = "nightshift";
  system.session_id = 2;
  auto second = std::make_unique<PrintServer>(server_platform, second_view);
  second->ApplySettings(settings);
  const size_t lines = LogEntries().size();
  EXPECT_FALSE(second->Start(StartMode::kUnattended));
  const std::string refusal =
      "The Corvale of operator in session 1 serves this computer; this Corvale does not start "
      "and leaves the job store alone";
  EXPECT_EQ(second->ServedElsewhere(), "The Corvale of operator in session 1");
  EXPECT_EQ(second_view.Status(), refusal);
  EXPECT_EQ(LogEntries().size(), lines + 1);
  EXPECT_EQ(LogEntries().back(), "[General] " + refusal);
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\left.afp"), "left");
  EXPECT_FALSE(second->Running());
  second->Start(StartMode::kOperator);
  EXPECT_EQ(second_view.Messages(), std::vector<std::string>{refusal});

  Server().Close(kCloseWaitMs);
  EXPECT_TRUE(second->Start(StartMode::kUnattended));
  EXPECT_TRUE(second->ServedElsewhere().empty());
  EXPECT_EQ(LogEntries().back(), "[MoveFile] MoveFileEx OK: Moved " + temp.Win("In1\\left.afp") +
                                     " to " + Store("Dorrow_Laser\\left.afp"));
  second.reset();
}

// A lock this account may not open is someone else's as well: Start is refused, and the text says
// so without a name. Any other failure refuses with its reason, and is tried again.
TEST_F(JobStoreRecoveryTest, LockThatCannotBeHeldRefusesStart) {
  const std::string lock = temp.Win("JobStore\\Corvale.lock");
  struct Case {
    SystemError error;
    bool elsewhere;
    std::string text;
  };
  const Case cases[] = {
      {5, true,
       "Another Corvale serves this computer; this Corvale does not start and leaves the "
       "job store alone"},
      {3, false,
       "The server lock " + lock +
           " cannot be made (The system cannot find the path specified.); this Corvale "
           "does not start"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    files.FailHoldOf(lock, c.error);
    EXPECT_FALSE(Start(StartMode::kUnattended));
    EXPECT_EQ(Server().ServedElsewhere().empty(), !c.elsewhere);
    EXPECT_EQ(view.Status(), c.text);
  }
  files.FailHoldOf(lock, 0);
  EXPECT_TRUE(Start(StartMode::kUnattended));
}

}  // namespace
}  // namespace corvale
