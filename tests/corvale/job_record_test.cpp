// The job record: one tab-separated line per finished job in a daily file "Jobs\Jobs_yyyyMMdd.tsv"
// beside the log file, written whatever the log options say, with a header in each new file;
// its old files go after the log's days (90 by default); a record that cannot be written shows
// in the status bar and costs the job nothing. Each finished job also has a [JobStatus] summary.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "corvale/engine/job_record.h"
#include "tests/corvale/dispatch_fixture.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kDay = 86400;

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.push_back("");
  return parts;
}

class JobRecordTest : public testing::DispatchTest {
 protected:
  void Restart() {
    Server().Stop();
    Start();
    ASSERT_TRUE(Server().Running());
  }
  // The lines of a daily file, without their line ends.
  std::vector<std::string> RecordLines(const std::string& day = "20240307",
                                       const std::string& folder = "Jobs") {
    std::vector<std::string> lines;
    for (const std::string& line :
         Split(temp.ReadFile(folder + "\\Jobs_" + day + ".tsv"), '\n')) {
      if (!line.empty()) lines.push_back(line.substr(0, line.size() - (line.back() == '\r')));
    }
    return lines;
  }
  std::vector<std::string> LastFields() { return Split(RecordLines().back(), '\t'); }
  void SetWrittenAgo(const std::string& relative, int64_t seconds_ago) {
    const int64_t now = (clock.NowUtcFileTime() - 116444736000000000LL) / 10000000LL;
    fs::last_write_time(temp.Native(relative),
                        std::chrono::file_clock::from_sys(std::chrono::sys_seconds(
                            std::chrono::seconds(now - seconds_ago))));
  }
  int LinesStarting(const std::string& category, const std::string& start) {
    int count = 0;
    for (const std::string& line : LogMessages(category)) count += line.rfind(start, 0) == 0;
    return count;
  }
};

TEST_F(JobRecordTest, EachOutcomeHasItsLineWithWhereTheFileIsNow) {
  struct Case {
    const char* name;
    uint32_t exit_code;
    bool delete_when_done;
    const char* done;  // done folder
    const char* outcome;
    std::string location;
  };
  const Case cases[] = {
      {"done.afp", 0, false, "Done1", "done folder", temp.Win("Done1\\done.afp")},
      {"deleted.afp", 0, true, "Done1", "deleted", ""},
      {"failed.afp", 3, false, "Done1", "failed",
       temp.Win("JobStore\\Dorrow_Laser\\Failed\\failed.afp")},
      {"aside.afp", 0, false, "", "set aside",
       temp.Win("JobStore\\Dorrow_Laser\\Printed\\aside.afp")},
  };
  size_t expected_lines = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConfigureSlot(1, "In1", c.done, 3, c.delete_when_done);
    Restart();
    Drop(1, c.name);
    RunPassToEnd(c.exit_code);
    const std::vector<std::string> lines = RecordLines();
    ASSERT_EQ(lines.size(), ++expected_lines);
    EXPECT_EQ(lines.front(), kJobRecordHeader);
    const std::vector<std::string> expected = {"2024-03-07 14:20:00",
                                               "Dorrow_Laser",
                                               c.name,
                                               temp.Win("In1"),
                                               std::to_string(std::string(c.name).size()),
                                               "0",
                                               "0",
                                               std::to_string(c.exit_code),
                                               c.outcome,
                                               c.location};
    EXPECT_EQ(LastFields(), expected);
    EXPECT_EQ(LinesStarting("JobStatus", "Job " + std::string(c.name) + " from " +
                                             temp.Win("In1") + " on Dorrow_Laser: " + c.outcome),
              1);
  }
  EXPECT_EQ(Split(kJobRecordHeader, '\t').size(), 10u);
}

TEST_F(JobRecordTest, TimesInTheQueueAndPrintingAreCounted) {
  Drop(1, "slow.afp");
  clock.Advance(42);
  StartPass();
  ASSERT_TRUE(shell.WaitForLaunches(1));
  clock.Advance(75);
  shell.Finish(0);
  EndPass();
  loop.RunPosted();
  const std::vector<std::string> fields = LastFields();
  ASSERT_EQ(fields.size(), 10u);
  EXPECT_EQ(fields[0], "2024-03-07 14:21:57");
  EXPECT_EQ(fields[5], "42");
  EXPECT_EQ(fields[6], "75");
  EXPECT_EQ(LinesStarting("JobStatus", "Job slow.afp from " + temp.Win("In1") +
                                           " on Dorrow_Laser: done folder, exit code 0, 42 s in "
                                           "queue, 75 s printing, 8 bytes; now " +
                                           temp.Win("Done1\\slow.afp")),
            1);
}

TEST_F(JobRecordTest, EachDayHasItsFileAndOldFilesGoAfterTheLogsDays) {
  Drop(1, "first.afp");
  RunPassToEnd(0);
  clock.Advance(kDay);
  Drop(1, "second.afp");
  RunPassToEnd(0);
  ASSERT_EQ(RecordLines("20240307").size(), 2u);
  ASSERT_EQ(RecordLines("20240308").size(), 2u);
  EXPECT_EQ(RecordLines("20240308").front(), kJobRecordHeader);

  temp.WriteFile("Jobs\\Jobs_20231101.tsv", "old");
  SetWrittenAgo("Jobs\\Jobs_20231101.tsv", 100 * kDay);
  temp.WriteFile("Jobs\\Jobs_20240301.tsv", "recent");
  SetWrittenAgo("Jobs\\Jobs_20240301.tsv", 6 * kDay);
  temp.WriteFile("Jobs\\notes.txt", "not the record's");
  SetWrittenAgo("Jobs\\notes.txt", 100 * kDay);
  // The log keeps its files: the record keeps 90 days.
  Server().LogTick();
  EXPECT_EQ(temp.FilesIn("Jobs"), (std::vector<std::string>{"Jobs_20240301.tsv",
                                                             "Jobs_20240307.tsv",
                                                             "Jobs_20240308.tsv", "notes.txt"}));
  EXPECT_EQ(LinesStarting("DeleteFile", "Job record files older than 90 days deleted: " +
                                            temp.Win("Jobs\\Jobs_20231101.tsv")),
            1);

  // The log's age limit in force: the record keeps as many days. Looked at once a day.
  settings.Log.DeleteLogFile = true;
  settings.Log.DeleteLogFileDays = 5;
  Apply();
  Server().LogTick();
  EXPECT_TRUE(temp.Exists("Jobs\\Jobs_20240301.tsv"));
  clock.Advance(kDay);
  Server().LogTick();
  EXPECT_FALSE(temp.Exists("Jobs\\Jobs_20240301.tsv"));
  EXPECT_TRUE(temp.Exists("Jobs\\Jobs_20240308.tsv"));
}

TEST_F(JobRecordTest, WrittenWhateverTheLogOptionsSayAndBesideTheLogFile) {
  settings.LogEnabled = false;
  settings.LogFile = temp.Win("Logs\\Corvale.log");
  Apply();
  // A log folder that is not there (a share that is down) is not made: the record waits for it.
  Drop(1, "early.afp");
  RunPassToEnd(0);
  EXPECT_FALSE(temp.Exists("Logs"));
  fs::create_directories(temp.Native("Logs"));
  Drop(1, "quiet.afp");
  RunPassToEnd(0);
  EXPECT_FALSE(temp.Exists("Logs\\Corvale.log"));
  const std::vector<std::string> lines = RecordLines("20240307", "Logs\\Jobs");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("\tquiet.afp\t"), std::string::npos);
}

TEST_F(JobRecordTest, ARecordThatCannotBeWrittenShowsInTheStatusBarAndCostsTheJobNothing) {
  // A folder where today's file should be.
  fs::create_directories(temp.Native("Jobs\\Jobs_20240307.tsv"));
  Drop(1, "a.afp");
  RunPassToEnd(0);
  EXPECT_EQ(temp.FilesIn("Done1"), std::vector<std::string>{"a.afp"});
  const std::string failure = "The job record " + temp.Win("Jobs\\Jobs_20240307.tsv") +
                              " cannot be written: ";
  StatusTick();
  EXPECT_EQ(view.Status().find(failure), 0u) << view.Status();
  StatusTick();
  clock.Advance(30);
  StatusTick();
  EXPECT_EQ(LinesStarting("JobStatus", failure), 1);
  clock.Advance(31);
  StatusTick();
  EXPECT_EQ(LinesStarting("JobStatus", failure), 2);

  // Written again: the notice goes.
  fs::remove(temp.Native("Jobs\\Jobs_20240307.tsv"));
  Drop(1, "b.afp");
  RunPassToEnd(0);
  StatusTick();
  EXPECT_EQ(view.Status().find("The job record"), std::string::npos) << view.Status();
  EXPECT_EQ(RecordLines().size(), 2u);
}

}  // namespace
}  // namespace corvale
