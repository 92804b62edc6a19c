// The program's run against fakes: start-up and finalisation lines, flushes to the output file,
// the command line, and closing while workers run.
#include "pennock/activity_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "pennock/format_line.h"
#include "pennock/notification_worker.h"

namespace pennock {
namespace {

using testing::FakeChange;
using testing::FakeFiles;
using testing::FakePlatform;
using testing::FakeWindow;
using testing::SplitLines;
using Lines = std::vector<std::string>;

const std::string kHyphens(68, '-');
const char* const kInitFailed = "InitNotificationThreads() failed. No further error code";
const char* const kFinitFailed =
    "FInitnotificationThreads() failed ... Windows will force the process/threads to end.";

Lines Concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::string Joined(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

const Lines kStartHead = {kHyphens, "Starting initialisation.", "Initialising critical section ...",
                          "Getting needed buffer size for printer information (PRINTER_INFO_4)."};
const Lines kStartTail = {"Finished initialisation.", kHyphens, ""};
const Lines kFinalisation = {kHyphens, "Starting finalisation.", "Finished finalisation.",
                             kHyphens};

// The start-up lines when every printer is listed and every worker starts.
Lines StartupLines(const Lines& names) {
  auto count = static_cast<std::uint32_t>(names.size());
  Lines lines = kStartHead;
  lines.push_back(FormatLine("Required size is: %d Bytes", {100 * count}));
  lines.push_back("Enumerated the printers successfully!");
  lines.push_back(
      FormatLine("Got required amount of memory for ThreadBuffer. (%d Bytes)", {40 * count}));
  lines.push_back("");
  lines.push_back("Copying the following names:");
  for (std::uint32_t i = 0; i < count; ++i) {
    lines.push_back(FormatLine("%2.2d. %s", {i + 1, names[i]}));
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string logName = names[i];
    std::replace(logName.begin(), logName.end(), ' ', '_');
    lines.push_back("Output will be written to: \"" + logName + ".log\"");
    lines.push_back("Started thread successfully [" + names[i] + "]");
    lines.push_back(FormatLine("-> Threadhandle = %8.8X", {0x124 + 4 * i}));
  }
  return Concat({lines, kStartTail});
}

class PennockRunTest : public ::testing::Test {
 protected:
  PennockRunTest() {
    fake.window.CloseWhen(fake.WorkersIdle());
    fake.system.Arguments = {kOutput};
  }

  int Run() { return RunPennock(fake.platform); }
  std::string Saved() { return fake.files.Get(kOutput).value_or(FakeFiles::File{}).Content; }
  Lines SavedLines() { return SplitLines(Saved()); }

  // One printer "Varnell" with `changes` changes of `entries` entries each; returns the lines
  // its worker adds.
  Lines ScriptVarnell(int changes, int entries) {
    fake.spooler.SetPrinters({"Varnell"});
    Lines lines = {
        "[*] [T] Openprinter() called successfully for \"Varnell\" [hPrinter = 000000A0]",
        "[*] [T] Starting notification loop [Varnell]."};
    for (int c = 0; c < changes; ++c) {
      NotifyInfo info;
      lines.push_back("[*] ");
      lines.push_back("[*] [T] ----->>> Event triggered at [2011-05-10 14:38:25]: [Varnell]");
      for (int e = 0; e < entries; ++e) {
        NotifyInfoData entry;
        entry.Type = kJobNotifyType;
        entry.Field = 20;
        entry.Value = static_cast<std::uint32_t>(c * 1000 + e);
        info.Data.push_back(entry);
        lines.push_back(FormatLine(
            "[*] [T] JOB_NOTIFY_FIELD_TOTAL_PAGES: NotifyData.adwData[0] = %d", {entry.Value}));
      }
      fake.spooler.AddChange("Varnell", FakeChange{true, {NotifyFetch{true, info}}});
    }
    return lines;
  }

  std::size_t Flushes() {
    Lines calls = fake.window.Calls();
    return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), "WM_FLUSHACTIVITY"));
  }

  const std::string kOutput = "Z:\\out\\pennock activity.log";
  FakePlatform fake;
};

TEST_F(PennockRunTest, NoPrinterRunLogsExactly) {
  fake.spooler.SetPrinters({});
  EXPECT_EQ(Run(), 0);
  Lines expected = Concat({kStartHead, kStartTail, {kInitFailed}, kFinalisation, {kFinitFailed}});
  EXPECT_EQ(Saved(), Joined(expected));
  EXPECT_EQ(fake.system.DebugLines(), expected);
  EXPECT_EQ(fake.spooler.Calls(), (Lines{"EnumPrinters sizing"}));
  EXPECT_EQ(fake.window.Calls(),
            (Lines{"LoadIcon 103", "DialogBox 101", "SetIcons 10010 567", "EndDialog 10010 0"}));
  EXPECT_EQ(fake.system.Sleeps(), (std::vector<std::uint32_t>{1500}));
  EXPECT_EQ(fake.threads.LocksCreated(), 1u);
  EXPECT_EQ(fake.threads.LocksAlive(), 0u);
}

TEST_F(PennockRunTest, StartupNamesEveryPrinterAndStartsItsWorker) {
  fake.spooler.SetPrinters({"Office Laser 2", "Dorrow_Laser"});
  Run();
  Lines startup = StartupLines({"Office Laser 2", "Dorrow_Laser"});
  Lines saved = SavedLines();
  ASSERT_EQ(saved.size(), startup.size() + 4 + kFinalisation.size());
  EXPECT_EQ(Lines(saved.begin(), saved.begin() + static_cast<long>(startup.size())), startup);
  EXPECT_EQ(Lines(saved.end() - static_cast<long>(kFinalisation.size()), saved.end()),
            kFinalisation);
  EXPECT_NE(
      std::find(saved.begin(), saved.end(), "Output will be written to: \"Office_Laser_2.log\""),
      saved.end());
  // The workers' own lines follow start-up, in whichever order the two workers ran.
  Lines workers(saved.begin() + static_cast<long>(startup.size()),
                saved.end() - static_cast<long>(kFinalisation.size()));
  std::sort(workers.begin(), workers.end());
  EXPECT_EQ(
      workers,
      (Lines{
          "[*] [T] Openprinter() called successfully for \"Dorrow_Laser\" [hPrinter = 000001A0]",
          "[*] [T] Openprinter() called successfully for \"Office Laser 2\" [hPrinter = 000000A0]",
          "[*] [T] Starting notification loop [Dorrow_Laser].",
          "[*] [T] Starting notification loop [Office Laser 2]."}));
  EXPECT_EQ(fake.spooler.LastReadBufferSize(), 200u);
  EXPECT_EQ(fake.threads.Terminated(), (std::vector<std::uint32_t>{0x124, 0x128}));
}

TEST_F(PennockRunTest, IndexNumbersHaveAtLeastTwoDigits) {
  Lines names;
  for (int i = 1; i <= 100; ++i) {
    names.push_back(FormatLine("P%d", {i}));
    fake.spooler.FailOpen(names.back());
  }
  fake.spooler.SetPrinters({names.begin(), names.end()});
  Run();
  Lines saved = SavedLines();
  for (const char* line : {"01. P1", "09. P9", "10. P10", "11. P11", "99. P99", "100. P100",
                           "Got required amount of memory for ThreadBuffer. (4000 Bytes)"}) {
    SCOPED_TRACE(line);
    EXPECT_NE(std::find(saved.begin(), saved.end(), line), saved.end());
  }
  EXPECT_EQ(fake.threads.Terminated().size(), 100u);
  EXPECT_NE(saved.back(), kFinitFailed);
}

TEST_F(PennockRunTest, FailedEnumerationEndsStartupWithoutClosingLines) {
  fake.spooler.SizeResult = {false, 300, 122};
  fake.spooler.ListResult = {true, false, 0, 0x7B, {}};
  Run();
  EXPECT_EQ(SavedLines(), Concat({kStartHead,
                                  {"Required size is: 300 Bytes",
                                   "Something went wrong during enumeration of the Printers "
                                   "(GetLastError: 7B)",
                                   kInitFailed},
                                  kFinalisation,
                                  {kFinitFailed}}));
}

TEST_F(PennockRunTest, PrinterListWithoutMemoryLeavesNoTable) {
  fake.spooler.SizeResult = {false, 300, 122};
  fake.spooler.ListResult = {false, false, 3, 0, {}};
  Run();
  EXPECT_EQ(SavedLines(), Concat({kStartHead,
                                  {"Required size is: 300 Bytes",
                                   "Failed to get required amount of memory for ThreadBuffer.", "",
                                   "Copying the following names:", kInitFailed},
                                  kFinalisation,
                                  {kFinitFailed}}));
}

TEST_F(PennockRunTest, FailureDuringStartupIsHandledWithClosingLines) {
  fake.spooler.SetPrinters({"Varnell"});
  fake.spooler.ThrowOnRead = true;
  Run();
  EXPECT_EQ(SavedLines(), Concat({kStartHead,
                                  {"Required size is: 100 Bytes", "Handled some exception 0"},
                                  kStartTail,
                                  {kInitFailed},
                                  kFinalisation,
                                  {kFinitFailed}}));
}

TEST_F(PennockRunTest, UnreadableEntryIsReportedAndTheOthersGoOn) {
  fake.spooler.SetPrinters({"A", std::nullopt, "C"});
  fake.spooler.FailOpen("A");
  fake.spooler.FailOpen("");
  fake.spooler.FailOpen("C");
  Run();
  Lines saved = SavedLines();
  auto at = std::find(saved.begin(), saved.end(), "01. A");
  ASSERT_NE(at, saved.end());
  EXPECT_EQ(
      Lines(at, at + 7),
      (Lines{"01. A",
             "An exception occured while reading PRINTER_INFO_4 into ThreadBuffer. Catched.",
             "03. C", "Output will be written to: \"A.log\"", "Started thread successfully [A]",
             "-> Threadhandle = 00000124", "Output will be written to: \".log\""}));
  EXPECT_EQ(fake.threads.Terminated().size(), 3u);
}

TEST_F(PennockRunTest, ThreadThatCannotStartIsReportedAndStartupSucceeds) {
  fake.spooler.SetPrinters({"A", "B", "C"});
  fake.threads.FailCreation(1, 8);
  Run();
  Lines saved = SavedLines();
  auto at = std::find(saved.begin(), saved.end(), "Output will be written to: \"B.log\"");
  ASSERT_NE(at, saved.end());
  EXPECT_EQ(*(at + 1), "Thread could not be started [B]");
  EXPECT_EQ(*(at + 2), "-> GetLastError = 8");
  EXPECT_EQ(std::find(saved.begin(), saved.end(), kInitFailed), saved.end());
  Lines tail = {kHyphens, "Starting finalisation.",
                "Could not terminate thread number 2 [ThreadID = 00000000]",
                "Finished finalisation.", kHyphens};
  EXPECT_EQ(Lines(saved.end() - 5, saved.end()), tail);
}

TEST_F(PennockRunTest, FailureToTerminateTheLastWorkerFailsFinalisation) {
  fake.spooler.SetPrinters({"A", "B"});
  fake.threads.FailTermination(0x128);
  Run();
  Lines saved = SavedLines();
  EXPECT_EQ(Lines(saved.end() - 6, saved.end()),
            (Lines{kHyphens, "Starting finalisation.",
                   "Could not terminate thread number 2 [ThreadID = 00000E11]",
                   "Finished finalisation.", kHyphens, kFinitFailed}));
}

TEST_F(PennockRunTest, FlushesSaveEveryLineOnceAndInOrder) {
  Lines worker = ScriptVarnell(100, 40);
  Run();
  EXPECT_GE(Flushes(), 3u);
  EXPECT_EQ(SavedLines(), Concat({StartupLines({"Varnell"}), worker, kFinalisation}));
}

TEST_F(PennockRunTest, NothingIsWrittenWithoutExactlyOneArgument) {
  for (const Lines& arguments : {Lines{}, Lines{"a.log", "b.log"}}) {
    SCOPED_TRACE(arguments.size());
    FakePlatform local;
    local.window.CloseWhen(local.WorkersIdle());
    local.system.Arguments = arguments;
    local.spooler.SetPrinters({"Varnell"});
    NotifyInfo info;
    info.Data.assign(2000, NotifyInfoData{kJobNotifyType, 20, 0, 1, std::nullopt});
    local.spooler.AddChange("Varnell", FakeChange{true, {NotifyFetch{true, info}}});
    EXPECT_EQ(RunPennock(local.platform), 0);
    Lines calls = local.window.Calls();
    EXPECT_GE(std::count(calls.begin(), calls.end(), "WM_FLUSHACTIVITY"), 1);
    EXPECT_TRUE(local.files.Calls().empty());
  }
}

TEST_F(PennockRunTest, ExistingOutputFileIsAppendedTo) {
  fake.files.Put(kOutput, FakeFiles::File{"previous run\r\n"});
  Lines worker = ScriptVarnell(30, 40);
  Run();
  EXPECT_GE(Flushes(), 1u);
  EXPECT_EQ(SavedLines(),
            Concat({{"previous run"}, StartupLines({"Varnell"}), worker, kFinalisation}));
}

// A worker waits for the window thread while it holds the lock; closing still finishes.
TEST_F(PennockRunTest, ClosingTerminatesAWorkerWaitingWithTheLock) {
  fake.spooler.SetPrinters({"Varnell"});
  ActivityWindow window(fake.platform);
  fake.window.OpenDialog(&window);
  window.InitDialog(FakeWindow::kDialog);
  {
    auto guard = fake.scheduler.Acquire();
    fake.scheduler.Wait(guard, [&] { return fake.window.PendingTasksLocked() == 1; });
  }
  window.Close(FakeWindow::kDialog);
  EXPECT_EQ(SplitLines(window.SaveBuffer()), Concat({StartupLines({"Varnell"}), kFinalisation}));
  EXPECT_EQ(fake.threads.Terminated(), (std::vector<std::uint32_t>{0x124}));
  EXPECT_EQ(fake.window.Calls().back(), "EndDialog 10010 0");
}

// A worker pausing a minute between its tries to register again is ended by the close at once,
// and finalisation succeeds.
TEST_F(PennockRunTest, ClosingEndsAWorkerPausingBetweenTries) {
  fake.spooler.SetPrinters({"Varnell"});
  fake.spooler.FailOpenAttempts("Varnell", {1});
  for (std::uint32_t i = 0; i < kFailedWaitsBeforeRegisteringAgain; ++i) {
    fake.spooler.AddChange("Varnell", FakeChange{false, {}});
  }
  fake.system.HoldSleepsOf(kRegisterAgainPauseMs);
  ActivityWindow window(fake.platform);
  fake.window.OpenDialog(&window);
  window.InitDialog(FakeWindow::kDialog);
  while (fake.window.PumpOne([&] { return fake.system.HeldSleepsLocked() == 1; })) {
  }
  window.Close(FakeWindow::kDialog);

  const Lines worker = {
      "[*] [T] Openprinter() called successfully for \"Varnell\" [hPrinter = 000000A0]",
      "[*] [T] Starting notification loop [Varnell].",
      "[*] [T] Notification wait failed 50 times in a row; registering again [Varnell].",
      "[*] [T] Registering again failed (Openprinter() failed for \"Varnell\"); next try in a "
      "minute."};
  EXPECT_EQ(SplitLines(window.SaveBuffer()),
            Concat({StartupLines({"Varnell"}), worker, kFinalisation}));
  EXPECT_EQ(fake.threads.Terminated(), (std::vector<std::uint32_t>{0x124}));
  EXPECT_EQ(fake.spooler.Calls().back(), "OpenPrinter Varnell");
  EXPECT_EQ(fake.threads.HandlesOpen(), 0u);
}

// Closing right after opening: the workers were created a moment ago and are still in their
// threads' start-up. Each is waited for, then terminated, then released; the log is unchanged.
TEST_F(PennockRunTest, ClosingRightAfterOpeningWaitsForWorkersStillStarting) {
  fake.spooler.SetPrinters({"Varnell", "Dorrow_Laser"});
  fake.threads.HoldInStartup(0);
  fake.threads.HoldInStartup(1);
  ActivityWindow window(fake.platform);
  fake.window.OpenDialog(&window);
  window.InitDialog(FakeWindow::kDialog);
  window.Close(FakeWindow::kDialog);

  EXPECT_EQ(fake.threads.TerminatedInStartup(), 0u);
  EXPECT_EQ(fake.threads.Calls(), (Lines{"wait 124 5000", "terminate 124", "release 124 5000",
                                         "wait 128 5000", "terminate 128", "release 128 5000"}));
  EXPECT_EQ(fake.threads.HandlesOpen(), 0u);
  EXPECT_EQ(SplitLines(window.SaveBuffer()),
            Concat({StartupLines({"Varnell", "Dorrow_Laser"}), kFinalisation}));
  EXPECT_EQ(fake.threads.LocksAlive(), 0u);
}

// A worker that never gets out of its start-up is waited for only so long, then terminated all
// the same; finalisation reports nothing new and still succeeds.
TEST_F(PennockRunTest, WorkerStuckInStartupIsTerminatedAfterTheWait) {
  fake.spooler.SetPrinters({"A", "B"});
  fake.threads.HoldInStartup(1, /*ever=*/false);
  ActivityWindow window(fake.platform);
  fake.window.OpenDialog(&window);
  window.InitDialog(FakeWindow::kDialog);
  window.Close(FakeWindow::kDialog);
  EXPECT_EQ(fake.threads.Calls(), (Lines{"wait 124 5000", "terminate 124", "release 124 5000",
                                         "wait 128 5000", "terminate 128", "release 128 5000"}));
  EXPECT_EQ(fake.threads.TerminatedInStartup(), 1u);
  EXPECT_EQ(fake.threads.HandlesOpen(), 0u);
  EXPECT_EQ(SplitLines(window.SaveBuffer()), Concat({StartupLines({"A", "B"}), kFinalisation}));
}

// Every worker's handle is given up, also of those that ended by themselves or could not be
// terminated.
TEST_F(PennockRunTest, FinalisationReleasesEveryWorker) {
  fake.spooler.SetPrinters({"A", "B", "C"});
  fake.spooler.FailOpen("A");
  fake.threads.FailTermination(0x128);
  Run();
  EXPECT_EQ(fake.threads.HandlesOpen(), 0u);
  EXPECT_EQ(fake.threads.TerminatedInStartup(), 0u);
}

TEST_F(PennockRunTest, SizeFillsTheDialogWithTheActivityControl) {
  ActivityWindow window(fake.platform);
  fake.window.OpenDialog(&window);
  window.Size(FakeWindow::kDialog);
  EXPECT_EQ(fake.window.Calls(), (Lines{"MoveWindow 10011 0 0 730 546 1"}));
}

}  // namespace
}  // namespace pennock
