// NotificationWorker against a scripted spooler: failures, the printer followed, event blocks,
// failed fetches and refetches after discarded data.
#include "pennock/notification_worker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "pennock/notification_threads.h"

namespace pennock {
namespace {

using testing::FakeChange;
using testing::FakePlatform;
using testing::FakeWindow;
using testing::NullDialog;
using testing::SplitLines;
using Lines = std::vector<std::string>;

NotifyInfoData Entry(std::uint16_t type, std::uint16_t field, std::uint32_t value) {
  NotifyInfoData entry;
  entry.Type = type;
  entry.Field = field;
  entry.Value = value;
  return entry;
}

NotifyFetch Fetched(std::vector<NotifyInfoData> data, std::uint32_t flags = 0) {
  return NotifyFetch{true, NotifyInfo{2, flags, std::move(data)}};
}

FakeChange Change(std::vector<NotifyFetch> fetches) {
  return FakeChange{true, std::move(fetches)};
}

const char* const kEventLine =
    "[*] [T] ----->>> Event triggered at [2011-05-10 14:38:25]: [Varnell]";
const char* const kStartingLine = "[*] [T] Starting notification loop [Varnell].";
const char* const kWaitFailedLine =
    "[*] [T] Notification wait failed 50 times in a row; registering again [Varnell].";
const char* const kRegisterCall = "FindFirstPrinterChangeNotification Varnell 7777FFFF 0";

Lines Repeated(std::size_t count, const std::string& line) {
  return Lines(count, line);
}

Lines Concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::vector<std::uint32_t> Concat32(std::initializer_list<std::vector<std::uint32_t>> parts) {
  std::vector<std::uint32_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

void ExpectMonitorOptions(const NotifyOptions& options) {
  EXPECT_EQ(options.Version, 2u);
  EXPECT_EQ(options.Flags, kNotifyOptionsRefresh);
  ASSERT_EQ(options.Types.size(), 2u);
  EXPECT_EQ(options.Types[0].Type, kJobNotifyType);
  EXPECT_EQ(options.Types[0].Fields, (std::vector<std::uint16_t>{0, 1, 10, 13, 3, 20, 21, 16}));
  EXPECT_EQ(options.Types[1].Type, kPrinterNotifyType);
  EXPECT_EQ(options.Types[1].Fields, (std::vector<std::uint16_t>{18, 20, 1, 0, 2}));
  for (const NotifyOptionsType& type : options.Types) {
    EXPECT_EQ(type.Reserved0 | type.Reserved1 | type.Reserved2, 0u);
  }
}

class NotificationWorkerTest : public ::testing::Test {
 protected:
  NotificationWorkerTest() {
    fake.window.OpenDialog(&dialog);
    log.SetActivityWindow(FakeWindow::kControl);
  }
  void TearDown() override {
    if (handle_ != 0) fake.threads.TerminateThread(handle_, 0);
  }

  // Starts the worker of `name` and keeps its lines until it ended or waits with no change
  // left; returns every line it added.
  Lines Run(const std::string& name) {
    record.Name = name;
    record.Lock = lock.get();
    record.Param = &record;
    record.Running = -1;
    WorkerContext context{fake.spooler, log, fake.system};
    handle_ =
        fake.threads
            .CreateThread([this, context] { return NotificationWorker(record.Param, context); })
            .Handle;
    while (fake.window.PumpOne(fake.WorkersIdle())) {
    }
    return SplitLines(fake.window.Text());
  }

  // The printer's change handle stops working: its next `count` waits fail.
  void AddFailedWaits(const std::string& name, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) fake.spooler.AddChange(name, FakeChange{false, {}});
  }

  bool Ended() {
    auto guard = fake.scheduler.Acquire();
    return fake.threads.EndedLocked() == 1;
  }
  std::uint32_t ExitCode() { return fake.threads.ExitCode(handle_); }

  FakePlatform fake;
  NullDialog dialog;
  ActivityLog log{fake.window, fake.system};
  std::unique_ptr<CriticalSection> lock = fake.threads.CreateCriticalSection();
  WorkerRecord record;

 private:
  std::uint32_t handle_ = 0;
};

TEST_F(NotificationWorkerTest, PrinterThatCannotBeOpenedEndsTheWorker) {
  fake.spooler.FailOpen("Dorrow_Laser");
  EXPECT_EQ(Run("Dorrow_Laser"), (Lines{"[*] [T] Openprinter() failed for \"Dorrow_Laser\""}));
  EXPECT_EQ(ExitCode(), kWorkerOpenFailed);
  EXPECT_EQ(record.Running, 0);
}

TEST_F(NotificationWorkerTest, FailedRegistrationReleasesThePrinterAndKeepsRunning) {
  fake.spooler.FailRegistration("Varnell");
  EXPECT_EQ(
      Run("Varnell"),
      (Lines{"[*] [T] Openprinter() called successfully for \"Varnell\" [hPrinter = 000000A0]",
             "[*] [T] Invalid notification handle returned! (hNotify = INVALID_HANDLE_VALUE)"}));
  EXPECT_EQ(ExitCode(), kWorkerRegisterFailed);
  EXPECT_EQ(record.Running, -1);
  EXPECT_EQ(fake.spooler.Calls(),
            (Lines{"OpenPrinter Varnell", "FindFirstPrinterChangeNotification Varnell 7777FFFF 0",
                   "ClosePrinter Varnell"}));
  ASSERT_EQ(fake.spooler.RegisterOptions().size(), 1u);
  ExpectMonitorOptions(fake.spooler.RegisterOptions()[0]);
}

// Only the exact name "Varnell" is followed; every other worker ends at its first change.
TEST_F(NotificationWorkerTest, OtherPrintersEndAtTheirFirstChangeWithoutLogging) {
  for (const char* name : {"Pellam_Ink", "varnell", "VARNELL", "Varnell "}) {
    SCOPED_TRACE(name);
    FakePlatform local;
    NullDialog localDialog;
    local.window.OpenDialog(&localDialog);
    ActivityLog localLog(local.window, local.system);
    localLog.SetActivityWindow(FakeWindow::kControl);
    auto localLock = local.threads.CreateCriticalSection();
    WorkerRecord localRecord;
    localRecord.Name = name;
    localRecord.Lock = localLock.get();
    localRecord.Running = -1;
    local.spooler.AddChange(name, Change({Fetched({Entry(kPrinterNotifyType, 20, 1)})}));
    WorkerContext context{local.spooler, localLog, local.system};
    std::uint32_t handle =
        local.threads.CreateThread([&] { return NotificationWorker(&localRecord, context); })
            .Handle;
    while (local.window.PumpOne(local.WorkersIdle())) {
    }
    EXPECT_EQ(local.threads.ExitCode(handle), 0u);
    EXPECT_EQ(localRecord.Running, 0);
    Lines lines = SplitLines(local.window.Text());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], std::string("[*] [T] Starting notification loop [") + name + "].");
    Lines calls = local.spooler.Calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[2], std::string("WaitForChange ") + name);
    EXPECT_EQ(calls[3], std::string("FindClosePrinterChangeNotification ") + name);
    EXPECT_EQ(calls[4], std::string("ClosePrinter ") + name);
  }
}

TEST_F(NotificationWorkerTest, EventBlockOfVarnellDecodesEveryEntryInOrder) {
  std::string submitted = {
      static_cast<char>(0xDB), 0x07, 5, 0, 2, 0, 10, 0, 12, 0, 38, 0, 25, 0, 0, 0};
  NotifyInfoData time = Entry(kJobNotifyType, 16, 0);
  time.Buffer = submitted;
  fake.spooler.AddChange("Varnell", Change({Fetched({
                                        Entry(kPrinterNotifyType, 18, 0),
                                        Entry(kPrinterNotifyType, 20, 1),
                                        Entry(kJobNotifyType, 10, 0x18),
                                        Entry(2, 0, 0),
                                        Entry(kJobNotifyType, 20, 3),
                                        Entry(kJobNotifyType, 21, 1),
                                        time,
                                    })}));
  EXPECT_EQ(Run("Varnell"),
            (Lines{
                "[*] [T] Openprinter() called successfully for \"Varnell\" [hPrinter = 000000A0]",
                "[*] [T] Starting notification loop [Varnell].",
                "[*] ",
                kEventLine,
                "[*] [T] PRINTER_NOTIFY_FIELD_STATUS = ()",
                "[*] [T] PRINTER_NOTIFY_FIELD_CJOBS: 1",
                "[*] [T] JOB_NOTIFY_FIELD_STATUS = ( JOB_STATUS_PRINTING | JOB_STATUS_SPOOLING )",
                "[*] [T] JOB_NOTIFY_FIELD_TOTAL_PAGES: NotifyData.adwData[0] = 3",
                "[*] [T] JOB_NOTIFY_FIELD_PAGES_PRINTED: NotifyData.adwData[0] = 1",
                "[*] [T] JOB_NOTIFY_FIELD_SUBMITTED: SYSTEMTIME(NotifyData.Data.pbuf^) = "
                "01CC0F0F27967680",
            }));
  EXPECT_FALSE(Ended());
  EXPECT_EQ(record.Running, -1);
  ASSERT_EQ(fake.spooler.FetchOptions().size(), 1u);
  ExpectMonitorOptions(fake.spooler.FetchOptions()[0]);
}

TEST_F(NotificationWorkerTest, InformationWithoutEntriesGivesOnlyTheEventLines) {
  fake.spooler.AddChange("Varnell", Change({Fetched({})}));
  fake.spooler.AddChange("Varnell", Change({NotifyFetch{true, std::nullopt}}));
  Lines lines = Run("Varnell");
  EXPECT_EQ(Lines(lines.begin() + 2, lines.end()), (Lines{"[*] ", kEventLine, "[*] ", kEventLine}));
}

TEST_F(NotificationWorkerTest, FailedFetchIsFollowedByTheNextWait) {
  fake.spooler.AddChange("Varnell", Change({NotifyFetch{false, std::nullopt}}));
  fake.spooler.AddChange("Varnell", Change({Fetched({Entry(kPrinterNotifyType, 20, 2)})}));
  Lines lines = Run("Varnell");
  EXPECT_EQ(
      Lines(lines.begin() + 2, lines.end()),
      (Lines{"[*] ", kEventLine,
             "[*] [T] No next notification handle: FindNextPrinterChangeNotification() = FALSE",
             "[*] ", kEventLine, "[*] [T] PRINTER_NOTIFY_FIELD_CJOBS: 2"}));
  EXPECT_FALSE(Ended());
}

TEST_F(NotificationWorkerTest, SecondFetchIsDecodedAfterDiscard) {
  fake.spooler.AddChange(
      "Varnell", Change({Fetched({Entry(kPrinterNotifyType, 20, 1)}, kNotifyInfoDiscarded),
                         Fetched({Entry(kPrinterNotifyType, 20, 7)}, kNotifyInfoDiscarded)}));
  Lines lines = Run("Varnell");
  EXPECT_EQ(Lines(lines.begin() + 2, lines.end()),
            (Lines{"[*] ", kEventLine,
                   "[*] [T] Trying to get get notification again due to too small buffer "
                   "(PRINTER_NOTIFY_INFO_DISCARDED).",
                   "[*] [T] PRINTER_NOTIFY_FIELD_CJOBS: 7"}));
  std::vector<NotifyOptions> fetches = fake.spooler.FetchOptions();
  ASSERT_EQ(fetches.size(), 2u);
  ExpectMonitorOptions(fetches[1]);
  EXPECT_EQ(MonitorOptions.Flags, kNotifyOptionsRefresh);
}

TEST_F(NotificationWorkerTest, FailedWaitIsRetriedAfterAPause) {
  fake.spooler.AddChange("Varnell", FakeChange{false, {}});
  fake.spooler.AddChange("Varnell", Change({Fetched({})}));
  Lines lines = Run("Varnell");
  EXPECT_EQ(Lines(lines.begin() + 2, lines.end()), (Lines{"[*] ", kEventLine}));
  EXPECT_EQ(fake.system.Sleeps(), (std::vector<std::uint32_t>{100}));
}

TEST_F(NotificationWorkerTest, EventLineUsesTheUsersTimeSeparator) {
  fake.system.Separator = ".";
  fake.system.Now = LocalTime{2024, 12, 1, 9, 5, 7};
  fake.spooler.AddChange("Varnell", Change({Fetched({})}));
  EXPECT_EQ(Run("Varnell").back(),
            "[*] [T] ----->>> Event triggered at [2024-12-01 09.05.07]: [Varnell]");
}

// A change handle that stopped working (the spooler restarted) is given up with its printer
// after a run of failed waits; the new registration is decoded as before.
TEST_F(NotificationWorkerTest, RunOfFailedWaitsRegistersAgainAndDecodesAsBefore) {
  AddFailedWaits("Varnell", 50);
  fake.spooler.AddChange("Varnell", Change({Fetched({Entry(kPrinterNotifyType, 20, 4)})}));
  Lines lines = Run("Varnell");
  EXPECT_EQ(Lines(lines.begin() + 1, lines.end()),
            (Lines{kStartingLine, kWaitFailedLine, kStartingLine, "[*] ", kEventLine,
                   "[*] [T] PRINTER_NOTIFY_FIELD_CJOBS: 4"}));
  EXPECT_EQ(fake.spooler.Calls(),
            Concat({{"OpenPrinter Varnell", kRegisterCall},
                    Repeated(50, "WaitForChange Varnell"),
                    {"FindClosePrinterChangeNotification Varnell", "ClosePrinter Varnell",
                     "OpenPrinter Varnell", kRegisterCall, "WaitForChange Varnell",
                     "FindNextPrinterChangeNotification Varnell"}}));
  EXPECT_EQ(fake.system.Sleeps(), std::vector<std::uint32_t>(49, kFailedWaitPauseMs));
  ASSERT_EQ(fake.spooler.RegisterOptions().size(), 2u);
  ExpectMonitorOptions(fake.spooler.RegisterOptions()[1]);
  EXPECT_FALSE(Ended());
  EXPECT_EQ(record.Running, -1);
}

// Failed waits count only in a row: a change that comes through starts the count again.
TEST_F(NotificationWorkerTest, FailedWaitsShortOfARunKeepTheRegistration) {
  for (int round = 0; round < 2; ++round) {
    AddFailedWaits("Varnell", 49);
    fake.spooler.AddChange("Varnell", Change({Fetched({})}));
  }
  Lines lines = Run("Varnell");
  EXPECT_EQ(Lines(lines.begin() + 1, lines.end()),
            (Lines{kStartingLine, "[*] ", kEventLine, "[*] ", kEventLine}));
  EXPECT_EQ(fake.system.Sleeps(), std::vector<std::uint32_t>(98, kFailedWaitPauseMs));
  EXPECT_EQ(fake.spooler.RegisterOptions().size(), 1u);
}

// While the spooler is away, each try to open and register fails with one line and a pause of
// a minute; a printer opened for a registration that fails is released before the pause.
TEST_F(NotificationWorkerTest, RegisteringAgainTriesAMinuteApartUntilItSucceeds) {
  fake.spooler.FailOpenAttempts("Varnell", {1, 2});
  fake.spooler.FailRegistrationAttempts("Varnell", {1});
  AddFailedWaits("Varnell", 50);
  fake.spooler.AddChange("Varnell", Change({Fetched({Entry(kJobNotifyType, 21, 2)})}));
  Lines lines = Run("Varnell");
  const std::string open_failed =
      "[*] [T] Registering again failed (Openprinter() failed for \"Varnell\"); next try in a "
      "minute.";
  EXPECT_EQ(Lines(lines.begin() + 2, lines.end()),
            (Lines{kWaitFailedLine, open_failed, open_failed,
                   "[*] [T] Registering again failed (invalid notification handle for "
                   "\"Varnell\"); next try in a minute.",
                   kStartingLine, "[*] ", kEventLine,
                   "[*] [T] JOB_NOTIFY_FIELD_PAGES_PRINTED: NotifyData.adwData[0] = 2"}));
  Lines calls = fake.spooler.Calls();
  EXPECT_EQ(Lines(calls.begin() + 52, calls.end()),
            (Lines{"FindClosePrinterChangeNotification Varnell", "ClosePrinter Varnell",
                   "OpenPrinter Varnell", "OpenPrinter Varnell", "OpenPrinter Varnell",
                   kRegisterCall, "ClosePrinter Varnell", "OpenPrinter Varnell", kRegisterCall,
                   "WaitForChange Varnell", "FindNextPrinterChangeNotification Varnell"}));
  EXPECT_EQ(fake.system.Sleeps(), Concat32({std::vector<std::uint32_t>(49, kFailedWaitPauseMs),
                                            std::vector<std::uint32_t>(3, kRegisterAgainPauseMs)}));
}

// Any printer's worker registers again; one other than "Varnell" still ends at its first change.
TEST_F(NotificationWorkerTest, OtherPrinterRegistersAgainAndEndsAtItsFirstChange) {
  AddFailedWaits("Dorrow_Laser", 50);
  fake.spooler.AddChange("Dorrow_Laser", Change({Fetched({Entry(kPrinterNotifyType, 20, 1)})}));
  Lines lines = Run("Dorrow_Laser");
  EXPECT_EQ(Lines(lines.begin() + 1, lines.end()),
            (Lines{"[*] [T] Starting notification loop [Dorrow_Laser].",
                   "[*] [T] Notification wait failed 50 times in a row; registering again "
                   "[Dorrow_Laser].",
                   "[*] [T] Starting notification loop [Dorrow_Laser]."}));
  EXPECT_EQ(ExitCode(), 0u);
  EXPECT_EQ(record.Running, 0);
  Lines calls = fake.spooler.Calls();
  EXPECT_EQ(Lines(calls.end() - 3, calls.end()),
            (Lines{"WaitForChange Dorrow_Laser", "FindClosePrinterChangeNotification Dorrow_Laser",
                   "ClosePrinter Dorrow_Laser"}));
}

}  // namespace
}  // namespace pennock
