// The log file: line layout, date stamps and wildcard matching of stamped names, write errors,
// and the size limit, age limit and change of name of the once-a-minute tick.
#include "corvale/settings/log_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "corvale/engine/errors.h"
#include "corvale/platform/portable/std_file_system.h"
#include "tests/fakes/fake_event_loop.h"
#include "tests/fakes/fake_system.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;
using testing::FakeClock;
using testing::FakeEventLoop;
using testing::FakeSystemInfo;

constexpr uint64_t kMB = 1048576;
constexpr int64_t kDay = 86400;

// ---- Plain logic: timestamps, stamped names, patterns, error texts.

TEST(LogTimestampTest, TwoDigitFieldsWithTheUsersSeparators) {
  struct Case {
    LocalTime time;
    char date_separator, time_separator;
    const char* expected;
  };
  const Case cases[] = {
      {{2024, 3, 7, 14, 5, 9, 0}, '/', ':', "03/07/24 14:05:09"},
      {{2009, 12, 31, 23, 59, 59, 999}, '/', ':', "12/31/09 23:59:59"},
      {{2000, 1, 1, 0, 0, 0, 0}, '/', ':', "01/01/00 00:00:00"},
      {{2024, 3, 7, 14, 5, 9, 0}, '.', '-', "03.07.24 14-05-09"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(LogTimestamp(c.time, c.date_separator, c.time_separator), c.expected);
  }
}

TEST(DateStampTest, StampGoesBeforeTheFileNamesExtension) {
  const LocalTime at_1420{2024, 3, 7, 14, 20, 0, 0};
  struct Case {
    const char* path;
    const char* stamped;
    const char* pattern;
  };
  const Case cases[] = {
      {"D:\\Logs\\Varnell.log", "D:\\Logs\\Varnell_20240307_14.log",
       "D:\\Logs\\Varnell????????????.log"},
      {"D:\\Logs\\server", "D:\\Logs\\server_20240307_14", "D:\\Logs\\server????????????"},
      {"D:\\Logs.old\\server", "D:\\Logs.old\\server_20240307_14",
       "D:\\Logs.old\\server????????????"},
      {"D:\\Logs\\server.", "D:\\Logs\\server_20240307_14", "D:\\Logs\\server????????????"},
      {"D:\\Logs\\a.b.log", "D:\\Logs\\a.b_20240307_14.log", "D:\\Logs\\a.b????????????.log"},
      {"Varnell.log", "Varnell_20240307_14.log", "Varnell????????????.log"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(DateStampedName(c.path, at_1420), c.stamped);
    EXPECT_EQ(DateStampPattern(c.path), c.pattern);
  }
  EXPECT_EQ(DateStamp({2024, 1, 5, 3, 59, 59, 0}), "_20240105_03");
  EXPECT_EQ(DateStamp({2024, 12, 31, 23, 0, 0, 0}), "_20241231_23");
}

TEST(MatchesFileNamePatternTest, QuestionMarksFollowTheFileSystemsWildcards) {
  struct Case {
    const char* name;
    const char* pattern;
    bool matches;
  };
  const Case cases[] = {
      {"Varnell_20240307_14.log", "Varnell????????????.log", true},
      {"VARNELL_20240307_14.LOG", "Varnell????????????.log", true},
      {"Varnell_20240307.log", "Varnell????????????.log", true},  // shorter stamp
      {"Varnell.log", "Varnell????????????.log", true},           // plain name
      {"Varnell_20240307_145.log", "Varnell????????????.log", false},
      {"Varnell_20240307_14.txt", "Varnell????????????.log", false},
      {"Varnell_20240307_14.log.bak", "Varnell????????????.log", false},
      {"Other_20240307_14.log", "Varnell????????????.log", false},
      {"Varnell_2024.03.07.log", "Varnell????????????.log", false},  // "?" never takes a dot
      {"Varnel.log", "Varnell????????????.log", false},
      {"server_20240307_14", "server????????????", true},
      {"server_2024", "server????????????", true},
      {"server", "server????????????", true},
      {"server_20240307_14x", "server????????????", false},
      {"server_20240307_14.log", "server????????????", false},
      {"a.b.log", "*.log", true},
      {"a.txt", "*.log", false},
      {"noext", "*.*", true},
      {"anything at all", "*", true},
      {"a.b.c", "*.c", true},
      {"a.b", "*.c", false},
      {"a.b", "*.?", true},
      {"abc", "*.?", true},
      {"a.bc", "*.?", false},  // the star before a dot never takes the name's last dot
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " / " + c.pattern);
    EXPECT_EQ(MatchesFileNamePattern(c.name, c.pattern), c.matches);
  }
}

TEST(FileErrorMessageTest, CommonCodesHaveNames) {
  EXPECT_EQ(FileErrorMessage(2), "File not found");
  EXPECT_EQ(FileErrorMessage(3), "Path not found");
  EXPECT_EQ(FileErrorMessage(5), "File access denied");
  EXPECT_EQ(FileErrorMessage(32), "I/O error 32");
}

// ---- The writer and the tick against a real temp folder.

// The real file system, with answers that a test can force.
class ScriptedFileSystem : public StdFileSystem {
 public:
  std::optional<uint64_t> size;
  SystemError size_error = 0;
  SystemError delete_error = 0;
  SystemError empty_error = 0;
  SystemError append_error = 0;
  int deletes = 0;

  SystemError FileSizeDenyingWriters(const std::string& path, uint64_t& bytes) override {
    if (size_error) return size_error;
    if (size) {
      bytes = *size;
      return 0;
    }
    return StdFileSystem::FileSizeDenyingWriters(path, bytes);
  }
  SystemError DeleteFile(const std::string& path) override {
    ++deletes;
    return delete_error ? delete_error : StdFileSystem::DeleteFile(path);
  }
  SystemError EmptyFile(const std::string& path) override {
    return empty_error ? empty_error : StdFileSystem::EmptyFile(path);
  }
  using StdFileSystem::AppendToFile;
  SystemError AppendToFile(const std::string& path, const std::string& bytes,
                           const std::string& first_bytes) override {
    return append_error ? append_error : StdFileSystem::AppendToFile(path, bytes, first_bytes);
  }
};

class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "corvale_log_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // A Windows-style path below the temp folder, as the log file box would hold it.
  std::string Win(const std::string& name) const { return root_.string() + "\\" + name; }

  std::string Now() { return LogTimestamp(clock_.Now(), '/', ':'); }

  // The file's lines; every line must end with CR LF.
  static std::vector<std::string> Lines(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
      const size_t end = text.find("\r\n", start);
      if (end == std::string::npos) {
        ADD_FAILURE() << "line without CR LF: " << text.substr(start);
        break;
      }
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

  void MakeFile(const std::string& name, uint64_t size) {
    std::ofstream(root_ / name, std::ios::binary) << "";
    fs::resize_file(root_ / name, size);
  }

  // Last written `seconds_ago` before the fake clock's now.
  void SetWrittenAgo(const std::string& name, int64_t seconds_ago) {
    const int64_t now = (clock_.NowUtcFileTime() - 116444736000000000LL) / 10000000LL;
    fs::last_write_time(root_ / name, std::chrono::file_clock::from_sys(std::chrono::sys_seconds(
                                          std::chrono::seconds(now - seconds_ago))));
  }

  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path root_;
  FakeClock clock_{{2024, 3, 7, 14, 20, 0, 0}};
  FakeSystemInfo system_;
  FakeEventLoop loop_;
  ScriptedFileSystem files_;
  LogFile log_{files_, clock_, system_, loop_};
};

TEST_F(LogFileTest, NewFileBeginsWithLogFileCreatedAndTheEntryFollows) {
  clock_.Set({2024, 3, 7, 14, 5, 9, 0});
  log_.SetCurrentLogFile(Win("Varnell.log"));
  log_.WriteLog("Simulator started successfully.", "General");
  clock_.Advance(2);
  log_.WriteLog("Print jobs in queue: 0", "JobStatus");

  EXPECT_EQ(Lines(root_ / "Varnell.log"),
            (std::vector<std::string>{"03/07/24 14:05:09 Log file created",
                                      "03/07/24 14:05:09 [General] Simulator started successfully.",
                                      "03/07/24 14:05:11 [JobStatus] Print jobs in queue: 0"}));
}

// Names reach the log in the system's 8-bit code page (Latin-1 for the fake): what it can spell
// keeps its byte, anything else shows as "?".
TEST_F(LogFileTest, LinesUseTheUsersSeparatorsAndTheAnsiCodePage) {
  system_.date_separator = '.';
  system_.time_separator = '-';
  log_.SetCurrentLogFile(Win("Varnell.log"));
  log_.WriteLog("Fichier \u00e9t\u00e9 d\u00e9plac\u00e9: \u65e5\u672c.afp \U0001F600", "MoveFile");
  const auto lines = Lines(root_ / "Varnell.log");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "03.07.24 14-20-00 [MoveFile] Fichier \xE9t\xE9 d\xE9plac\xE9: ??.afp ?");
}

TEST_F(LogFileTest, DisabledLoggingWritesNothingAndCreatesNothing) {
  log_.SetCurrentLogFile(Win("Varnell.log"));
  log_.SetEnabled(false);
  log_.WriteLog("dropped", "General");
  EXPECT_TRUE(FolderNames().empty());

  log_.SetEnabled(true);
  log_.WriteLog("kept", "General");
  const auto lines = Lines(root_ / "Varnell.log");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], Now() + " [General] kept");
}

TEST_F(LogFileTest, EmptyLogFileNameWritesNothingAndRaisesNothing) {
  log_.SetCurrentLogFile("");
  EXPECT_NO_THROW(log_.WriteLog("nowhere", "General"));
  EXPECT_TRUE(FolderNames().empty());
}

// The name is used exactly as set; the log file box's handler trims what was typed.
TEST_F(LogFileTest, LinesGoToTheNameAsSet) {
  log_.SetCurrentLogFile(Win("Varnell.log"));
  EXPECT_EQ(log_.CurrentLogFile(), Win("Varnell.log"));
  log_.WriteLog("one", "General");
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"Varnell.log"});
}

TEST_F(LogFileTest, WriteFailuresReachTheCallerAndTheNextCallTriesAgain) {
  struct Case {
    const char* what;
    std::string path;
    SystemError forced;
    const char* message;
  };
  fs::create_directory(root_ / "folder.log");
  const Case cases[] = {
      {"missing folder", Win("Gone\\Varnell.log"), 0, "Path not found"},
      {"a folder in the way", Win("folder.log"), 0, "File access denied"},
      {"other failure", Win("Varnell.log"), 32, "I/O error 32"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    files_.append_error = c.forced;
    log_.SetCurrentLogFile(c.path);
    try {
      log_.WriteLog("line", "General");
      ADD_FAILURE() << "no error";
    } catch (const LogWriteError& error) {
      EXPECT_STREQ(error.what(), c.message);
      EXPECT_EQ(error.Path(), c.path);
    }
    // The status bar's words for it stand until a line is written again.
    EXPECT_EQ(log_.Failure(), "The log file " + c.path + " cannot be written: " + c.message);
  }
  files_.append_error = 0;
  log_.SetCurrentLogFile(Win("Varnell.log"));
  log_.WriteLog("after", "General");
  EXPECT_EQ(Lines(root_ / "Varnell.log").size(), 2u);
  EXPECT_EQ(log_.Failure(), "");
}

// The file over the limit is emptied in place, not deleted: a user who may write it may not be
// allowed to create it again, and it keeps its rights. The log reads as if it had been deleted.
TEST_F(LogFileTest, SizeLimitEmptiesOnlyAFileLargerThanTheLimit) {
  LogSettings settings;
  settings.KeepLogFileSmall = true;
  settings.KeepLogFileSize = 10;
  for (const uint64_t size : {10 * kMB, 10 * kMB + 1}) {
    SCOPED_TRACE(size);
    MakeFile("Varnell.log", size);
    struct stat before = {};
    ASSERT_EQ(stat((root_ / "Varnell.log").c_str(), &before), 0);
    log_.SetCurrentLogFile(Win("Varnell.log"));
    log_.Timer3Timer(Win("Varnell.log"), settings);
    struct stat after = {};
    ASSERT_EQ(stat((root_ / "Varnell.log").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the file was made anew";
    EXPECT_EQ(files_.deletes, 0);
    if (size == 10 * kMB) {
      EXPECT_EQ(fs::file_size(root_ / "Varnell.log"), size);
    } else {
      EXPECT_EQ(Lines(root_ / "Varnell.log"),
                (std::vector<std::string>{Now() + " Log file created",
                                          Now() + " [DeleteFile] Log file " + Win("Varnell.log") +
                                              " is deleted, since it exceeded 10MB limit."}));
    }
    EXPECT_EQ(log_.CurrentLogFile(), Win("Varnell.log"));
  }
}

TEST_F(LogFileTest, SizeLimitOffOrNotPositiveKeepsTheFile) {
  struct Case {
    bool small;
    int32_t size_mb;
  };
  for (const Case c : {Case{false, 10}, Case{true, 0}, Case{true, -1}}) {
    SCOPED_TRACE(c.size_mb);
    MakeFile("Varnell.log", 11 * kMB);
    log_.SetCurrentLogFile(Win("Varnell.log"));
    LogSettings settings;
    settings.KeepLogFileSmall = c.small;
    settings.KeepLogFileSize = c.size_mb;
    log_.Timer3Timer(Win("Varnell.log"), settings);
    EXPECT_EQ(fs::file_size(root_ / "Varnell.log"), 11 * kMB);
  }
}

// 5000 MB is beyond 32 bits; a threshold computed in 32 bits would be about 904 MB.
TEST_F(LogFileTest, SizeLimitOfFiveThousandMBIsComputedIn64Bits) {
  LogSettings settings;
  settings.KeepLogFileSmall = true;
  settings.KeepLogFileSize = 5000;
  struct Case {
    uint64_t size;
    bool deleted;
  };
  for (const Case c : {Case{1024 * kMB, false}, Case{5000 * kMB, false}, Case{5000 * kMB + 1, true},
                       Case{(1ull << 32) + 1, false}}) {
    SCOPED_TRACE(c.size);
    MakeFile("Varnell.log", 7);
    files_.size = c.size;
    log_.SetCurrentLogFile(Win("Varnell.log"));
    log_.Timer3Timer(Win("Varnell.log"), settings);
    if (c.deleted) {
      const auto lines = Lines(root_ / "Varnell.log");
      ASSERT_EQ(lines.size(), 2u);
      EXPECT_EQ(lines[1], Now() + " [DeleteFile] Log file " + Win("Varnell.log") +
                              " is deleted, since it exceeded 5000MB limit.");
    } else {
      EXPECT_EQ(fs::file_size(root_ / "Varnell.log"), 7u);
    }
  }
}

TEST_F(LogFileTest, FileThatCannotBeOpenedForItsSizeEndsTheTick) {
  MakeFile("Varnell_20240228_09.log", 1);
  SetWrittenAgo("Varnell_20240228_09.log", 8 * kDay);
  MakeFile("Varnell_20240307_13.log", 1);
  files_.size_error = 32;
  log_.SetCurrentLogFile(Win("Varnell_20240307_13.log"));
  LogSettings settings{true, 10, true, true, 7};
  try {
    log_.Timer3Timer(Win("Varnell.log"), settings);
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot open file \"" + Win("Varnell_20240307_13.log") +
                  "\". The process cannot access the file because it is being used by another "
                  "process.");
  }
  // Neither the age limit nor the change of name ran.
  EXPECT_TRUE(fs::exists(root_ / "Varnell_20240228_09.log"));
  EXPECT_EQ(log_.CurrentLogFile(), Win("Varnell_20240307_13.log"));
}

TEST_F(LogFileTest, LargeFileThatCannotBeEmptiedIsNotReported) {
  MakeFile("Varnell.log", 11 * kMB);
  files_.empty_error = 32;
  log_.SetCurrentLogFile(Win("Varnell.log"));
  LogSettings settings;
  settings.KeepLogFileSmall = true;
  EXPECT_NO_THROW(log_.Timer3Timer(Win("Varnell.log"), settings));
  EXPECT_EQ(fs::file_size(root_ / "Varnell.log"), 11 * kMB);
}

TEST_F(LogFileTest, AgeLimitDeletesOldStampedFilesAndKeepsTheCurrentOne) {
  struct Old {
    const char* name;
    int64_t age;
    bool deleted;
  };
  const Old files[] = {
      {"Varnell_20240228_09.log", 8 * kDay, true},
      {"Varnell.log", 8 * kDay, true},
      {"Varnell_20240228.log", 9 * kDay, true},
      {"Varnell_20240229_14.log", 7 * kDay, false},  // exactly the limit
      {"Varnell_20240229_13.log", 7 * kDay + 1, true},
      {"Varnell_20240301_10.log", 6 * kDay, false},
      {"Varnell_20240307_14.log", 0, false},
      {"Other_20240228_09.log", 30 * kDay, false},
      {"Varnell_20240228_09.txt", 30 * kDay, false},
  };
  for (const Old& f : files) {
    MakeFile(f.name, 5);
    SetWrittenAgo(f.name, f.age);
  }
  fs::create_directory(root_ / "Varnell_20240101_01.log");
  SetWrittenAgo("Varnell_20240101_01.log", 60 * kDay);

  log_.SetCurrentLogFile(Win("Varnell_20240307_14.log"));
  LogSettings settings{false, 10, true, true, 7};
  log_.Timer3Timer(Win("Varnell.log"), settings);

  std::vector<std::string> expected_lines;
  for (const Old& f : files) {
    SCOPED_TRACE(f.name);
    EXPECT_EQ(fs::exists(root_ / f.name), !f.deleted);
    if (f.deleted) {
      expected_lines.push_back(Now() + " [DeleteFile] Log file " + Win(f.name) +
                               " is deleted, since it was created 7days ago");
    }
  }
  EXPECT_TRUE(fs::is_directory(root_ / "Varnell_20240101_01.log"));

  // The messages went to the current file, after its five bytes, in the order of the listing.
  std::ifstream in(root_ / "Varnell_20240307_14.log", std::ios::binary);
  std::string text(std::istreambuf_iterator<char>(in), {});
  ASSERT_GE(text.size(), 5u);
  std::ofstream(root_ / "tail", std::ios::binary) << text.substr(5);
  auto lines = Lines(root_ / "tail");
  std::sort(lines.begin(), lines.end());
  std::sort(expected_lines.begin(), expected_lines.end());
  EXPECT_EQ(lines, expected_lines);

  // Events ran after each of the seven matching files and once more at the end.
  EXPECT_EQ(loop_.PumpCount, 8);
  EXPECT_EQ(log_.CurrentLogFile(), Win("Varnell_20240307_14.log"));
}

TEST_F(LogFileTest, AgeLimitNeedsDateStampsDeletionAndAPositiveLimit) {
  struct Case {
    const char* what;
    bool append_date, delete_files;
    int32_t days;
  };
  const Case cases[] = {
      {"deletion without date stamps", false, true, 7},
      {"date stamps without deletion", true, false, 7},
      {"zero days", true, true, 0},
      {"negative days", true, true, -3},
  };
  MakeFile("Varnell_20240228_09.log", 5);
  SetWrittenAgo("Varnell_20240228_09.log", 30 * kDay);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    log_.SetCurrentLogFile(Win("Varnell.log"));
    LogSettings settings{false, 10, c.append_date, c.delete_files, c.days};
    log_.Timer3Timer(Win("Varnell.log"), settings);
    EXPECT_TRUE(fs::exists(root_ / "Varnell_20240228_09.log"));
    EXPECT_EQ(loop_.PumpCount, 0);
  }
}

// Events run while old files are deleted may log themselves.
TEST_F(LogFileTest, EventsRunDuringDeletionCanWriteLines) {
  MakeFile("Varnell_20240228_09.log", 5);
  SetWrittenAgo("Varnell_20240228_09.log", 8 * kDay);
  log_.SetCurrentLogFile(Win("Varnell_20240307_14.log"));
  loop_.OnPump = [&] { log_.WriteLog("Print jobs in queue: 0", "JobStatus"); };
  log_.DeleteOldLogFiles(root_.string(), "Varnell????????????.log", 7);
  const auto lines = Lines(root_ / "Varnell_20240307_14.log");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], Now() + " [DeleteFile] Log file " + Win("Varnell_20240228_09.log") +
                          " is deleted, since it was created 7days ago");
  EXPECT_EQ(lines[2], Now() + " [JobStatus] Print jobs in queue: 0");
  EXPECT_EQ(lines[3], lines[2]);
}

TEST_F(LogFileTest, NameChangesAtTheFirstTickAfterTheHour) {
  LogSettings settings;
  settings.AppendLogDate = true;
  clock_.Set({2024, 3, 7, 14, 59, 30, 0});
  log_.SetCurrentLogFile(Win("Varnell.log"));
  log_.WriteLog("before the first tick", "General");
  log_.Timer3Timer("  " + Win("Varnell.log") + " ", settings);
  EXPECT_EQ(log_.CurrentLogFile(), Win("Varnell_20240307_14.log"));
  log_.WriteLog("a", "General");

  clock_.Advance(40);  // 15:00:10
  log_.WriteLog("after the hour, before the tick", "General");
  log_.Timer3Timer(Win("Varnell.log"), settings);
  EXPECT_EQ(log_.CurrentLogFile(), Win("Varnell_20240307_15.log"));
  log_.WriteLog("b", "General");

  EXPECT_EQ(Lines(root_ / "Varnell.log").size(), 2u);
  const auto hour14 = Lines(root_ / "Varnell_20240307_14.log");
  ASSERT_EQ(hour14.size(), 3u);
  EXPECT_EQ(hour14[2], "03/07/24 15:00:10 [General] after the hour, before the tick");
  const auto hour15 = Lines(root_ / "Varnell_20240307_15.log");
  ASSERT_EQ(hour15.size(), 2u);
  EXPECT_EQ(hour15[1], "03/07/24 15:00:10 [General] b");
}

TEST_F(LogFileTest, WithoutDateStampsTheTickKeepsTheName) {
  log_.SetCurrentLogFile(Win("Plain.log"));
  log_.Timer3Timer(Win("Varnell.log"), LogSettings{});
  EXPECT_EQ(log_.CurrentLogFile(), Win("Plain.log"));
}

// The size limit looks at the file of the hour that ended; the deletion message starts that
// file anew before the name moves on.
TEST_F(LogFileTest, SizeLimitRunsBeforeTheChangeOfName) {
  MakeFile("Varnell_20240307_14.log", 2 * kMB);
  clock_.Set({2024, 3, 7, 15, 0, 5, 0});
  log_.SetCurrentLogFile(Win("Varnell_20240307_14.log"));
  LogSettings settings{true, 1, true, false, 7};
  log_.Timer3Timer(Win("Varnell.log"), settings);
  EXPECT_EQ(Lines(root_ / "Varnell_20240307_14.log").size(), 2u);
  EXPECT_EQ(log_.CurrentLogFile(), Win("Varnell_20240307_15.log"));
}

}  // namespace
}  // namespace corvale
