// Intake: a scan of an input folder takes its oldest files, up to the slot's free capacity, into
// the job store and the slot's queue. Real files in a temp folder; times order the files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/text.h"
#include "corvale/engine/errors.h"
#include "tests/fakes/fake_platform.h"

namespace corvale {
namespace {

using testing::ChangeOf;
using testing::Timeout;
using varnell::ToLowerAscii;

// Records every status text the server shows.
class StatusRecorder {
 public:
  explicit StatusRecorder(testing::FakeServerView& view) : view_(view) {
    view_.OnStatus = [this](const std::string& text) { texts.push_back(text); };
  }
  ~StatusRecorder() { view_.OnStatus = nullptr; }
  std::vector<std::string> texts;

 private:
  testing::FakeServerView& view_;
};

class IntakeTest : public ::testing::Test, protected testing::ServerHarness {
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
    Start();
    ASSERT_TRUE(Server().Running());
    ASSERT_TRUE(view.Messages().empty());
    mark_ = LogEntries().size();
  }

  std::string Input(int n) { return settings.Slots[n].InputFolder; }
  void Scan(int n) { Server().ScanInputFolder(Input(n)); }

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
  StatusRecorder status(view);
  const int pumps = loop.PumpCount;
  Scan(1);
  // Events run after each listed file and once more at the end.
  EXPECT_EQ(loop.PumpCount - pumps, 6);

  const std::string in = temp.Win("In1");
  const std::string store = temp.Win("JobStore\\Dorrow_Laser");
  EXPECT_EQ(Queued(1), (std::vector<std::string>{"c.afp", "a.afp"}));
  EXPECT_EQ(Ledger().JobsInFlight[1], 2);
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

// A full slot takes nothing, but the file it leaves behind is taken once the slot is idle, not
// at the folder's next change.
TEST_F(IntakeTest, FullSlotTakesNothingAndRemembersWhatItLeft) {
  temp.WriteFile("In2\\first.afp", "1", 20);
  Scan(2);
  ASSERT_FALSE(Engine().MoreFilesWaiting[2]);
  temp.WriteFile("In2\\second.afp", "2", 10);
  NewLogEntries();
  Scan(2);
  EXPECT_EQ(Queued(2), std::vector<std::string>{"first.afp"});
  EXPECT_EQ(view.Status(), "Input folder processing completed.");
  EXPECT_EQ(NewLogEntries(),
            std::vector<std::string>{"[Shell] Monitored file change in " + temp.Win("In2") + "\\"});
  EXPECT_EQ(temp.FilesIn("In2"), std::vector<std::string>{"second.afp"});
  EXPECT_TRUE(Engine().MoreFilesWaiting[2]);
  EXPECT_EQ(Engine().FreeCapacity[2], 0);
}

TEST_F(IntakeTest, FolderOfNoSlotEndsReady) {
  temp.WriteFile("In1\\a.afp", "a");
  const std::string texts[] = {"C:\\Nowhere", temp.Win("IN1"), temp.Win("In1\\")};
  for (const std::string& folder : texts) {
    SCOPED_TRACE(folder);
    view.ShowStatusText("");
    Server().ScanInputFolder(folder);
    EXPECT_EQ(view.Status(), "Ready.");
    EXPECT_TRUE(NewLogEntries().empty());
    EXPECT_TRUE(Queued(1).empty());
  }
  // A disabled slot is still found by its folder.
  settings.Slots[1].EnableIPDSEmulation = false;
  Apply();
  Scan(1);
  EXPECT_EQ(Queued(1), std::vector<std::string>{"a.afp"});
}

TEST_F(IntakeTest, EmptyFolderLogsOnlyTheMonitoredLine) {
  Scan(1);
  EXPECT_EQ(NewLogEntries(),
            std::vector<std::string>{"[Shell] Monitored file change in " + temp.Win("In1") + "\\"});
  EXPECT_EQ(view.Status(), "Ready.");
  EXPECT_EQ(Ledger().JobsInFlight[1], 0);
  EXPECT_FALSE(Engine().MoreFilesWaiting[1]);
}

// Start watches the trimmed text of a stored folder that has spaces around it; the report for
// that text still finds the slot.
TEST_F(IntakeTest, StoredFolderWithSpacesAroundItFindsItsSlot) {
  settings.Slots[2].InputFolder = "  " + temp.Win("In2") + " ";
  Apply();
  temp.WriteFile("In2\\a.afp", "a", 10);
  Server().ScanInputFolder(temp.Win("In2"));
  EXPECT_EQ(Queued(2), std::vector<std::string>{"a.afp"});
  EXPECT_EQ(Server().FindSlotByInputFolder(temp.Win("in2")), 0) << "folder texts compare with case";
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
  settings.Slots[1].InputFolder = temp.Win("In1") + "\\";
  Apply();
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

// A file that cannot be moved (its writer holds it open) costs no capacity: the next file is
// taken in its place, and the slot is marked for a rescan once idle.
TEST_F(IntakeTest, FileThatCannotBeMovedCostsNoCapacity) {
  const std::string in = temp.Win("In2");
  const std::string store = temp.Win("JobStore\\Pellam_Ink");
  temp.WriteFile("In2\\held.afp", "held", 30);
  temp.WriteFile("In2\\free.afp", "free", 20);
  temp.WriteFile("In2\\later.afp", "later", 10);
  files.FailMovesFrom(in + "\\held.afp", 32);
  Scan(2);
  EXPECT_EQ(Queued(2), std::vector<std::string>{"free.afp"});
  EXPECT_EQ(Ledger().JobsInFlight[2], 1);
  EXPECT_TRUE(temp.Exists("In2\\held.afp"));
  EXPECT_TRUE(temp.Exists("In2\\later.afp"));
  EXPECT_TRUE(Engine().MoreFilesWaiting[2]);
  EXPECT_EQ(NewLogEntries(),
            (std::vector<std::string>{
                "[Shell] Monitored file change in " + in + "\\",
                "[Shell] New file found in " + in + ", will take 1 file.",
                "[MoveFile] MoveFileEx ERROR (The process cannot access the file because it is "
                "being used by another process.): Failed to move " +
                    in + "\\held.afp to " + store + "\\held.afp",
                "[MoveFile] MoveFileEx OK: Moved " + in + "\\free.afp to " + store + "\\free.afp",
            }));
}

// A held file is logged once and then tried again quietly: the status tick does not rescan its
// folder every second (a line a second for as long as its writer holds it); the once-a-minute
// look into an idle slot's folder takes it as soon as it can be moved. A different failure is
// logged again.
TEST_F(IntakeTest, HeldFileIsLoggedOnceAndTriedAgainQuietlyUntilItCanBeTaken) {
  const std::string held = temp.Win("In1\\held.afp");
  temp.WriteFile("In1\\held.afp", "held");
  files.FailMovesFrom(held, 32);
  Scan(1);
  EXPECT_FALSE(Engine().MoreFilesWaiting[1]);
  auto count = [](const std::vector<std::string>& entries, const std::string& text) {
    return std::count_if(entries.begin(), entries.end(), [&](const std::string& entry) {
      return entry.find(text) != std::string::npos;
    });
  };
  EXPECT_EQ(count(NewLogEntries(), "MoveFileEx ERROR"), 1);

  for (int second = 1; second < 60; ++second) {
    clock.Advance(1);
    StatusTick();
  }
  std::vector<std::string> minute = NewLogEntries();
  EXPECT_EQ(count(minute, "[DeviceStatus] Print jobs in queue: 0"), 59);
  EXPECT_EQ(minute.size(), 59u) << "nothing but the job count in a minute";

  clock.Advance(1);
  StatusTick();
  minute = NewLogEntries();
  EXPECT_EQ(count(minute, "Monitored file change in " + temp.Win("In1")), 1);
  EXPECT_EQ(count(minute, "MoveFileEx ERROR"), 0);
  EXPECT_TRUE(Queued(1).empty());

  files.FailMovesFrom(held, 5);
  clock.Advance(60);
  StatusTick();
  EXPECT_EQ(count(NewLogEntries(), "MoveFileEx ERROR (Access is denied.)"), 1);

  files.FailMovesFrom(held, 0);
  clock.Advance(60);
  StatusTick();
  EXPECT_EQ(Queued(1), std::vector<std::string>{"held.afp"});
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\held.afp"), "held");
  EXPECT_TRUE(Engine().FailedMoves[1].empty());
}

// More held files than the queue depth: a held file costs no capacity and is not counted, so the
// slot does not look full, is not rescanned every second, and another slot's file is taken at
// once. A minute of status ticks adds the minute's look and nothing else.
TEST_F(IntakeTest, HeldFilesBeyondTheDepthMakeNoRescansAndDelayNoOtherSlot) {
  for (const char* name : {"h1.afp", "h2.afp", "h3.afp"}) {
    temp.WriteFile(std::string("In2\\") + name, name, 30);
    files.FailMovesFrom(temp.Win(std::string("In2\\") + name), 32);
  }
  Scan(2);
  EXPECT_FALSE(Engine().MoreFilesWaiting[2]);
  EXPECT_EQ(Ledger().JobsInFlight[2], 0);
  temp.WriteFile("In1\\other.afp", "o");
  StatusTick();
  Scan(1);
  EXPECT_EQ(Queued(1), std::vector<std::string>{"other.afp"});
  NewLogEntries();

  for (int second = 1; second <= 60; ++second) {
    clock.Advance(1);
    StatusTick();
  }
  std::vector<std::string> lines;
  for (const std::string& entry : NewLogEntries()) {
    if (entry.rfind("[DeviceStatus] Print jobs in queue:", 0) != 0) lines.push_back(entry);
  }
  // The minute's look into the idle slot: one listing, the same failures not logged again.
  EXPECT_LE(lines.size(), 3u) << ::testing::PrintToString(lines);
  EXPECT_EQ(temp.FilesIn("In2"), (std::vector<std::string>{"h1.afp", "h2.afp", "h3.afp"}));

  // Their writers close them: the next minute's look takes one, and each one printed makes room
  // for the next at once, not a minute later.
  for (const char* name : {"h1.afp", "h2.afp", "h3.afp"})
    files.FailMovesFrom(temp.Win(std::string("In2\\") + name), 0);
  clock.Advance(60);
  StatusTick();
  ASSERT_EQ(Queued(2).size(), 1u);
  Scan(2);  // the report of that move, which finds the slot full
  shell.SetAutoFinish(true);
  for (int job = 2; job <= 3; ++job) {
    SCOPED_TRACE(job);
    Server().DispatchTick();
    WaitForRunnersIdle();
    clock.Advance(1);
    StatusTick();
    EXPECT_EQ(Queued(2).size(), 1u);
  }
  EXPECT_TRUE(temp.FilesIn("In2").empty());
}

// A file named like a job that still waits or prints stays in the input folder, is not counted
// among the files the scan will take, and costs no capacity.
TEST_F(IntakeTest, FileNamedLikeAPendingJobWaitsUncounted) {
  Engine().DepthInForce[1] = 3;
  temp.WriteFile("In1\\same.afp", "first", 30);
  Scan(1);
  ASSERT_EQ(Queued(1), std::vector<std::string>{"same.afp"});
  temp.WriteFile("In1\\same.afp", "second", 20);
  temp.WriteFile("In1\\other.afp", "other", 10);
  NewLogEntries();
  Scan(1);
  EXPECT_EQ(Queued(1), (std::vector<std::string>{"same.afp", "other.afp"}));
  EXPECT_EQ(Ledger().JobsInFlight[1], 2);
  EXPECT_EQ(temp.ReadFile("In1\\same.afp"), "second");
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\same.afp"), "first");
  EXPECT_FALSE(Engine().MoreFilesWaiting[1]);
  const std::vector<std::string> log = NewLogEntries();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[1], "[Shell] New file found in " + temp.Win("In1") + ", will take 1 file.");
  for (const std::string& entry : log)
    EXPECT_EQ(entry.find("same.afp"), std::string::npos) << entry;
}

// A same-name file waiting for a job of an earlier run (whose runner still prints after a Stop
// and a new Start) is not rescanned every second; it is taken once that job is done.
TEST_F(IntakeTest, FileWaitingForAnEarlierRunsJobIsRescannedOnlyWhenThatJobEnds) {
  const std::string key = ToLowerAscii(temp.Win("JobStore\\Dorrow_Laser\\again.afp"));
  {
    std::lock_guard lock(Ledger().Mutex);
    Ledger().PendingJobFiles.emplace(key, key);
  }
  temp.WriteFile("In1\\again.afp", "again");
  Scan(1);
  EXPECT_TRUE(Queued(1).empty());
  EXPECT_EQ(NewLogEntries(),
            std::vector<std::string>{"[Shell] Monitored file change in " + temp.Win("In1") + "\\"});
  ASSERT_EQ(Ledger().JobsInFlight[1], 0);
  for (int tick = 0; tick < 5; ++tick) Server().PollStatus();
  for (const std::string& entry : NewLogEntries())
    EXPECT_EQ(entry, "[DeviceStatus] Print jobs in queue: 0");

  {
    std::lock_guard lock(Ledger().Mutex);
    Ledger().PendingJobFiles.erase(key);
  }
  Server().PollStatus();
  EXPECT_EQ(Queued(1), std::vector<std::string>{"again.afp"});
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\again.afp"), "again");
  Server().PollStatus();
  Server().PollStatus();
  const std::vector<std::string> later = NewLogEntries();
  EXPECT_EQ(std::count(later.begin(), later.end(),
                       "[Shell] Monitored file change in " + temp.Win("In1") + "\\"),
            1)
      << "one more scan, not a rescan every tick";
}

// A file left in the job store is a job of its own: a newer file of that name never replaces
// it; it waits in the input folder, with one line saying why.
TEST_F(IntakeTest, FileInTheJobStoreIsNeverReplaced) {
  temp.WriteFile("JobStore\\Dorrow_Laser\\old.afp", "left over");
  temp.WriteFile("In1\\old.afp", "new");
  Scan(1);
  Scan(1);
  EXPECT_TRUE(Queued(1).empty());
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\old.afp"), "left over");
  EXPECT_EQ(temp.ReadFile("In1\\old.afp"), "new");
  std::vector<std::string> errors;
  for (const std::string& line : LogMessages("MoveFile")) {
    if (line.rfind("MoveFileEx ERROR", 0) == 0) errors.push_back(line);
  }
  EXPECT_EQ(errors,
            std::vector<std::string>{
                "MoveFileEx ERROR (Cannot create a file when that file already exists.): "
                "Failed to move " +
                temp.Win("In1\\old.afp") + " to " + temp.Win("JobStore\\Dorrow_Laser\\old.afp")});
}

// A move that could only copy the file (a read-only file, a share where Corvale may read but
// not delete) would take it again and again: the copy goes, the file is not taken until it
// changes, and the log says so.
TEST_F(IntakeTest, FileThatAMoveOnlyCopiedIsNotTakenUntilItChanges) {
  const std::string source = temp.Win("In1\\kept.afp");
  temp.WriteFile("In1\\kept.afp", "kept", 30);
  files.CopyInsteadOfMovingFrom(source, true);
  Scan(1);
  Scan(1);
  EXPECT_TRUE(Queued(1).empty());
  EXPECT_EQ(Ledger().JobsInFlight[1], 0);
  EXPECT_TRUE(temp.FilesIn("JobStore\\Dorrow_Laser").empty());
  EXPECT_EQ(temp.ReadFile("In1\\kept.afp"), "kept");
  std::vector<std::string> errors;
  for (const std::string& line : LogMessages("MoveFile")) {
    if (line.rfind("MoveFileEx ERROR", 0) == 0) errors.push_back(line);
  }
  EXPECT_EQ(errors, std::vector<std::string>{
                        "MoveFileEx ERROR (the file was copied but cannot be removed from its "
                        "folder): " +
                        source + " is not taken until it changes"});

  // Written again (and now removable), it is taken.
  files.CopyInsteadOfMovingFrom(source, false);
  temp.WriteFile("In1\\kept.afp", "kept, new", 0);
  Scan(1);
  EXPECT_EQ(Queued(1), std::vector<std::string>{"kept.afp"});
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\kept.afp"), "kept, new");
}

// A new file of the same name written the moment the old one was moved is not taken for a copy
// left behind: the moved file is the job, and the new one waits for its own turn.
TEST_F(IntakeTest, NewFileOfTheSameNameRightAfterTheMoveIsNotTakenForACopy) {
  const std::string source = temp.Win("In1\\report.afp");
  temp.WriteFile("In1\\report.afp", "first", 60);
  files.AfterMoveFrom(source, [&] { temp.WriteFile("In1\\report.afp", "second", 0); });
  Scan(1);
  EXPECT_EQ(Queued(1), std::vector<std::string>{"report.afp"});
  EXPECT_EQ(temp.ReadFile("JobStore\\Dorrow_Laser\\report.afp"), "first");
  EXPECT_EQ(temp.ReadFile("In1\\report.afp"), "second");
}

// Reports that come while a scan runs are remembered, each folder once, and scanned in their
// order as soon as the running scan ends: no folder's change is lost.
TEST_F(IntakeTest, ReportsDuringAScanAreScannedRightAfterIt) {
  temp.WriteFile("In1\\a.afp", "a");
  temp.WriteFile("In2\\b.afp", "b");
  temp.WriteFile("In3\\c.afp", "c");
  int pumps = 0;
  loop.OnPump = [&] {
    if (pumps++ > 0) return;
    Scan(3);
    Scan(2);
    Scan(3);
    EXPECT_TRUE(Queued(2).empty() && Queued(3).empty()) << "nested scans must wait";
  };
  Scan(1);
  loop.OnPump = nullptr;
  EXPECT_EQ(Queued(1), std::vector<std::string>{"a.afp"});
  EXPECT_EQ(Queued(2), std::vector<std::string>{"b.afp"});
  EXPECT_EQ(Queued(3), std::vector<std::string>{"c.afp"});
  EXPECT_TRUE(Engine().RememberedScans.empty());
  std::vector<std::string> scanned;
  for (const std::string& entry : NewLogEntries()) {
    if (entry.rfind("[Shell] Monitored file change in ", 0) == 0) scanned.push_back(entry);
  }
  EXPECT_EQ(scanned, (std::vector<std::string>{
                         "[Shell] Monitored file change in " + temp.Win("In1") + "\\",
                         "[Shell] Monitored file change in " + temp.Win("In3") + "\\",
                         "[Shell] Monitored file change in " + temp.Win("In2") + "\\",
                     }));
}

// A log that cannot be written does not stop intake: the scan takes its files and the status
// bar says what is wrong with the log.
TEST_F(IntakeTest, UnwritableLogDoesNotStopTheScan) {
  temp.WriteFile("In1\\a.afp", "a");
  const std::string log = Server().Log().CurrentLogFile();
  files.FailAppendsTo(log, 3);
  EXPECT_NO_THROW(Scan(1));
  EXPECT_FALSE(Engine().Scanning);
  EXPECT_EQ(Queued(1), std::vector<std::string>{"a.afp"});
  EXPECT_TRUE(temp.Exists("JobStore\\Dorrow_Laser\\a.afp"));
  StatusTick();
  EXPECT_EQ(view.Status(), "The log file " + log + " cannot be written: Path not found");
  files.FailAppendsTo(log, 0);
  StatusTick();
  EXPECT_EQ(view.Status(), "Ready.");
}

TEST_F(IntakeTest, StopHandledDuringAScanLeavesEveryFileInPlace) {
  temp.WriteFile("In1\\a.afp", "a", 20);
  temp.WriteFile("In1\\b.afp", "b", 10);
  bool stopped = false;
  loop.OnPump = [&] {
    if (!stopped) Server().Stop();
    stopped = true;
  };
  Scan(1);
  loop.OnPump = nullptr;
  EXPECT_TRUE(stopped);
  EXPECT_FALSE(Engine().Scanning);
  EXPECT_EQ(temp.FilesIn("In1"), (std::vector<std::string>{"a.afp", "b.afp"}));
  EXPECT_EQ(Engine().JobQueue[1], nullptr);
  EXPECT_EQ(Ledger().JobsInFlight[1], 0);
  EXPECT_TRUE(files.Moves().empty());
  EXPECT_EQ(view.Status(), "Idle.");
}

// The interrupted scan takes nothing; the new Start's scan of the folder, which must wait for
// it, takes the files once it has ended.
TEST_F(IntakeTest, StopAndStartHandledDuringAScanTakeTheFilesAfterIt) {
  temp.WriteFile("In1\\a.afp", "a", 20);
  temp.WriteFile("In1\\b.afp", "b", 10);
  bool restarted = false;
  loop.OnPump = [&] {
    if (restarted) return;
    restarted = true;
    Server().Stop();
    Start();
    EXPECT_TRUE(Queued(1).empty()) << "the new Start's scan runs after the interrupted one";
  };
  Scan(1);
  loop.OnPump = nullptr;
  EXPECT_TRUE(restarted);
  EXPECT_FALSE(Engine().Scanning);
  EXPECT_TRUE(temp.FilesIn("In1").empty());
  EXPECT_EQ(Queued(1), (std::vector<std::string>{"a.afp", "b.afp"}));
  EXPECT_EQ(Ledger().JobsInFlight[1], 2);
  EXPECT_EQ(files.Moves().size(), 2u);
  EXPECT_EQ(view.Status(), "Ready.");
}

TEST_F(IntakeTest, WatcherReportReachesTheScanThroughTheNotifier) {
  temp.WriteFile("In2\\dropped.afp", "x");
  std::shared_ptr<testing::WaiterScript> script = watch.ScriptOf(Input(2));
  ASSERT_NE(script, nullptr);
  script->Feed({ChangeOf(TFileChange::fcFileName), Timeout()});
  ASSERT_TRUE(watch.WaitForPosts(1));
  watch.DeliverAll(*Server().Notifier());
  EXPECT_EQ(Queued(2), std::vector<std::string>{"dropped.afp"});
  EXPECT_EQ(temp.ReadFile("JobStore\\Pellam_Ink\\dropped.afp"), "x");
}

}  // namespace
}  // namespace corvale
