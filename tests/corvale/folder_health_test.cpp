// The health of the watched folders: a watch that fails is made again, a folder that goes away
// is watched again and scanned when it is back (and counts as gone, with a line, only after
// several checks), every idle folder is looked into once a minute, and an input folder edited
// while the server runs is said to take effect at the next Start. Time passes on the fake clock;
// each status tick is one second.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/fakes/fake_platform.h"

namespace corvale {
namespace {

using testing::ChangeOf;
using testing::Timeout;

class FolderHealthTest : public ::testing::Test, protected testing::ServerHarness {
 protected:
  FolderHealthTest() {
    printers.Add("Dorrow_Laser");
    printers.Add("Pellam_Ink");
  }

  void SetUp() override { Create(); }

  void Start() {
    ConfigureSlot(1, "In1", "Done1", 2);
    ConfigureSlot(2, "In2", "Done2", 2);
    ServerHarness::Start();
    ASSERT_TRUE(Server().Running());
    mark_ = LogEntries().size();
  }

  // `seconds` status ticks, one a second, handing the watchers' messages over after each.
  void Ticks(int seconds) {
    for (int i = 0; i < seconds; ++i) {
      clock.Advance(1);
      StatusTick();
      Deliver();
    }
  }
  // Lets every watcher that can post do so, then hands the messages to the notifier.
  void Deliver() {
    ASSERT_TRUE(watch.WaitUntilQuiet());
    watch.DeliverAll(*Server().Notifier());
  }

  // The log lines since the last call, without the job count of every tick.
  std::vector<std::string> NewLines() {
    std::vector<std::string> entries = LogEntries();
    std::vector<std::string> fresh;
    for (size_t i = mark_; i < entries.size(); ++i) {
      if (entries[i].rfind("[DeviceStatus] Print jobs in queue:", 0) != 0)
        fresh.push_back(entries[i]);
    }
    mark_ = entries.size();
    return fresh;
  }
  size_t Queued(int n) { return Engine().JobQueue[n] ? Engine().JobQueue[n]->size() : 0; }

  size_t mark_ = 0;
};

// A watch that fails on a folder that is there is made again at the next check, then once a
// minute; the failure is logged once, and the status bar names the folder until it is watched.
TEST_F(FolderHealthTest, FailingWatchIsMadeAgainAndLoggedOnce) {
  const std::string in1 = temp.Win("In1");
  temp.WriteFile("In1\\waiting.afp", "w");
  watch.FailToOpen(in1);
  Start();
  Deliver();
  // The scan of Start took the file already; what follows is about the watch alone.
  ASSERT_EQ(Queued(1), 1u);
  EXPECT_EQ(NewLines(), std::vector<std::string>{
                            "[Shell] Watch ERROR (The system cannot find the path specified.): " +
                            in1 + " is not watched for now; it is watched again"});
  EXPECT_EQ(view.Status(), "Ready.");
  Ticks(4);
  EXPECT_EQ(watch.ScriptCount(in1), 2u);
  EXPECT_EQ(view.Status(), "Not watched: " + in1);
  Ticks(57);
  EXPECT_EQ(watch.ScriptCount(in1), 2u) << "a failing watch is tried once a minute";
  Ticks(3);
  EXPECT_EQ(watch.ScriptCount(in1), 3u);
  const std::vector<std::string> lines = NewLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) {
                            return line.find("Watch ERROR") != std::string::npos;
                          }),
            0);

  watch.OpenAgain(in1);
  Ticks(60);
  EXPECT_EQ(watch.ScriptCount(in1), 4u);
  Ticks(3);
  EXPECT_EQ(view.Status(), "Ready.");
  EXPECT_FALSE(watch.ScriptOf(in1)->Destroyed());
  EXPECT_EQ(Server().Notifier()->FolderCount(), 2);
}

// A watched folder deleted (its watcher reports it) counts as gone only after several checks in
// a row have missed it; from then on it is looked for once a minute, and once it is back it is
// watched again and scanned, with a line each way.
TEST_F(FolderHealthTest, DeletedFolderIsWatchedAgainAndScannedWhenItIsBack) {
  Start();
  const std::string in2 = temp.Win("In2");
  std::filesystem::remove_all(temp.Native("In2"));
  auto script = watch.ScriptOf(in2);
  script->SetFolderIsDirectory(false);
  const size_t posted = watch.Posted().size();
  script->Feed({ChangeOf(TFileChange::fcDirName), Timeout()});
  // Its watcher reports the deletion and ends.
  ASSERT_TRUE(watch.WaitForPosts(posted + 1));
  watch.DeliverAll(*Server().Notifier());
  EXPECT_EQ(Server().Notifier()->FolderCount(), 1);
  Ticks(6);
  EXPECT_TRUE(NewLines().empty()) << "two missed checks are not enough";
  Ticks(3);
  EXPECT_EQ(NewLines(), std::vector<std::string>{"[Shell] " + in2 +
                                                 " cannot be reached; it is watched again when "
                                                 "it is back"});
  EXPECT_EQ(view.Status(), "Not watched: " + in2);
  Ticks(30);
  EXPECT_TRUE(NewLines().empty()) << "gone is said once";

  temp.WriteFile("In2\\while-away.afp", "w");
  Ticks(29);
  EXPECT_TRUE(NewLines().empty()) << "a folder that is gone is looked for once a minute";
  Ticks(1);
  const std::vector<std::string> lines = NewLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "[Shell] " + in2 + " is back; it is watched again");
  EXPECT_EQ(Queued(2), 1u);
  EXPECT_FALSE(temp.Exists("In2\\while-away.afp"));
  EXPECT_EQ(watch.ScriptCount(in2), 2u);
  EXPECT_FALSE(watch.ScriptOf(in2)->Destroyed());
  EXPECT_EQ(Server().Notifier()->FolderCount(), 2);
  EXPECT_EQ(view.Status(), "Ready.");
}

// A folder missing at one check only (a share that dropped for a moment): its watch, which saw
// nothing of what came back, is made afresh and the folder scanned, without a line about it.
TEST_F(FolderHealthTest, FolderMissingForAMomentIsWatchedAfreshWithoutALine) {
  Start();
  const std::string in1 = temp.Win("In1");
  std::filesystem::remove_all(temp.Native("In1"));
  Ticks(3);
  EXPECT_TRUE(watch.ScriptOf(in1)->Destroyed());
  temp.WriteFile("In1\\back.afp", "b");
  Ticks(3);
  EXPECT_EQ(watch.ScriptCount(in1), 2u);
  EXPECT_FALSE(watch.ScriptOf(in1)->Destroyed());
  EXPECT_EQ(Queued(1), 1u);
  for (const std::string& line : NewLines()) {
    EXPECT_EQ(line.find("cannot be reached"), std::string::npos) << line;
    EXPECT_EQ(line.find("is back"), std::string::npos) << line;
  }
}

// A folder deleted and made again between two checks is another folder, which the old watch does
// not see: the check finds it out by the folder's identity, and watches and scans it afresh.
TEST_F(FolderHealthTest, FolderMadeAgainBetweenTwoChecksIsWatchedAfresh) {
  Start();
  const std::string in2 = temp.Win("In2");
  Ticks(6);
  ASSERT_EQ(watch.ScriptCount(in2), 1u);
  files.SetFolderIdentity(in2, "made again");
  temp.WriteFile("In2\\unseen.afp", "u");
  Ticks(3);
  EXPECT_EQ(watch.ScriptCount(in2), 2u);
  EXPECT_TRUE(watch.Scripts()[1]->Destroyed());
  EXPECT_FALSE(watch.ScriptOf(in2)->Destroyed());
  EXPECT_EQ(Queued(2), 1u);
  Ticks(30);
  EXPECT_EQ(watch.ScriptCount(in2), 2u) << "the same folder is not watched afresh again";
}

// A change report lost on the way costs at most a minute: an idle slot's folder is looked into
// once a minute, an empty one without a line; a busy slot's folder is left to its rescan.
TEST_F(FolderHealthTest, IdleFoldersAreLookedIntoOnceAMinute) {
  Start();
  Ticks(120);
  EXPECT_TRUE(NewLines().empty()) << "an empty folder costs no line";

  temp.WriteFile("In1\\unreported.afp", "u");
  Ticks(59);
  EXPECT_EQ(Queued(1), 0u);
  Ticks(1);
  EXPECT_EQ(Queued(1), 1u);

  // Slot 1 now has a job in flight: its folder waits for that job's end.
  temp.WriteFile("In1\\second.afp", "s");
  Ticks(120);
  EXPECT_EQ(Queued(1), 1u);
  EXPECT_TRUE(temp.Exists("In1\\second.afp"));
}

// A share whose server is off can hold a look at its folder for the network's time-out: the look
// is made off the main thread, so the status tick, dispatch and the other folders go on; no second
// look starts while one is under way, and what it finds is taken up once it returns.
TEST_F(FolderHealthTest, LookThatHangsHoldsNothingOnTheMainThread) {
  Start();
  const std::string in2 = temp.Win("In2");
  files.HoldLooksAt(in2);
  clock.Advance(3);
  Server().StatusTick();
  ASSERT_TRUE(files.WaitForHeldLook());
  ASSERT_TRUE(Server().FolderLookUnderWay());
  temp.WriteFile("In1\\meanwhile.afp", "m");
  for (int second = 0; second < 10; ++second) {
    clock.Advance(1);
    Server().StatusTick();
  }
  Server().ScanInputFolder(temp.Win("In1"));
  EXPECT_EQ(Queued(1), 1u) << "intake went on while the look hung";
  std::filesystem::remove_all(temp.Native("In2"));
  files.ReleaseLooks();
  while (Server().FolderLookUnderWay()) {
    loop.WaitForEvents();
    loop.RunPosted();
  }
  // The look that hung saw In2 there; the next ones miss it.
  NewLines();
  Ticks(9);
  EXPECT_EQ(NewLines(), std::vector<std::string>{"[Shell] " + in2 +
                                                 " cannot be reached; it is watched again when "
                                                 "it is back"});
}

// Intervals are timed on a steady count: a clock set back an hour (a time service, daylight
// saving in a bad setup) does not stop the checks for an hour.
TEST_F(FolderHealthTest, ClockSetBackStopsNoCheck) {
  Start();
  LocalTime earlier = clock.Now();
  earlier.hour -= 1;
  clock.Set(earlier);
  std::filesystem::remove_all(temp.Native("In1"));
  Ticks(9);
  EXPECT_EQ(NewLines(), std::vector<std::string>{"[Shell] " + temp.Win("In1") +
                                                 " cannot be reached; it is watched again when "
                                                 "it is back"});
}

// An input folder edited while the server runs: the folder watched since Start stays watched
// for its slot (its reports are not dropped), and the log and the status bar say that the new
// folder is watched from the next Start.
TEST_F(FolderHealthTest, InputFolderEditedWhileRunningTakesEffectAtTheNextStart) {
  Start();
  const std::string in1 = temp.Win("In1");
  settings.Slots[1].InputFolder = temp.Win("Elsewhere");
  Apply();
  temp.WriteFile("In1\\a.afp", "a");
  watch.ScriptOf(in1)->Feed({ChangeOf(TFileChange::fcFileName), Timeout()});
  Deliver();
  EXPECT_EQ(Queued(1), 1u);
  ASSERT_EQ(Engine().JobQueue[1]->front().InputFolder, in1);
  Ticks(6);
  const std::vector<std::string> lines = NewLines();
  const std::string noted =
      "[Shell] The input folder of Dorrow_Laser was changed while the server "
      "runs; " +
      in1 + " is watched until the next Start, the new folder from then on";
  EXPECT_EQ(std::count(lines.begin(), lines.end(), noted), 1);
  EXPECT_EQ(view.Status(), "New input folder from the next Start: Dorrow_Laser");

  Server().Stop();
  ServerHarness::Start();
  EXPECT_NE(watch.ScriptOf(temp.Win("Elsewhere")), nullptr);
}

}  // namespace
}  // namespace corvale
