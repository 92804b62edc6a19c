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

}  // namespace
}  // namespace pennock
