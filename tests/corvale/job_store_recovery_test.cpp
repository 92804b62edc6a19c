// The job store's recovery at Start: files an earlier run left there (a crash, a kill, a log-off
// it did not see) go back to their input folder and are taken again; nothing is replaced, the
// places beside the waiting jobs are left alone, and a job still printing is not touched.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

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

TEST_F(JobStoreRecoveryTest, FileThatCannotGoBackStaysWithTheSystemsReason) {
  temp.WriteFile("JobStore\\Dorrow_Laser\\stuck.afp", "s");
  files.FailMovesFrom(Store("Dorrow_Laser\\stuck.afp"), 5);
  Start();
  EXPECT_TRUE(temp.Exists("JobStore\\Dorrow_Laser\\stuck.afp"));
  EXPECT_EQ(LogMessages("MoveFile").front(),
            "MoveFileEx ERROR (Access is denied.): " + Store("Dorrow_Laser\\stuck.afp") +
                " was left in the job store by an earlier run and stays there; it could not be "
                "moved back to " +
                temp.Win("In1\\stuck.afp"));
  EXPECT_TRUE(Queued(1).empty());
}

}  // namespace
}  // namespace corvale
