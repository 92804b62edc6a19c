// SaveActivityText and its file tests: appending, creating, the wait for a file in use, and a
// chunk that cannot be saved.
#include "pennock/save_activity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_platform.h"

namespace pennock {
namespace {

using testing::FakeFiles;
using testing::FakePlatform;

constexpr std::uint64_t kTicksPerSecond = 10000000;
// 1980-01-01 00:00:00 and 2108-01-01 00:00:00 as FILETIME.
constexpr std::uint64_t k1980 = 119600064000000000;
constexpr std::uint64_t k2108 = 159992928000000000;

class SaveActivityTest : public ::testing::Test {
 protected:
  void Save(const std::string& text) { SaveActivityText(fake.files, fake.system, kPath, text); }
  std::string Content() { return fake.files.Get(kPath).value_or(FakeFiles::File{}).Content; }

  const std::string kPath = "C:\\logs\\activity.txt";
  FakePlatform fake;
};

TEST(DosDateTimeTest, ConvertsOnlyYears1980To2107) {
  std::optional<DosDateTime> dos = FileTimeToDosDateTime(129495047050000000);  // 12:38:25
  ASSERT_TRUE(dos);
  EXPECT_EQ(dos->Date, (31 << 9) | (5 << 5) | 10);
  EXPECT_EQ(dos->Time, (12 << 11) | (38 << 5) | 12);

  EXPECT_TRUE(FileTimeToDosDateTime(k1980));
  EXPECT_FALSE(FileTimeToDosDateTime(k1980 - kTicksPerSecond));
  EXPECT_TRUE(FileTimeToDosDateTime(k2108 - kTicksPerSecond));
  EXPECT_FALSE(FileTimeToDosDateTime(k2108));
  EXPECT_FALSE(FileTimeToDosDateTime(0));
}

TEST_F(SaveActivityTest, FileExistsNeedsAFileWithADosDateInLocalTime) {
  struct Case {
    const char* name;
    bool present;
    bool directory;
    std::uint64_t lastWrite;
    std::int64_t localOffset;
    bool expected;
  };
  const std::int64_t hour = 3600 * static_cast<std::int64_t>(kTicksPerSecond);
  const std::vector<Case> cases = {
      {"missing", false, false, k1980, 0, false},
      {"ordinary file", true, false, 129495047050000000, 0, true},
      {"directory", true, true, 129495047050000000, 0, false},
      {"written 1979", true, false, k1980 - kTicksPerSecond, 0, false},
      {"1979 UTC is 1980 locally", true, false, k1980 - kTicksPerSecond, hour, true},
      {"1980 UTC is 1979 locally", true, false, k1980, -hour, false},
      {"written 2108", true, false, k2108, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform local;
    if (c.present) {
      FakeFiles::File file;
      file.Directory = c.directory;
      file.LastWriteTime = c.lastWrite;
      local.files.Put(kPath, file);
    }
    local.files.LocalOffset = c.localOffset;
    EXPECT_EQ(FileExists(local.files, kPath), c.expected);
  }
}

TEST_F(SaveActivityTest, MissingFileIsCreated) {
  Save("line 1\r\n");
  EXPECT_EQ(Content(), "line 1\r\n");
  EXPECT_TRUE(fake.system.Sleeps().empty());
}

TEST_F(SaveActivityTest, ExistingFileIsAppendedToNeverTruncated) {
  fake.files.Put(kPath, FakeFiles::File{"earlier run\r\n"});
  Save("chunk 1\r\n");
  Save("chunk 2\r\n");
  EXPECT_EQ(Content(), "earlier run\r\nchunk 1\r\nchunk 2\r\n");
}

TEST_F(SaveActivityTest, FileInUseIsWaitedForUntilFree) {
  FakeFiles::File busy{"old\r\n"};
  busy.BusyChecks = 4;
  fake.files.Put(kPath, busy);
  Save("new\r\n");
  EXPECT_EQ(fake.system.Sleeps(), (std::vector<std::uint32_t>(4, 100)));
  EXPECT_EQ(Content(), "old\r\nnew\r\n");
}

TEST_F(SaveActivityTest, WaitEndsAfterElevenPausesAndTheLostChunkIsReported) {
  FakeFiles::File busy{"old\r\n"};
  busy.BusyChecks = -1;
  fake.files.Put(kPath, busy);
  Save("new\r\n");
  EXPECT_EQ(fake.system.Sleeps(), (std::vector<std::uint32_t>(11, 100)));
  EXPECT_EQ(Content(), "old\r\n");
  EXPECT_EQ(fake.files.Calls().back(), "AppendToFile " + kPath);
  EXPECT_EQ(fake.system.DebugLines(),
            (std::vector<std::string>{
                "Could not save 5 characters of the activity log to \"C:\\logs\\activity.txt\""}));
}

TEST_F(SaveActivityTest, FileThatCannotBeCreatedIsReported) {
  fake.files.FailCreation(kPath);
  Save("text");
  EXPECT_FALSE(fake.files.Get(kPath));
  EXPECT_EQ(fake.system.DebugLines().size(), 1u);
}

}  // namespace
}  // namespace pennock
