// Runner threads and the main thread log at once while the main thread changes the log file's
// name: every line arrives exactly once, whole, in one of the files.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <thread>
#include <vector>

#include "corvale/platform/portable/std_file_system.h"
#include "corvale/settings/log_file.h"
#include "tests/fakes/fake_event_loop.h"
#include "tests/fakes/fake_system.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;

// Appends in two writes, as a seek to the end followed by a write does on Windows, so that
// writers who are not kept apart mix their lines; counts writers inside at the same time.
class SplitAppendFileSystem : public StdFileSystem {
 public:
  std::atomic<int> inside{0};
  std::atomic<int> most_inside{0};

  using StdFileSystem::AppendToFile;
  SystemError AppendToFile(const std::string& path, const std::string& bytes,
                           const std::string& first_bytes) override {
    const int now = inside.fetch_add(1) + 1;
    int most = most_inside.load();
    while (now > most && !most_inside.compare_exchange_weak(most, now)) {
    }
    const size_t half = bytes.size() / 2;
    SystemError error = StdFileSystem::AppendToFile(path, bytes.substr(0, half), first_bytes);
    std::this_thread::yield();
    if (!error) error = StdFileSystem::AppendToFile(path, bytes.substr(half), std::string());
    inside.fetch_sub(1);
    return error;
  }
};

std::string Body(const std::string& who, int line) {
  return who + " line " + std::to_string(line) + " " + std::string(20 + line % 60, 'x');
}

TEST(LogFileConcurrencyTest, EveryLineArrivesOnceAndWholeWhileTheNameChanges) {
  std::string pattern = (fs::temp_directory_path() / "corvale_logmt_XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const fs::path root = pattern;

  SplitAppendFileSystem files;
  testing::FakeClock clock;
  testing::FakeSystemInfo system;
  testing::FakeEventLoop loop;
  LogFile log(files, clock, system, loop);
  const std::vector<std::string> names = {root.string() + "\\a.log", root.string() + "\\b.log",
                                          root.string() + "\\c.log"};
  log.SetCurrentLogFile(names[0]);

  constexpr int kRunners = 4;
  constexpr int kLinesPerRunner = 2500;
  std::atomic<int> finished{0};
  std::vector<std::thread> runners;
  for (int r = 0; r < kRunners; ++r) {
    runners.emplace_back([&, r] {
      for (int i = 0; i < kLinesPerRunner; ++i) {
        log.WriteLog(Body("runner " + std::to_string(r), i), "MoveFile");
      }
      finished.fetch_add(1);
    });
  }
  int main_lines = 0;
  for (size_t turn = 1; finished.load() < kRunners; ++turn) {
    log.SetCurrentLogFile(names[turn % names.size()]);
    log.WriteLog(Body("main", main_lines), "JobStatus");
    ++main_lines;
  }
  for (std::thread& runner : runners) runner.join();

  const std::string stamp = LogTimestamp(clock.Now(), '/', ':');
  std::map<std::string, int> seen;
  int files_found = 0;
  for (const char* name : {"a.log", "b.log", "c.log"}) {
    if (!fs::exists(root / name)) continue;
    ++files_found;
    std::ifstream in(root / name, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    ASSERT_FALSE(text.empty());
    ASSERT_EQ(text.substr(text.size() - 2), "\r\n");
    size_t start = 0;
    bool first = true;
    while (start < text.size()) {
      const size_t end = text.find("\r\n", start);
      const std::string line = text.substr(start, end - start);
      start = end + 2;
      if (first) {
        EXPECT_EQ(line, stamp + " Log file created") << name;
        first = false;
        continue;
      }
      ++seen[line];
    }
  }
  EXPECT_GE(files_found, 1);
  EXPECT_EQ(files.most_inside.load(), 1);

  std::vector<std::string> expected;
  for (int r = 0; r < kRunners; ++r) {
    for (int i = 0; i < kLinesPerRunner; ++i) {
      expected.push_back(stamp + " [MoveFile] " + Body("runner " + std::to_string(r), i));
    }
  }
  for (int i = 0; i < main_lines; ++i) {
    expected.push_back(stamp + " [JobStatus] " + Body("main", i));
  }
  size_t missing_or_doubled = 0;
  for (const std::string& line : expected) {
    const auto it = seen.find(line);
    if (it == seen.end() || it->second != 1) {
      if (++missing_or_doubled <= 5)
        ADD_FAILURE() << "seen " << (it == seen.end() ? 0 : it->second) << " times: " << line;
    }
  }
  EXPECT_EQ(missing_or_doubled, 0u);
  // Nothing else: no torn or mixed lines.
  EXPECT_EQ(seen.size(), expected.size());

  std::error_code ec;
  fs::remove_all(root, ec);
}

}  // namespace
}  // namespace corvale
