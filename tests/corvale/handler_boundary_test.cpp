// The handler boundary: an error raised from any entry of the message loop (change reports,
// folder reports, timers, posted calls) is shown once, ends only its handler and leaves the
// engine consistent; a log that cannot be written pauses the server without a crash, and the
// log goes on by itself once it can be written again.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/text.h"
#include "corvale/engine/errors.h"
#include "tests/fakes/form_harness.h"

namespace corvale {
namespace {

using testing::ChangeOf;
using testing::Timeout;

class HandlerBoundaryTest : public ::testing::Test, protected testing::FormHarness {
 protected:
  HandlerBoundaryTest() {
    printers.Add("Dorrow_Laser");
    printers.Add("Pellam_Ink");
  }

  void SetUp() override {
    Create();
    ConfigureSlot(1, "In1", "Done1", 3);
    ConfigureSlot(2, "In2", "Done2", 1);
    Form().btnStartClick();
    ASSERT_TRUE(Form().ServerRunning());
    log_ = Form().Log.CurrentLogFile();
  }

  EngineState& Engine() { return Form().Engine; }
  void BreakLog(int after = 0) { files.FailAppendsTo(log_, 3, after); }
  void MendLog() { files.FailAppendsTo(log_, 0); }
  std::string LogBroken() const {
    return "The log file " + log_ + " cannot be written: Path not found";
  }
  void Scan(int n) { Form().ScanInputFolder(nullptr, {}, Engine().Slots[n].InputFolder); }
  size_t Queued(int n) { return Engine().JobQueue[n] ? Engine().JobQueue[n]->size() : 0; }

  // Lets the watcher of slot n report one burst to the notifier's window.
  void Report(int n, TFileChange change) {
    const size_t before = watch.Posted().size();
    watch.ScriptOf(varnell::Trim(Engine().Slots[n].InputFolder))
        ->Feed({ChangeOf(change), Timeout()});
    ASSERT_TRUE(watch.WaitForPosts(before + 1));
  }

  void ExpectEngineConsistent() {
    EXPECT_FALSE(Engine().Scanning);
    EXPECT_FALSE(Engine().Dispatching);
    EXPECT_FALSE(Engine().RunnerBusy);
  }

  std::string log_;
};

TEST_F(HandlerBoundaryTest, FormCreateInstallsTheBoundaryForPostedCalls) {
  EXPECT_TRUE(loop.HasHandlerBoundary());
  loop.PostToMain([] { throw Error("raised by a posted call"); });
  EXPECT_NO_THROW(loop.RunPosted());
  EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"raised by a posted call"});
  DestroyForm();
  EXPECT_FALSE(loop.HasHandlerBoundary());
}

// Each entry point, with the log unwritable: the error is shown once, its handler ends, the
// engine's flags stay consistent, and nothing reaches the loop.
TEST_F(HandlerBoundaryTest, EveryEntryOfTheLoopShowsItsErrorOnceAndStaysConsistent) {
  temp.WriteFile("In1\\queued.afp", "q");
  Scan(1);
  ASSERT_EQ(Queued(1), 1u);
  struct Case {
    const char* name;
    std::function<void()> enter;
  };
  const Case cases[] = {
      {"change report",
       [&] {
         Report(1, TFileChange::fcFileName);
         watch.DeliverAll(*Form().Notifier);
       }},
      {"status tick", [&] { Form().Guarded([&] { Form().Timer1.Tick(); }); }},
      {"dispatch tick", [&] { Form().Guarded([&] { Form().Timer2.Tick(); }); }},
      {"log tick",
       [&] {
         // A log over its limit is deleted, and the line telling so cannot be written.
         std::filesystem::resize_file(temp.Native("Varnell.log"), 1048577);
         Form().LogOptions.KeepLogFileSmall = true;
         Form().LogOptions.KeepLogFileSize = 1;
         Form().Guarded([&] { Form().Timer3.Tick(); });
       }},
      {"folder deleted report",
       [&] {
         watch.ScriptOf(varnell::Trim(Engine().Slots[2].InputFolder))->SetFolderIsDirectory(false);
         Report(2, TFileChange::fcDirName);
         watch.DeliverAll(*Form().Notifier);
       }},
  };
  BreakLog();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.Clear();
    EXPECT_NO_THROW(c.enter());
    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"Path not found"});
    EXPECT_EQ(Form().statBar.SimpleText(), LogBroken());
    ExpectEngineConsistent();
    EXPECT_TRUE(Form().ServerRunning());
  }
  // Nothing was lost on the way: the queued job waits at the head of its queue, unprinted.
  EXPECT_EQ(Queued(1), 1u);
  EXPECT_EQ(Engine().JobsInFlight[1], 1);
  EXPECT_EQ(shell.LaunchCount(), 0u);
  EXPECT_EQ(Form().Notifier->FolderCount(), 1);
}

TEST_F(HandlerBoundaryTest, WhileAnErrorBoxIsOpenFurtherErrorsOnlyReachTheStatusBar) {
  BreakLog();
  std::vector<size_t> boxes_seen;
  dialogs.OnError = [&](const std::string&) {
    // The box's own message loop runs timers meanwhile.
    for (int tick = 0; tick < 3; ++tick) {
      Form().Guarded([&] { Form().Timer1.Tick(); });
      boxes_seen.push_back(dialogs.Errors().size());
      EXPECT_EQ(Form().statBar.SimpleText(), LogBroken());
    }
    Form().Guarded([] { throw Error("Invalid data type for 'HelpCurPath'"); });
    EXPECT_EQ(Form().statBar.SimpleText(), "Invalid data type for 'HelpCurPath'");
  };
  Form().Guarded([&] { Form().Timer1.Tick(); });
  EXPECT_EQ(boxes_seen, (std::vector<size_t>{1, 1, 1}));
  EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"Path not found"});

  // Once the box is closed, the next error has a box of its own.
  dialogs.OnError = nullptr;
  Form().Guarded([&] { Form().Timer1.Tick(); });
  EXPECT_EQ(dialogs.Errors().size(), 2u);
}

TEST_F(HandlerBoundaryTest, LoggingGoesOnByItselfOnceTheLogCanBeWrittenAgain) {
  temp.WriteFile("In1\\a.afp", "a");
  BreakLog();
  Report(1, TFileChange::fcFileName);
  watch.DeliverAll(*Form().Notifier);
  Form().Guarded([&] { Form().Timer1.Tick(); });
  EXPECT_TRUE(temp.Exists("In1\\a.afp"));
  const size_t before = LogEntries().size();

  MendLog();
  Form().Guarded([&] { Form().Timer1.Tick(); });
  EXPECT_EQ(dialogs.Errors().size(), 2u);
  const std::vector<std::string> log = LogEntries();
  ASSERT_GT(log.size(), before);
  EXPECT_EQ(log[before], "[DeviceStatus] Print jobs in queue: 0");
  // The scan that the unwritable log ended is tried again by that same tick.
  EXPECT_EQ(Queued(1), 1u);
  EXPECT_FALSE(temp.Exists("In1\\a.afp"));
}

TEST_F(HandlerBoundaryTest, JobWhosePrintingLineCannotBeWrittenIsPrintedLater) {
  temp.WriteFile("In1\\a.afp", "a", 20);
  temp.WriteFile("In1\\b.afp", "b", 10);
  Scan(1);
  shell.SetAutoFinish(true);
  BreakLog();
  Form().Guarded([&] { Form().Timer2Timer(); });
  EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"Path not found"});
  ExpectEngineConsistent();
  EXPECT_EQ(shell.LaunchCount(), 0u);
  ASSERT_EQ(Queued(1), 2u);
  EXPECT_EQ(Engine().JobQueue[1]->front().FileName, "a.afp");
  EXPECT_EQ(Engine().JobsInFlight[1], 2);

  MendLog();
  Form().Timer2Timer();
  WaitForRunnersIdle();
  EXPECT_EQ(temp.FilesIn("Done1"), (std::vector<std::string>{"a.afp", "b.afp"}));
  EXPECT_EQ(Engine().JobsInFlight[1], 0);
}

// Stop stops even when its log lines cannot be written: its queued jobs' files go back, the
// server is stopped, and the error is raised once at the end.
TEST_F(HandlerBoundaryTest, StopWithAnUnwritableLogStillStops) {
  temp.WriteFile("In1\\a.afp", "a");
  Scan(1);
  BreakLog();
  Form().Guarded([&] { Form().btnStopClick(); });
  EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"Path not found"});
  EXPECT_FALSE(Form().ServerRunning());
  EXPECT_TRUE(Form().btnStart.Enabled());
  EXPECT_FALSE(Form().Timer1.Enabled());
  EXPECT_EQ(Form().Notifier->FolderCount(), 0);
  EXPECT_EQ(temp.ReadFile("In1\\a.afp"), "a");
  EXPECT_FALSE(temp.Exists("JobStore\\Dorrow_Laser\\a.afp"));
  EXPECT_EQ(Form().statBar.SimpleText(), LogBroken());
}

// A Start that an error ends half-way watches nothing and stays stopped.
TEST_F(HandlerBoundaryTest, StartEndedByAnErrorWatchesNothing) {
  Form().btnStopClick();
  const size_t watchers = watch.Scripts().size();
  // The folder check's two lines and the first "Adding on-watch folder" line are written.
  BreakLog(3);
  Form().Guarded([&] { Form().btnStartClick(); });
  EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"Path not found"});
  EXPECT_FALSE(Form().ServerRunning());
  EXPECT_TRUE(Form().btnStart.Enabled());
  EXPECT_EQ(Form().Notifier->FolderCount(), 0);
  ASSERT_GT(watch.Scripts().size(), watchers);
  for (size_t i = watchers; i < watch.Scripts().size(); ++i)
    EXPECT_TRUE(watch.Scripts()[i]->Destroyed());
}

}  // namespace
}  // namespace corvale
