// AddActivityLine: marks, the window, the flush rule, debugger output, and lines from workers
// handed to the window's thread.
#include "pennock/activity_log.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "pennock/format_line.h"

namespace pennock {
namespace {

using testing::FakePlatform;
using testing::FakeWindow;
using testing::SplitLines;

// The dialog's side of a flush: the window's text at each WM_FLUSHACTIVITY.
class FlushRecorder : public DialogHandler {
 public:
  explicit FlushRecorder(FakeWindow& window) : window_(window) {}
  void InitDialog(WindowId) override {}
  void Size(WindowId) override {}
  void Close(WindowId) override {}
  void FlushActivity(WindowId) override {
    chunks.push_back(window_.GetText(FakeWindow::kControl, 65520));
  }
  std::vector<std::string> chunks;

 private:
  FakeWindow& window_;
};

class ActivityLogTest : public ::testing::Test {
 protected:
  ActivityLogTest() {
    fake.window.OpenDialog(&flushes);
    log.SetActivityWindow(FakeWindow::kControl);
  }

  // Window's thread: runs the workers' lines until every worker has ended.
  void PumpUntilWorkersEnd() {
    while (fake.window.PumpOne(
        [this] { return fake.threads.EndedLocked() == fake.threads.CreatedLocked(); })) {
    }
  }

  FakePlatform fake;
  FlushRecorder flushes{fake.window};
  ActivityLog log{fake.window, fake.system};
};

TEST_F(ActivityLogTest, MainThreadLineIsShownWholeAndScrolledWithoutMark) {
  log.AddActivityLine("Starting initialisation.");
  log.AddActivityLine("Finished initialisation.");
  EXPECT_EQ(fake.window.Text(), "Starting initialisation.\r\nFinished initialisation.\r\n");
  EXPECT_EQ(log.ActivityText(), fake.window.Text());
  EXPECT_EQ(fake.window.SetTextCount(), 2u);
  EXPECT_EQ(fake.window.ScrollCount(), 2u);
  EXPECT_EQ(fake.system.DebugLines(),
            (std::vector<std::string>{"Starting initialisation.", "Finished initialisation."}));
}

TEST_F(ActivityLogTest, TextWithLineEndShowsAsTwoLinesButIsOneDebugString) {
  log.AddActivityLine("Started thread successfully [Varnell]\r\n-> Threadhandle = 00000124");
  EXPECT_EQ(SplitLines(fake.window.Text()),
            (std::vector<std::string>{"Started thread successfully [Varnell]",
                                      "-> Threadhandle = 00000124"}));
  EXPECT_EQ(fake.system.DebugLines().size(), 1u);
}

TEST_F(ActivityLogTest, LineWithoutWindowReachesOnlyTheDebugger) {
  log.SetActivityWindow(kNoWindow);
  log.AddActivityLine("lost");
  fake.window.DestroyDialog();
  log.SetActivityWindow(FakeWindow::kControl);
  log.AddActivityLine("also lost");
  EXPECT_EQ(log.ActivityText(), "");
  EXPECT_EQ(fake.window.SetTextCount(), 0u);
  EXPECT_EQ(fake.system.DebugLines(), (std::vector<std::string>{"lost", "also lost"}));
}

TEST_F(ActivityLogTest, WorkerLineIsMarkedAndKeptByTheWindowThread) {
  auto lock = fake.threads.CreateCriticalSection();
  fake.threads.CreateThread([&] {
    log.AddActivityLine("[T] Starting notification loop [Varnell].", lock.get());
    log.AddActivityLine("", lock.get());
    return 0u;
  });
  PumpUntilWorkersEnd();
  EXPECT_EQ(fake.window.Text(), "[*] [T] Starting notification loop [Varnell].\r\n[*] \r\n");
  EXPECT_EQ(fake.system.DebugLines(),
            (std::vector<std::string>{"[*] [T] Starting notification loop [Varnell].", "[*] "}));
}

// The main thread adds its line while a worker holds the lock and waits for the window thread.
TEST_F(ActivityLogTest, MainThreadNeverWaitsForAWorkerHoldingTheLock) {
  auto lock = fake.threads.CreateCriticalSection();
  fake.threads.CreateThread([&] {
    log.AddActivityLine("worker", lock.get());
    return 0u;
  });
  {
    auto guard = fake.scheduler.Acquire();
    fake.scheduler.Wait(guard, [&] { return fake.window.PendingTasksLocked() == 1; });
  }
  log.AddActivityLine("main");
  EXPECT_EQ(fake.window.Text(), "main\r\n");
  PumpUntilWorkersEnd();
  EXPECT_EQ(fake.window.Text(), "main\r\n[*] worker\r\n");
}

// A line handed over by a worker that was terminated meanwhile is not kept.
TEST_F(ActivityLogTest, WorkerLinesArrivingAfterTheWorkersEndedAreDropped) {
  auto lock = fake.threads.CreateCriticalSection();
  fake.threads.CreateThread([&] {
    log.AddActivityLine("late", lock.get());
    return 0u;
  });
  {
    auto guard = fake.scheduler.Acquire();
    fake.scheduler.Wait(guard, [&] { return fake.window.PendingTasksLocked() == 1; });
  }
  log.DropWorkerLines();
  log.AddActivityLine("Finished finalisation.");
  PumpUntilWorkersEnd();
  EXPECT_EQ(fake.window.Text(), "Finished finalisation.\r\n");
}

TEST_F(ActivityLogTest, ExactlySixtyThousandCharactersDoNotFlush) {
  log.AddActivityLine(std::string(kFlushThreshold - 2, 'a'));
  ASSERT_EQ(log.ActivityText().size(), kFlushThreshold);
  log.AddActivityLine("next");
  EXPECT_TRUE(flushes.chunks.empty());
  EXPECT_EQ(log.ActivityText().size(), kFlushThreshold + 6);
}

TEST_F(ActivityLogTest, OneMoreCharacterFlushesBeforeTheNextLine) {
  std::string first(kFlushThreshold - 1, 'a');
  log.AddActivityLine(first);
  ASSERT_EQ(log.ActivityText().size(), kFlushThreshold + 1);
  log.AddActivityLine("next");
  ASSERT_EQ(flushes.chunks.size(), 1u);
  EXPECT_EQ(flushes.chunks[0], first + "\r\n");
  EXPECT_EQ(fake.window.Text(), "next\r\n");
  EXPECT_EQ(log.ActivityText(), "next\r\n");
}

TEST_F(ActivityLogTest, WorkerLineFlushesOnTheWindowThread) {
  auto lock = fake.threads.CreateCriticalSection();
  log.AddActivityLine(std::string(kFlushThreshold, 'm'));
  fake.threads.CreateThread([&] {
    log.AddActivityLine("worker", lock.get());
    return 0u;
  });
  PumpUntilWorkersEnd();
  ASSERT_EQ(flushes.chunks.size(), 1u);
  EXPECT_EQ(flushes.chunks[0].size(), kFlushThreshold + 2);
  EXPECT_EQ(fake.window.Text(), "[*] worker\r\n");
}

// Several workers and the main thread add lines at once, with many flushes: every line is kept
// exactly once, whole, and in its thread's order. Run under ThreadSanitizer as well.
TEST_F(ActivityLogTest, ConcurrentLinesAreEachKeptOnceInTheirThreadsOrder) {
  constexpr int kWorkers = 4;
  constexpr int kLinesPerThread = 300;
  const std::string padding(90, '.');
  auto lock = fake.threads.CreateCriticalSection();
  for (int w = 0; w < kWorkers; ++w) {
    fake.threads.CreateThread([&, w] {
      for (int i = 0; i < kLinesPerThread; ++i) {
        log.AddActivityLine(FormatLine("worker %d line %4.4d %s", {w, i, padding}), lock.get());
      }
      return 0u;
    });
  }
  for (int i = 0; i < kLinesPerThread; ++i) {
    log.AddActivityLine(FormatLine("main line %4.4d %s", {i, padding}));
    fake.window.PumpOne([] { return true; });
  }
  PumpUntilWorkersEnd();

  ASSERT_GE(flushes.chunks.size(), 2u);
  std::string all;
  for (const std::string& chunk : flushes.chunks) {
    EXPECT_GT(chunk.size(), kFlushThreshold);
    EXPECT_EQ(chunk.substr(chunk.size() - 2), "\r\n");
    all += chunk;
  }
  all += fake.window.Text();

  std::map<std::string, int> nextIndex;
  std::size_t count = 0;
  for (const std::string& line : SplitLines(all)) {
    std::string source = line.substr(0, line.find(" line "));
    int index = std::stoi(line.substr(line.find(" line ") + 6, 4));
    EXPECT_EQ(index, nextIndex[source]) << line;
    nextIndex[source] = index + 1;
    ++count;
  }
  EXPECT_EQ(count, static_cast<std::size_t>((kWorkers + 1) * kLinesPerThread));
  EXPECT_EQ(nextIndex.size(), static_cast<std::size_t>(kWorkers + 1));
  EXPECT_EQ(fake.system.DebugLines().size(), count);
}

}  // namespace
}  // namespace pennock
