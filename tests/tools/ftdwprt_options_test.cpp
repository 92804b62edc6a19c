// The ftdwprt stand-in's command line, switches and record line.
#include "tools/ftdwprt/ftdwprt_options.h"

#include <gtest/gtest.h>

namespace varnell::tools {
namespace {

struct CommandLineCase {
  const char* command_line;
  const char* file;
};

TEST(FtdwprtCommandLineTest, FindsTheFileBeforeTheSwitches) {
  const CommandLineCase cases[] = {
      {"ftdwprt.exe C:\\IN\\JOB~1.AFP  /N /P", "C:\\IN\\JOB~1.AFP"},
      {"\"C:\\Program Files\\AFP\\ftdwprt.exe\" C:\\IN\\JOB~1.AFP  /N /P", "C:\\IN\\JOB~1.AFP"},
      {"ftdwprt.exe \"Z:\\hot in\\a b.afp\"  /N /P", "Z:\\hot in\\a b.afp"},
      {"ftdwprt.exe Z:\\hot in\\a b.afp  /N /P", "Z:\\hot in\\a b.afp"},
      {"ftdwprt.exe C:\\A.AFP /N /P", "C:\\A.AFP"},
      {"ftdwprt.exe C:\\A.AFP", "C:\\A.AFP"},
      {"ftdwprt.exe   C:\\A.AFP\t/N", "C:\\A.AFP"},
      {"ftdwprt.exe /N /P", ""},
      {"ftdwprt.exe", ""},
  };
  for (const CommandLineCase& c : cases) {
    SCOPED_TRACE(c.command_line);
    EXPECT_EQ(FileFromArguments(ArgumentsOf(c.command_line)), c.file);
  }
}

class FaultSwitchesTest : public ::testing::Test {
 protected:
  FaultSwitches Resolve(std::string_view side_file) {
    return ResolveFaultSwitches(
        [this](const char* name) -> std::optional<std::string> {
          auto it = environment_.find(name);
          if (it == environment_.end()) return std::nullopt;
          return it->second;
        },
        side_file);
  }
  std::map<std::string, std::string> environment_;
};

TEST_F(FaultSwitchesTest, NothingSetPrintsAtOnce) {
  FaultSwitches s = Resolve("");
  EXPECT_EQ(s.delay_ms, 0);
  EXPECT_FALSE(s.fail);
  EXPECT_EQ(s.record, "");
}

TEST_F(FaultSwitchesTest, ReadsTheEnvironment) {
  environment_ = {
      {"FTDWPRT_DELAY_MS", "1500"}, {"FTDWPRT_FAIL", "1"}, {"FTDWPRT_RECORD", "Z:\\tmp\\runs.txt"}};
  FaultSwitches s = Resolve("");
  EXPECT_EQ(s.delay_ms, 1500);
  EXPECT_TRUE(s.fail);
  EXPECT_EQ(s.record, "Z:\\tmp\\runs.txt");
}

TEST_F(FaultSwitchesTest, SideFileWinsKeyByKey) {
  environment_ = {{"FTDWPRT_DELAY_MS", "1500"}, {"FTDWPRT_FAIL", "1"}};
  FaultSwitches s = Resolve("; test switches\r\nfail=0\r\n Record = Z:\\r.txt \r\n");
  EXPECT_EQ(s.delay_ms, 1500);
  EXPECT_FALSE(s.fail);
  EXPECT_EQ(s.record, "Z:\\r.txt");
}

TEST_F(FaultSwitchesTest, MalformedValuesMeanNoFault) {
  FaultSwitches s = Resolve("delay_ms=soon\nfail=yes\nno equals sign\n=1\n");
  EXPECT_EQ(s.delay_ms, 0);
  EXPECT_FALSE(s.fail);
}

TEST_F(FaultSwitchesTest, FailWhenTheFileHoldsAText) {
  environment_ = {{"FTDWPRT_FAIL_WHEN", "FAIL-ME"}, {"FTDWPRT_JOURNAL", "Z:\\j.txt"}};
  FaultSwitches s = Resolve("");
  EXPECT_EQ(s.journal, "Z:\\j.txt");
  EXPECT_FALSE(s.fail);
  EXPECT_TRUE(ToldToFail(s, "job 7 FAIL-ME payload"));
  EXPECT_FALSE(ToldToFail(s, "job 8 payload"));
  EXPECT_FALSE(ToldToFail(s, "FAIL-m"));
  // The side file wins here as well; an empty text never fails.
  EXPECT_FALSE(ToldToFail(Resolve("fail_when=\n"), "FAIL-ME"));
  s.fail = true;
  EXPECT_TRUE(ToldToFail(s, "anything"));
}

TEST_F(FaultSwitchesTest, SlowWhenTheFileHoldsAText) {
  environment_ = {{"FTDWPRT_SLOW_WHEN", "SLOW-ME"}, {"FTDWPRT_SLOW_MS", "90000"}};
  FaultSwitches s = Resolve("");
  EXPECT_EQ(ExtraDelayFor(s, "job 7 SLOW-ME payload"), 90000);
  EXPECT_EQ(ExtraDelayFor(s, "job 8 payload"), 0);
  EXPECT_EQ(ExtraDelayFor(Resolve("slow_ms=later\n"), "SLOW-ME"), 0);
  EXPECT_EQ(ExtraDelayFor(Resolve("slow_when=\n"), "SLOW-ME"), 0);
}

TEST(FtdwprtRecordTest, JournalLineHoldsExitCodePrinterLongPathAndTheFileAsGiven) {
  EXPECT_EQ(
      JournalLine(3, "Office Laser 2", "Z:\\w\\JobStore\\a b.afp", "Z:\\W\\JOBSTO~1\\AB~1.AFP"),
      "3\tOffice Laser 2\tZ:\\w\\JobStore\\a b.afp\tZ:\\W\\JOBSTO~1\\AB~1.AFP\n");
}

TEST(FtdwprtRecordTest, LineHoldsTimePrinterFileAndCommandLine) {
  EXPECT_EQ(RecordLine(1700000000123, "Pellam_Ink", "C:\\A.AFP", "ftdwprt.exe C:\\A.AFP  /N /P"),
            "1700000000123\tPellam_Ink\tC:\\A.AFP\tftdwprt.exe C:\\A.AFP  /N /P\n");
  // 2023-11-14 22:13:20 UTC as a FILETIME.
  EXPECT_EQ(UnixMillisecondsFromFileTime(133444736000000000ULL + 1230000), 1700000000123);
  EXPECT_EQ(FileNameOf("Z:\\hot in\\a b.afp"), "a b.afp");
  EXPECT_EQ(FileNameOf("C:A.AFP"), "A.AFP");
}

}  // namespace
}  // namespace varnell::tools
