// The stand-in spooler's portable part: its script, the play of a printer's changes on a virtual
// clock, and the texts of its record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/standin_spooler/record_text.h"
#include "tools/standin_spooler/spooler_play.h"
#include "tools/standin_spooler/spooler_script.h"

namespace standin_spooler {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> bytes;
  for (int value : values) bytes.push_back(static_cast<std::uint8_t>(value));
  return bytes;
}

TEST(SpoolerScriptTest, ParsesPrintersStepsAndEveryValueKind) {
  const SpoolerScript script = ParseSpoolerScript(
      "# printers as the spooler lists them\n"
      "printer Varnell\n"
      "printer \"Office Laser 2\" open-fails register-fails\n"
      "on Varnell\n"
      "pass after 300   # the first change\n"
      "  field printer 18 number 0x400\n"
      "  field job 13 id 7 text \"Caf\xC3\xA9 \\\"A\\\\B\\\" \xF0\x9F\x96\xA8\\0x\"\n"
      "  field job 16 time 2011 5 2 10 12 38 25 999\n"
      "  field 2 0 bytes DB07 ff\n"
      "  field job 12 no-buffer\r\n"
      "pass after 0 discarded\n"
      "refetch no-info\n"
      "pass after 10 fails\n"
      "restart after 20 down 1500\n"
      "restart after 30 down forever\n");
  ASSERT_EQ(script.printers.size(), 2u);
  EXPECT_EQ(script.printers[0].name, "Varnell");
  EXPECT_FALSE(script.printers[0].open_fails || script.printers[0].register_fails);
  EXPECT_EQ(script.printers[1].name, "Office Laser 2");
  EXPECT_TRUE(script.printers[1].open_fails && script.printers[1].register_fails);
  EXPECT_TRUE(script.printers[1].steps.empty());

  const std::vector<ScriptStep>& steps = script.printers[0].steps;
  ASSERT_EQ(steps.size(), 5u);
  EXPECT_EQ(steps[0].after_ms, 300u);
  EXPECT_EQ(steps[0].line, 5);
  const std::vector<ScriptEntry>& entries = steps[0].fetch.entries;
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].type, kPrinterType);
  EXPECT_EQ(entries[0].field, 18);
  EXPECT_EQ(entries[0].kind, ValueKind::kNumber);
  EXPECT_EQ(entries[0].number, 0x400u);
  EXPECT_EQ(entries[1].type, kJobType);
  EXPECT_EQ(entries[1].id, 7u);
  EXPECT_EQ(entries[1].kind, ValueKind::kText);
  EXPECT_EQ(entries[1].text, std::u16string(u"Caf\u00e9 \"A\\B\" \U0001F5A8") + u'\0' + u"x");
  EXPECT_EQ(entries[2].kind, ValueKind::kBytes);
  EXPECT_EQ(entries[2].bytes, Bytes({0xDB, 7, 5, 0, 2, 0, 10, 0, 12, 0, 38, 0, 25, 0, 0xE7, 3}));
  EXPECT_EQ(entries[3].type, 2);
  EXPECT_EQ(entries[3].bytes, Bytes({0xDB, 0x07, 0xFF}));
  EXPECT_EQ(entries[4].kind, ValueKind::kNoBuffer);

  EXPECT_TRUE(steps[1].fetch.discarded);
  ASSERT_TRUE(steps[1].refetch.has_value());
  EXPECT_TRUE(steps[1].refetch->no_info);
  EXPECT_TRUE(steps[2].fetch.fails);
  EXPECT_EQ(steps[3].kind, StepKind::kRestart);
  EXPECT_EQ(steps[3].after_ms, 20u);
  EXPECT_EQ(steps[3].down_ms, 1500u);
  EXPECT_EQ(steps[4].down_ms, std::nullopt);
}

TEST(SpoolerScriptTest, MistakesAreReportedWithTheirLine) {
  struct Case {
    const char* text;
    int line;
  };
  const std::string head = "printer Varnell\non Varnell\npass after 1\n";
  const std::vector<Case> cases = {
      {"print Varnell\n", 1},
      {"printer Varnell\nprinter Varnell\n", 2},
      {"printer Varnell\nprinter A wobbly\n", 2},
      {"printer Varnell\npass after 1\n", 2},
      {"printer Varnell\non Dorrow\n", 2},
      {"printer Varnell\non Varnell\nprinter Late\n", 3},
      {"printer Varnell\non Varnell\nfield job 1 number 1\n", 3},
      {"printer Varnell\non Varnell\npass 1\n", 3},
      {"printer Varnell\non Varnell\npass after 1 fails discarded\n", 3},
      {"printer Varnell\non Varnell\npass after -1\n", 3},
      {"printer Varnell\non Varnell\nrestart after 1\n", 3},
      {"printer Varnell\non Varnell\nrestart after 1 down soon\n", 3},
      {"printer Varnell\non Varnell\nrestart after 1 down 5\nrefetch\n", 4},
      {"printer \"Varnell\n", 1},
      {"printer \"Var\xFFnell\"\n", 1},
      {"printer \"\"\n", 1},
      {"", 0},
  };
  const std::vector<Case> entry_cases = {
      {"field job 65536 number 1\n", 4},
      {"field queue 1 number 1\n", 4},
      {"field job 1 number 4294967296\n", 4},
      {"field job 1 number 0x\n", 4},
      {"field job 1 number 12ab\n", 4},
      {"field job 1 text Varnell\n", 4},
      {"field job 1 text \"a\\tb\"\n", 4},
      {"field job 1 bytes ABC\n", 4},
      {"field job 1 bytes zz\n", 4},
      {"field job 16 time 2011 5 2 10\n", 4},
      {"field job 1 colour red\n", 4},
      {"field job 1 number 1 extra\n", 4},
      {"refetch\nrefetch\n", 5},
      {"refetch fails\nfield job 1 number 1\n", 5},
  };
  for (const Case& c : cases) {
    if (c.line == 0) continue;
    SCOPED_TRACE(c.text);
    try {
      ParseSpoolerScript(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const ScriptError& error) {
      EXPECT_EQ(error.Line(), c.line) << error.what();
    }
  }
  for (const Case& c : entry_cases) {
    SCOPED_TRACE(c.text);
    try {
      ParseSpoolerScript(head + c.text);
      ADD_FAILURE() << "accepted";
    } catch (const ScriptError& error) {
      EXPECT_EQ(error.Line(), c.line) << error.what();
    }
  }
}

SpoolerScript Script(const std::string& steps, const std::string& options = "") {
  return ParseSpoolerScript("printer Varnell " + options + "\nprinter Dorrow_Laser\non Varnell\n" +
                            steps);
}

constexpr std::size_t kVarnell = 0;
constexpr std::size_t kDorrow = 1;

// Each change is due its pause after the step before ended, or after the registration.
TEST(SpoolerPlayTest, ChangesAreSignalledTheirPauseAfterTheStepBefore) {
  SpoolerPlay play(Script("pass after 300\nfield job 20 number 3\npass after 200 no-info\n"));
  EXPECT_EQ(play.NextDue(), std::nullopt);
  ASSERT_TRUE(play.CanOpen(kVarnell, 0));
  ASSERT_TRUE(play.Register(kVarnell, 1000));
  ASSERT_TRUE(play.Register(kDorrow, 1000));
  EXPECT_EQ(play.NextDue(), 1300u);
  EXPECT_TRUE(play.SignalDue(1299).empty());
  EXPECT_EQ(play.SignalDue(1300), std::vector<std::size_t>{kVarnell});
  EXPECT_EQ(play.NextDue(), std::nullopt);
  EXPECT_TRUE(play.SignalDue(5000).empty());

  FetchAnswer first = play.Fetch(kVarnell, 1400);
  EXPECT_EQ(first.kind, FetchKind::kInfo);
  EXPECT_EQ(first.step, 1);
  ASSERT_EQ(first.fetch->entries.size(), 1u);
  EXPECT_EQ(first.fetch->entries[0].number, 3u);
  EXPECT_EQ(play.NextDue(), 1600u);
  EXPECT_EQ(play.Fetch(kVarnell, 1500).kind, FetchKind::kUnsignaled);
  EXPECT_EQ(play.SignalDue(1600), std::vector<std::size_t>{kVarnell});
  FetchAnswer second = play.Fetch(kVarnell, 1700);
  EXPECT_EQ(second.kind, FetchKind::kNoInfo);
  EXPECT_EQ(second.step, 2);
  EXPECT_EQ(play.NextDue(), std::nullopt);
}

// After discarded data, the same change answers its refetch; only then the next one is armed.
TEST(SpoolerPlayTest, DiscardedChangeAnswersItsRefetch) {
  SpoolerPlay play(Script(
      "pass after 0 discarded\nfield printer 20 number 1\nrefetch\nfield printer 20 number 7\n"
      "pass after 0 discarded\npass after 5 fails\n"));
  play.Register(kVarnell, 0);
  play.SignalDue(0);
  FetchAnswer discarded = play.Fetch(kVarnell, 10);
  EXPECT_TRUE(discarded.fetch->discarded);
  EXPECT_FALSE(discarded.refetch);
  EXPECT_EQ(play.NextDue(), std::nullopt);
  FetchAnswer refetch = play.Fetch(kVarnell, 20);
  EXPECT_TRUE(refetch.refetch);
  EXPECT_EQ(refetch.step, 1);
  EXPECT_EQ(refetch.fetch->entries[0].number, 7u);
  EXPECT_EQ(play.NextDue(), 20u);
  // Without a refetch of its own, a discarded change ends at its first fetch.
  play.SignalDue(20);
  EXPECT_TRUE(play.Fetch(kVarnell, 30).fetch->discarded);
  EXPECT_EQ(play.NextDue(), 35u);
  play.SignalDue(35);
  FetchAnswer failed = play.Fetch(kVarnell, 40);
  EXPECT_EQ(failed.kind, FetchKind::kFails);
  EXPECT_FALSE(failed.stops_registration);
  EXPECT_TRUE(play.Registered(kVarnell));
}

// A restart: its change's fetch fails, the registration stops, and the printer can be neither
// opened nor registered until it is back; the next step counts from the new registration.
TEST(SpoolerPlayTest, RestartStopsTheRegistrationUntilThePrinterIsBack) {
  SpoolerPlay play(
      Script("restart after 100 down 1500\npass after 200\nrestart after 0 down forever\n"));
  play.Register(kVarnell, 0);
  play.SignalDue(100);
  FetchAnswer restart = play.Fetch(kVarnell, 110);
  EXPECT_EQ(restart.kind, FetchKind::kFails);
  EXPECT_TRUE(restart.stops_registration);
  EXPECT_FALSE(play.Registered(kVarnell));
  EXPECT_EQ(play.NextDue(), std::nullopt);
  EXPECT_FALSE(play.CanOpen(kVarnell, 1609));
  EXPECT_FALSE(play.Register(kVarnell, 1609));
  EXPECT_TRUE(play.CanOpen(kDorrow, 1000));
  EXPECT_TRUE(play.CanOpen(kVarnell, 1610));
  ASSERT_TRUE(play.Register(kVarnell, 5000));
  EXPECT_EQ(play.NextDue(), 5200u);
  play.SignalDue(5200);
  EXPECT_EQ(play.Fetch(kVarnell, 5210).step, 2);
  play.SignalDue(5210);
  EXPECT_TRUE(play.Fetch(kVarnell, 5220).stops_registration);
  EXPECT_FALSE(play.CanOpen(kVarnell, 0xFFFFFFFFFFull));
}

TEST(SpoolerPlayTest, UnregisteringDropsTheSignalledChange) {
  SpoolerPlay play(Script("pass after 0\npass after 0\n"));
  play.Register(kVarnell, 0);
  play.SignalDue(0);
  play.Unregister(kVarnell);
  EXPECT_EQ(play.Fetch(kVarnell, 0).kind, FetchKind::kUnsignaled);
  // A new registration plays on with the next step.
  play.Register(kVarnell, 10);
  play.SignalDue(10);
  EXPECT_EQ(play.Fetch(kVarnell, 10).step, 2);
}

TEST(SpoolerPlayTest, PrintersThatFailToOpenOrRegister) {
  SpoolerPlay opening(Script("", "open-fails"));
  EXPECT_FALSE(opening.CanOpen(kVarnell, 0));
  SpoolerPlay registering(Script("pass after 0\n", "register-fails"));
  EXPECT_TRUE(registering.CanOpen(kVarnell, 0));
  EXPECT_FALSE(registering.Register(kVarnell, 0));
  EXPECT_TRUE(registering.SignalDue(100).empty());
}

TEST(RecordTextTest, OptionsAndFetches) {
  EXPECT_EQ(OptionsText(std::nullopt), "none");
  EXPECT_EQ(
      OptionsText(RequestedOptions{2, 1, {{kJobType, {0, 1, 10}}, {kPrinterType, {18}}, {7, {}}}}),
      "version 2 flags 1 job(0 1 10) printer(18) type7()");
  ScriptFetch fetch;
  fetch.entries.resize(2);
  fetch.discarded = true;
  EXPECT_EQ(FetchText(FetchAnswer{FetchKind::kInfo, &fetch, 3, false, false}, 5),
            "TRUE info #5 (step 3, 2 entries, discarded)");
  fetch.entries.resize(1);
  fetch.discarded = false;
  EXPECT_EQ(FetchText(FetchAnswer{FetchKind::kInfo, &fetch, 3, true, false}, 6),
            "TRUE info #6 (step 3 refetch, 1 entry)");
  EXPECT_EQ(FetchText(FetchAnswer{FetchKind::kFails, nullptr, 4, false, true}, 0),
            "FALSE (step 4, the spooler restarts)");
  EXPECT_EQ(FetchText(FetchAnswer{FetchKind::kNoInfo, nullptr, 2, false, false}, 0),
            "TRUE no information (step 2)");
  EXPECT_EQ(FetchText(FetchAnswer{}, 7), "TRUE info #7 (FAULT: no change was signalled)");
}

}  // namespace
}  // namespace standin_spooler
