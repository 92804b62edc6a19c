// The std::filesystem file system: Windows paths, listing with times, moves and error codes.
#include "corvale/platform/portable/std_file_system.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace corvale {
namespace {

namespace fs = std::filesystem;

class StdFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "corvale_fs_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // A Windows-style path below the temp folder.
  std::string Win(const std::string& relative) const { return root_.string() + "\\" + relative; }

  void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }

  static std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path root_;
  StdFileSystem files_;
};

TEST_F(StdFileSystemTest, BackslashesNameTheSameFilesAsSlashes) {
  WriteFile(root_ / "In" / "a.afp", "x");
  EXPECT_TRUE(files_.FileExists(Win("In\\a.afp")));
  EXPECT_FALSE(files_.FileExists(Win("In")));
  EXPECT_TRUE(files_.DirectoryExists(Win("In")));
  EXPECT_FALSE(files_.DirectoryExists(Win("In\\a.afp")));
  EXPECT_FALSE(files_.FileExists(Win("In\\b.afp")));
}

TEST_F(StdFileSystemTest, CreateDirectoriesMakesEveryMissingParent) {
  EXPECT_TRUE(files_.CreateDirectories(Win("JobStore\\Office#Laser\\deep")));
  EXPECT_TRUE(fs::is_directory(root_ / "JobStore" / "Office#Laser" / "deep"));
  EXPECT_TRUE(files_.CreateDirectories(Win("JobStore")));
  WriteFile(root_ / "plain", "x");
  EXPECT_FALSE(files_.CreateDirectories(Win("plain\\sub")));
}

// Lists the folder's own entries with their times; a subfolder is one entry, not its contents.
TEST_F(StdFileSystemTest, ListFolderGivesEntriesWithUtcAndLocalDosTimes) {
  WriteFile(root_ / "a.afp", "x");
  WriteFile(root_ / "sub" / "inner.afp", "y");

  std::tm local{};
  local.tm_year = 2024 - 1900;
  local.tm_mon = 2;
  local.tm_mday = 7;
  local.tm_hour = 14;
  local.tm_min = 20;
  local.tm_sec = 37;
  local.tm_isdst = -1;
  const std::time_t written = std::mktime(&local);
  fs::last_write_time(root_ / "a.afp", std::chrono::file_clock::from_sys(
                                           std::chrono::system_clock::from_time_t(written)));

  std::vector<FileEntry> entries = files_.ListFolder(Win(""));
  std::sort(entries.begin(), entries.end(),
            [](const FileEntry& a, const FileEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "a.afp");
  EXPECT_FALSE(entries[0].is_directory);
  EXPECT_EQ(entries[0].last_write_utc, 116444736000000000LL + written * 10000000LL);
  const uint32_t date = ((2024 - 1980) << 9) | (3 << 5) | 7;
  const uint32_t time = (14 << 11) | (20 << 5) | (37 / 2);
  EXPECT_EQ(entries[0].last_write_dos, (date << 16) | time);
  EXPECT_EQ(entries[1].name, "sub");
  EXPECT_TRUE(entries[1].is_directory);

  EXPECT_TRUE(files_.ListFolder(Win("missing")).empty());
}

TEST_F(StdFileSystemTest, MoveReplacesAnExistingTarget) {
  WriteFile(root_ / "In" / "a.afp", "new");
  WriteFile(root_ / "Done" / "a.afp", "old");
  EXPECT_EQ(files_.MoveFile(Win("In\\a.afp"), Win("Done\\a.afp")), 0u);
  EXPECT_FALSE(fs::exists(root_ / "In" / "a.afp"));
  EXPECT_EQ(ReadFile(root_ / "Done" / "a.afp"), "new");
}

TEST_F(StdFileSystemTest, MoveWithoutReplacingKeepsAnExistingTarget) {
  WriteFile(root_ / "Store" / "a.afp", "queued");
  WriteFile(root_ / "In" / "a.afp", "newer");
  EXPECT_EQ(files_.MoveFileNoReplace(Win("Store\\a.afp"), Win("In\\a.afp")), 183u);
  EXPECT_EQ(ReadFile(root_ / "In" / "a.afp"), "newer");
  EXPECT_EQ(ReadFile(root_ / "Store" / "a.afp"), "queued");
  EXPECT_EQ(files_.ErrorText(183), "Cannot create a file when that file already exists.");

  fs::remove(root_ / "In" / "a.afp");
  EXPECT_EQ(files_.MoveFileNoReplace(Win("Store\\a.afp"), Win("In\\a.afp")), 0u);
  EXPECT_EQ(ReadFile(root_ / "In" / "a.afp"), "queued");
  EXPECT_FALSE(fs::exists(root_ / "Store" / "a.afp"));
}

TEST_F(StdFileSystemTest, FailuresGiveTheWindowsCodes) {
  WriteFile(root_ / "In" / "a.afp", "x");
  fs::create_directories(root_ / "Done" / "a.afp");
  struct Case {
    const char* what;
    SystemError error;
    SystemError expected;
  };
  const Case cases[] = {
      {"move of a missing file", files_.MoveFile(Win("In\\b.afp"), Win("Done\\b.afp")), 2},
      {"move from a missing folder", files_.MoveFile(Win("Gone\\b.afp"), Win("Done\\b.afp")), 3},
      {"move into a missing folder", files_.MoveFile(Win("In\\a.afp"), Win("Gone\\a.afp")), 3},
      {"move onto a folder", files_.MoveFile(Win("In\\a.afp"), Win("Done\\a.afp")), 5},
      {"delete of a missing file", files_.DeleteFile(Win("In\\b.afp")), 2},
      {"delete in a missing folder", files_.DeleteFile(Win("Gone\\b.afp")), 3},
      {"delete of a folder", files_.DeleteFile(Win("Done")), 5},
      {"append in a missing folder", files_.AppendToFile(Win("Gone\\x.log"), "x"), 3},
      {"append to a folder", files_.AppendToFile(Win("Done"), "x"), 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.error, c.expected);
  }
  EXPECT_TRUE(fs::exists(root_ / "In" / "a.afp"));
  EXPECT_FALSE(fs::exists(root_ / "Gone"));
  EXPECT_EQ(files_.ErrorText(2), "The system cannot find the file specified.");
  EXPECT_EQ(files_.ErrorText(3), "The system cannot find the path specified.");
  EXPECT_EQ(files_.ErrorText(5), "Access is denied.");
}

TEST_F(StdFileSystemTest, DeleteRemovesTheFile) {
  WriteFile(root_ / "a.afp", "x");
  EXPECT_EQ(files_.DeleteFile(Win("a.afp")), 0u);
  EXPECT_FALSE(fs::exists(root_ / "a.afp"));
}

TEST_F(StdFileSystemTest, AppendCreatesThenAppendsBytesUnchanged) {
  EXPECT_EQ(files_.AppendToFile(Win("x.log"), "one\r\n"), 0u);
  EXPECT_EQ(files_.AppendToFile(Win("x.log"), "\xE9t\xE9\r\n", "only when made\r\n"), 0u);
  EXPECT_EQ(ReadFile(root_ / "x.log"), "one\r\n\xE9t\xE9\r\n");
  // The first bytes go only into a file that the append itself creates.
  EXPECT_EQ(files_.AppendToFile(Win("z.log"), "entry\r\n", "created\r\n"), 0u);
  EXPECT_EQ(files_.AppendToFile(Win("z.log"), "next\r\n", "created\r\n"), 0u);
  EXPECT_EQ(ReadFile(root_ / "z.log"), "created\r\nentry\r\nnext\r\n");
  uint64_t size = 0;
  EXPECT_EQ(files_.FileSizeDenyingWriters(Win("x.log"), size), 0u);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(files_.FileSizeDenyingWriters(Win("y.log"), size), 2u);
}

TEST_F(StdFileSystemTest, ShortPathIsThePathItselfWhenItExists) {
  WriteFile(root_ / "In" / "a long name.afp", "x");
  EXPECT_EQ(files_.ShortPath(Win("In\\a long name.afp")), Win("In\\a long name.afp"));
  EXPECT_EQ(files_.ShortPath(Win("In\\missing.afp")), "");
}

}  // namespace
}  // namespace corvale
