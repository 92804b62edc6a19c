// Intake: a scan of an input folder takes its oldest files, up to the slot's free capacity, into
// the job store and the slot's queue. Real files in a temp folder; times order the files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/fakes/form_harness.h"

namespace corvale {
namespace {

using testing::ChangeOf;
using testing::Timeout;

// Records every text the status bar shows.
class StatusRecorder : public ControlObserver {
 public:
  explicit StatusRecorder(StatusBar& bar) : bar_(bar) { bar_.SetObserver(this); }
  ~StatusRecorder() override { bar_.SetObserver(nullptr); }
  void ControlChanged(Control& control) override {
    if (&control == &bar_) texts.push_back(bar_.SimpleText());
  }
  std::vector<std::string> texts;

 private:
  StatusBar& bar_;
};

class IntakeTest : public ::testing::Test, protected testing::FormHarness {
 protected:
  IntakeTest() {
    printers.Add("Dorrow_Laser");
    printers.Add("Pellam_Ink");
    printers.Add("\\\\srv\\q");
  }

  void SetUp() override {
    Create();
    ConfigureSlot(1, "In1", "Done1", 2);
    ConfigureSlot(2, "In2", "Done2", 1);
    ConfigureSlot(3, "In3", "Done3", 1);
    Form().btnStartClick();
    ASSERT_TRUE(Form().ServerRunning());
    ASSERT_TRUE(dialogs.Messages().empty());
    mark_ = LogEntries().size();
  }

  EngineState& Engine() { return Form().Engine; }
  std::string Input(int n) { return Engine().Slots[n].InputFolder; }
  void Scan(int n) { Form().ScanInputFolder(nullptr, TFileChanges{}, Input(n)); }

  std::vector<std::string> Queued(int n) {
    std::vector<std::string> names;
    if (Engine().JobQueue[n]) {
      for (const TCTPQueueItem& job : *Engine().JobQueue[n]) names.push_back(job.FileName);
    }
    return names;
  }

  // Log entries written since the last call (or since the server started).
  std::vector<std::string> NewLogEntries() {
    std::vector<std::string> entries = LogEntries();
    std::vector<std::string> fresh(entries.begin() + static_cast<long>(mark_), entries.end());
    mark_ = entries.size();
    return fresh;
  }

  size_t mark_ = 0;
};

TEST_F(IntakeTest, FiveFilesIntoDepthTwoTakeTheTwoOldest) {
  // Name order differs from age order.
  temp.WriteFile("In1\\c.afp", "c", 50);
  temp.WriteFile("In1\\a.afp", "a", 40);
  temp.WriteFile("In1\\e.afp", "e", 30);
  temp.WriteFile("In1\\b.afp", "b", 20);
  temp.WriteFile("In1\\d.afp", "d", 10);
  StatusRecorder status(Form().statBar);
  const int pumps = loop.PumpCount;
  Scan(1);
  // Events run after each listed file and once more at the end.
  EXPECT_EQ(loop.PumpCount - pumps, 6);

  const std::string in = temp.Win("In1");
  const std::string store = temp.Win("JobStore\\Dorrow_Laser");
  EXPECT_EQ(Queued(1), (std::vector<std::string>{"c.afp", "a.afp"}));
  EXPECT_EQ(Engine().JobsInFlight[1], 2);
  EXPECT_EQ(Engine().FreeCapacity[1], 0);
  EXPECT_TRUE(Engine().MoreFilesWaiting[1]);
  EXPECT_FALSE(Engine().Scanning);
  EXPECT_EQ(temp.FilesIn("In1"), (std::vector<std::string>{"b.afp", "d.afp", "e.afp"}));
  EXPECT_EQ(temp.FilesIn("JobStore\\Dorrow_Laser"), (std::vector<std::string>{"a.afp", "c.afp"}));
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\c.afp"), "c");

  EXPECT_EQ(NewLogEntries(),
            (std::vector<std::string>{
                "[Shell] Monitored file change in " + in + "\\",
                "[Shell] New files found in " + in + ", will take 2 files.",
                "[MoveFile] MoveFileEx OK: Moved " + in + "\\c.afp to " + store + "\\c.afp",
                "[MoveFile] MoveFileEx OK: Moved " + in + "\\a.afp to " + store + "\\a.afp",
            }));
  EXPECT_EQ(status.texts, (std::vector<std::string>{
                              "Triggered at 14:20:00 for " + in,
                              "Checking ... " + in + "\\",
                              "Input folder processing completed.",
                              "Analyzing " + in + "\\c.afp ...",
                              "Moving " + in + "\\c.afp to " + store + "\\c.afp",
                              "Analyzing " + in + "\\a.afp ...",
                              "Moving " + in + "\\a.afp to " + store + "\\a.afp",
                              "Ready.",
                          }));

  const TCTPQueueItem& job = Engine().JobQueue[1]->front();
  EXPECT_EQ(job.InputFolder, in);
  EXPECT_EQ(job.DoneFolder, temp.Win("Done1"));
  EXPECT_EQ(job.JobStoreFolder, store);
}

TEST_F(IntakeTest, OneFileIsAnnouncedInTheSingular) {
  temp.WriteFile("In2\\only.afp", "x");
  Scan(2);
  const std::vector<std::string> log = NewLogEntries();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[1], "[Shell] New file found in " + temp.Win("In2") + ", will take 1 file.");
  EXPECT_EQ(Queued(2), std::vector<std::string>{"only.afp"});
  EXPECT_FALSE(Engine().MoreFilesWaiting[2]);
}

TEST_F(IntakeTest, FullSlotTakesNothing) {
  temp.WriteFile("In2\\first.afp", "1", 20);
  Scan(2);
  temp.WriteFile("In2\\second.afp", "2", 10);
  NewLogEntries();
  Scan(2);
  EXPECT_EQ(Queued(2), std::vector<std::string>{"first.afp"});
  EXPECT_EQ(Form().statBar.SimpleText(), "Input folder processing completed.");
  EXPECT_EQ(NewLogEntries(),
            std::vector<std::string>{"[Shell] Monitored file change in " + temp.Win("In2") + "\\"});
  EXPECT_EQ(temp.FilesIn("In2"), std::vector<std::string>{"second.afp"});
  EXPECT_FALSE(Engine().MoreFilesWaiting[2]);
  EXPECT_EQ(Engine().FreeCapacity[2], 0);
}

TEST_F(IntakeTest, FolderOfNoSlotEndsReady) {
  temp.WriteFile("In1\\a.afp", "a");
  const std::string texts[] = {"C:\\Nowhere", temp.Win("IN1"), temp.Win("In1\\")};
  for (const std::string& folder : texts) {
    SCOPED_TRACE(folder);
    Form().statBar.SetSimpleText("");
    Form().ScanInputFolder(nullptr, TFileChanges{}, folder);
    EXPECT_EQ(Form().statBar.SimpleText(), "Ready.");
    EXPECT_TRUE(NewLogEntries().empty());
    EXPECT_TRUE(Queued(1).empty());
  }
  // A disabled slot is still found by its folder.
  Engine().Slots[1].EnableIPDSEmulation = false;
  Scan(1);
  EXPECT_EQ(Queued(1), std::vector<std::string>{"a.afp"});
}

TEST_F(IntakeTest, EmptyFolderLogsOnlyTheMonitoredLine) {
  Scan(1);
  EXPECT_EQ(NewLogEntries(),
            std::vector<std::string>{"[Shell] Monitored file change in " + temp.Win("In1") + "\\"});
  EXPECT_EQ(Form().statBar.SimpleText(), "Ready.");
  EXPECT_EQ(Engine().JobsInFlight[1], 0);
  EXPECT_FALSE(Engine().MoreFilesWaiting[1]);
}

// Start watches the trimmed text of a stored folder that has spaces around it; the report for
// that text still finds the slot.
TEST_F(IntakeTest, StoredFolderWithSpacesAroundItFindsItsSlot) {
  Engine().Slots[2].InputFolder = "  " + temp.Win("In2") + " ";
  temp.WriteFile("In2\\a.afp", "a", 10);
  Form().ScanInputFolder(nullptr, TFileChanges{}, temp.Win("In2"));
  EXPECT_EQ(Queued(2), std::vector<std::string>{"a.afp"});
  EXPECT_EQ(Form().FindSlotByInputFolder(temp.Win("in2")), 0) << "folder texts compare with case";
}

TEST_F(IntakeTest, SubfoldersAreNeitherListedNorTaken) {
  temp.WriteFile("In1\\sub\\inner.afp", "inner", 50);
  std::filesystem::create_directories(temp.Native("In1\\empty.dir"));
  temp.WriteFile("In1\\top.afp", "top", 10);
  Scan(1);
  EXPECT_EQ(Queued(1), std::vector<std::string>{"top.afp"});
  EXPECT_TRUE(temp.Exists("In1\\sub\\inner.afp"));
  EXPECT_TRUE(temp.Exists("In1\\empty.dir"));
  EXPECT_FALSE(Engine().MoreFilesWaiting[1]);
  EXPECT_EQ(NewLogEntries()[1],
            "[Shell] New file found in " + temp.Win("In1") + ", will take 1 file.");
}

TEST_F(IntakeTest, InputFolderWithTrailingDelimiterIsListedOnce) {
  Engine().Slots[1].InputFolder = temp.Win("In1") + "\\";
  temp.WriteFile("In1\\a.afp", "a");
  Scan(1);
  EXPECT_EQ(NewLogEntries()[0], "[Shell] Monitored file change in " + temp.Win("In1") + "\\");
  ASSERT_EQ(Queued(1).size(), 1u);
  EXPECT_EQ(Engine().JobQueue[1]->front().InputFolder, temp.Win("In1"));
}

TEST_F(IntakeTest, NetworkPrinterJobsWaitInItsKeyNamedStoreFolder) {
  temp.WriteFile("In3\\net.afp", "net");
  Scan(3);
  EXPECT_EQ(temp.ReadFile("JobStore\\##srv#q\\net.afp"), "net");
  EXPECT_EQ(Engine().JobQueue[3]->front().JobStoreFolder, temp.Win("JobStore\\##srv#q"));
}

TEST_F(IntakeTest, FileThatCannotBeMovedStaysAndIsNotQueued) {
  const std::string in = temp.Win("In1");
  const std::string store = temp.Win("JobStore\\Dorrow_Laser");
  temp.WriteFile("In1\\held.afp", "held", 20);
  temp.WriteFile("In1\\free.afp", "free", 10);
  files.FailMovesFrom(in + "\\held.afp", 32);
  Scan(1);
  EXPECT_EQ(Queued(1), std::vector<std::string>{"free.afp"});
  EXPECT_EQ(Engine().JobsInFlight[1], 1);
  EXPECT_TRUE(temp.Exists("In1\\held.afp"));
  const std::vector<std::string> log = NewLogEntries();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[2],
            "[MoveFile] MoveFileEx ERROR (The process cannot access the file because it is "
            "being used by another process.): Failed to move " +
                in + "\\held.afp to " + store + "\\held.afp");
  EXPECT_EQ(log[3],
            "[MoveFile] MoveFileEx OK: Moved " + in + "\\free.afp to " + store + "\\free.afp");
}

TEST_F(IntakeTest, FileNamedLikeAPendingJobWaitsInTheInputFolder) {
  Engine().DepthInForce[1] = 3;
  temp.WriteFile("In1\\same.afp", "first", 30);
  Scan(1);
  ASSERT_EQ(Queued(1), std::vector<std::string>{"same.afp"});
  temp.WriteFile("In1\\same.afp", "second", 20);
  temp.WriteFile("In1\\other.afp", "other", 10);
  NewLogEntries();
  Scan(1);
  EXPECT_EQ(Queued(1), (std::vector<std::string>{"same.afp", "other.afp"}));
  EXPECT_EQ(Engine().JobsInFlight[1], 2);
  EXPECT_EQ(temp.ReadFile("In1\\same.afp"), "second");
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\same.afp"), "first");
  EXPECT_TRUE(Engine().MoreFilesWaiting[1]);
  for (const std::string& entry : NewLogEntries())
    EXPECT_EQ(entry.find("same.afp"), std::string::npos) << entry;
}

TEST_F(IntakeTest, LeftOverJobStoreFileOfNoPendingJobIsReplaced) {
  temp.WriteFile("JobStore\\Dorrow_Laser\\old.afp", "left over");
  temp.WriteFile("In1\\old.afp", "new");
  Scan(1);
  EXPECT_EQ(Queued(1), std::vector<std::string>{"old.afp"});
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\old.afp"), "new");

  // Stop drops the queued job; after the next Start its name is free again.
  Form().btnStopClick();
  Form().btnStartClick();
  temp.WriteFile("In1\\old.afp", "newer");
  Scan(1);
  EXPECT_EQ(Queued(1), std::vector<std::string>{"old.afp"});
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\old.afp"), "newer");
}

TEST_F(IntakeTest, ReportDuringAScanIsDropped) {
  temp.WriteFile("In1\\a.afp", "a");
  temp.WriteFile("In2\\b.afp", "b");
  int nested = 0;
  loop.OnPump = [&] {
    if (nested++ == 0) Scan(2);
  };
  Scan(1);
  loop.OnPump = nullptr;
  EXPECT_GT(nested, 0);
  EXPECT_EQ(Queued(1), std::vector<std::string>{"a.afp"});
  EXPECT_TRUE(Queued(2).empty());
  EXPECT_TRUE(temp.Exists("In2\\b.afp"));
  for (const std::string& entry : NewLogEntries())
    EXPECT_EQ(entry.find(temp.Win("In2")), std::string::npos) << entry;
  // The guard is cleared afterwards.
  Scan(2);
  EXPECT_EQ(Queued(2), std::vector<std::string>{"b.afp"});
}

TEST_F(IntakeTest, StopHandledDuringAScanLeavesEveryFileInPlace) {
  struct Case {
    const char* name;
    bool restart;
  };
  for (const Case& c : {Case{"stop", false}, Case{"stop and start", true}}) {
    SCOPED_TRACE(c.name);
    temp.WriteFile("In1\\a.afp", "a", 20);
    temp.WriteFile("In1\\b.afp", "b", 10);
    bool done = false;
    loop.OnPump = [&] {
      if (done) return;
      done = true;
      Form().btnStopClick();
      if (c.restart) Form().btnStartClick();
    };
    Scan(1);
    loop.OnPump = nullptr;
    EXPECT_TRUE(done);
    EXPECT_EQ(temp.FilesIn("In1"), (std::vector<std::string>{"a.afp", "b.afp"}));
    EXPECT_TRUE(Queued(1).empty());
    EXPECT_EQ(Engine().JobsInFlight[1], 0);
    EXPECT_FALSE(Engine().MoreFilesWaiting[1]);
    EXPECT_EQ(Engine().JobQueue[1] != nullptr, c.restart);
    EXPECT_FALSE(Engine().Scanning);
    EXPECT_TRUE(files.Moves().empty());
    EXPECT_EQ(Form().statBar.SimpleText(), c.restart ? "Ready." : "Idle.");
    if (!c.restart) Form().btnStartClick();
  }
}

TEST_F(IntakeTest, WatcherReportReachesTheScanThroughTheNotifier) {
  temp.WriteFile("In2\\dropped.afp", "x");
  std::shared_ptr<testing::WaiterScript> script = watch.ScriptOf(Input(2));
  ASSERT_NE(script, nullptr);
  script->Feed({ChangeOf(TFileChange::fcFileName), Timeout()});
  ASSERT_TRUE(watch.WaitForPosts(1));
  watch.DeliverAll(*Form().Notifier);
  EXPECT_EQ(Queued(2), std::vector<std::string>{"dropped.afp"});
  EXPECT_EQ(temp.ReadFile("JobStore\\Pellam_Ink\\dropped.afp"), "x");
}

}  // namespace
}  // namespace corvale
