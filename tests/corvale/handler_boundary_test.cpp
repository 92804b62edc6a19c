// The handler boundary: an error raised from any entry of the message loop ends only its
// handler, is logged, and leaves the engine consistent. Only what an operator did opens a box;
// the unattended path (timer ticks, change reports, posted calls) shows its errors in the status
// bar. A log that cannot be written stops nothing, and logging goes on by itself once it can.
#include <gtest/gtest.h>

#include <algorithm>
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

constexpr char kWorkbenchKey[] = "Software\\IBM\\AFP Workbench\\Default\\Misc";

class HandlerBoundaryTest : public ::testing::Test, protected testing::ServerHarness {
 protected:
  HandlerBoundaryTest() {
    printers.Add("Dorrow_Laser");
    printers.Add("Pellam_Ink");
  }

  void SetUp() override {
    Create();
    ConfigureSlot(1, "In1", "Done1", 3);
    ConfigureSlot(2, "In2", "Done2", 1);
    Start();
    ASSERT_TRUE(Server().Running());
    log_ = Server().Log().CurrentLogFile();
  }

  void BreakLog(int after = 0) { files.FailAppendsTo(log_, 3, after); }
  void MendLog() { files.FailAppendsTo(log_, 0); }
  std::string LogBroken() const {
    return "The log file " + log_ + " cannot be written: Path not found";
  }
  void Scan(int n) { Server().ScanInputFolder(settings.Slots[n].InputFolder); }
  size_t Queued(int n) { return Engine().JobQueue[n] ? Engine().JobQueue[n]->size() : 0; }

  // Lets the watcher of slot n report one burst, and hands it to the notifier.
  void Report(int n, TFileChange change) {
    const size_t before = watch.Posted().size();
    watch.ScriptOf(varnell::Trim(settings.Slots[n].InputFolder))
        ->Feed({ChangeOf(change), Timeout()});
    ASSERT_TRUE(watch.WaitForPosts(before + 1));
    watch.DeliverAll(*Server().Notifier());
  }

  void ExpectEngineConsistent() {
    EXPECT_FALSE(Engine().Scanning);
    EXPECT_FALSE(Engine().Dispatching);
    EXPECT_FALSE(Ledger().RunnerBusy);
  }

  std::string log_;
};

// Errors of the unattended path are logged with their text and shown in the status bar; none
// opens a box that would hold the server until someone clicks.
TEST_F(HandlerBoundaryTest, UnattendedErrorsAreLoggedAndShownWithoutABox) {
  temp.WriteFile("In1\\queued.afp", "q");
  Scan(1);
  ASSERT_EQ(Queued(1), 1u);
  // A wrong-typed value that the dispatch pass reads for every job.
  registry.PutDword(RegistryHive::kCurrentUser, kWorkbenchKey, "HelpCurPath", 1);
  struct Case {
    const char* name;
    std::function<void()> enter;
    const char* error;
  };
  const Case cases[] = {
      {"posted call",
       [&] {
         loop.PostToMain([] { throw Error("raised by a posted call"); });
         loop.RunPosted();
       },
       "raised by a posted call"},
      {"dispatch tick", [&] { Server().RunUnattended([&] { Server().DispatchTick(); }); },
       "Invalid data type for 'HelpCurPath'"},
      {"change report",
       [&] {
         Server().Notifier()->OnFileChange = [](TGXThreadFileNotifier&, TFileChanges,
                                                const std::string&) {
           throw Error("raised by a scan");
         };
         Report(2, TFileChange::fcFileName);
       },
       "raised by a scan"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NO_THROW(c.enter());
    EXPECT_EQ(view.Status(), c.error);
    EXPECT_EQ(LogMessages("General").back(), std::string("ERROR: ") + c.error);
    ExpectEngineConsistent();
    EXPECT_TRUE(Server().Running());
  }
  // Nothing was lost on the way: the queued job waits at the head of its queue, unprinted.
  EXPECT_EQ(Queued(1), 1u);
  EXPECT_EQ(Ledger().JobsInFlight[1], 1);
  EXPECT_EQ(shell.LaunchCount(), 0u);
}

// An error that stands (every tick fails the same way) is logged once a minute, not every second;
// the status bar shows it at every tick, and another error is logged at once.
TEST_F(HandlerBoundaryTest, StandingErrorIsLoggedOnceAMinute) {
  auto failing_tick = [&](const std::string& error) {
    Server().RunUnattended([&] { throw Error(error); });
  };
  auto logged = [&](const std::string& error) {
    const std::vector<std::string> general = LogMessages("General");
    return std::count(general.begin(), general.end(), "ERROR: " + error);
  };
  for (int second = 0; second < 60; ++second) {
    failing_tick("the share is gone");
    EXPECT_EQ(view.Status(), "the share is gone");
    clock.Advance(1);
  }
  EXPECT_EQ(logged("the share is gone"), 1);
  failing_tick("another cause");
  EXPECT_EQ(logged("another cause"), 1);
  failing_tick("the share is gone");
  EXPECT_EQ(logged("the share is gone"), 2);
}

// The log cannot be written: intake, dispatch, the status tick and Start go on, the status bar
// says what is wrong, and logging goes on by itself once the log can be written again.
TEST_F(HandlerBoundaryTest, UnwritableLogStopsNothing) {
  temp.WriteFile("In1\\a.afp", "a");
  BreakLog();
  Report(1, TFileChange::fcFileName);
  EXPECT_EQ(Queued(1), 1u);
  shell.SetAutoFinish(true);
  Server().RunUnattended([&] { Server().DispatchTick(); });
  WaitForRunnersIdle();
  EXPECT_EQ(temp.ReadFile("Done1\\a.afp"), "a");
  Server().RunUnattended([&] { Server().StatusTick(); });
  EXPECT_EQ(view.Status(), LogBroken());
  Server().Stop();
  Start();
  EXPECT_TRUE(Server().Running());
  EXPECT_EQ(Server().Notifier()->FolderCount(), 2);
  ExpectEngineConsistent();

  const size_t before = LogEntries().size();
  MendLog();
  Server().RunUnattended([&] { Server().StatusTick(); });
  const std::vector<std::string> log = LogEntries();
  ASSERT_GT(log.size(), before);
  EXPECT_EQ(log[before], "[DeviceStatus] Print jobs in queue: 0");
  EXPECT_EQ(view.Status(), "Ready.");
}

// The log tick's "Cannot open file" (another program holds the log) is logged and shown in the
// status bar, not in a box.
TEST_F(HandlerBoundaryTest, LogTickThatCannotOpenTheLogShowsNoBox) {
  files.FailSizeOf(log_, 32);
  settings.Log.KeepLogFileSmall = true;
  Apply();
  Server().RunUnattended([&] { Server().LogTick(); });
  const std::string error = "Cannot open file \"" + log_ +
                            "\". The process cannot access the file because it is being used by "
                            "another process.";
  EXPECT_EQ(view.Status(), error);
  EXPECT_EQ(LogMessages("General").back(), "ERROR: " + error);
}

// The window's own boundary: what an operator did.
class WindowBoundaryTest : public ::testing::Test, protected testing::FormHarness {
 protected:
  WindowBoundaryTest() { printers.Add("Dorrow_Laser"); }
  void SetUp() override {
    Create();
    ConfigureSlot(1, "In1", "Done1", 3);
    Form().btnStartClick();
    ASSERT_TRUE(Form().Server.Running());
  }
};

// An operator's action that fails opens one box; errors raised meanwhile (the box's own loop
// runs the timers) reach the log and the status bar, and open no second box.
TEST_F(WindowBoundaryTest, OperatorErrorOpensOneBoxAndErrorsMeanwhileAreLogged) {
  registry.PutDword(RegistryHive::kCurrentUser, kWorkbenchKey, "HelpCurPath", 1);
  temp.WriteFile("In1\\queued.afp", "q");
  Form().Server.ScanInputFolder(Form().Config.Slots[1].InputFolder);
  int ticks_in_box = 0;
  dialogs.OnError = [&](const std::string&) {
    Form().GuardedUnattended([&] { Form().Timer2.Tick(); });
    Form().Guarded([] { throw Error("second operator error"); });
    ++ticks_in_box;
  };
  Form().edtQueueDepth.SetText("99999999999");
  Form().Guarded([&] { Form().edtQueueDepth.Exit(); });
  EXPECT_EQ(ticks_in_box, 1);
  EXPECT_EQ(dialogs.Errors(),
            std::vector<std::string>{"'99999999999' is not a valid integer value"});
  const std::vector<std::string> general = LogMessages("General");
  ASSERT_GE(general.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(general.end() - 3, general.end()),
            (std::vector<std::string>{"ERROR: '99999999999' is not a valid integer value",
                                      "ERROR: Invalid data type for 'HelpCurPath'",
                                      "ERROR: second operator error"}));

  // Once the box is closed, the next operator error has a box of its own.
  dialogs.OnError = nullptr;
  Form().Guarded([] { throw Error("third operator error"); });
  EXPECT_EQ(dialogs.Errors().size(), 2u);
}

}  // namespace
}  // namespace corvale
