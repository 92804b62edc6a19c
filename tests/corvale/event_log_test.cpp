// The print server's events in the Windows Event Log: start, stop, a refused Start, a failed
// print, and standing conditions as they begin and end, at most one an hour of each cause.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/corvale/dispatch_fixture.h"

namespace corvale {
namespace {

using testing::DispatchTest;
using testing::FakeEventLog;

std::vector<std::string> Texts(const std::vector<FakeEventLog::Event>& events) {
  std::vector<std::string> texts;
  for (const FakeEventLog::Event& event : events) texts.push_back(event.text);
  return texts;
}

class EventLogTest : public DispatchTest {
 protected:
  void RemoveUtility() { std::filesystem::remove(temp.Native("Workbench\\ftdwprt.exe")); }
  void RestoreUtility() { temp.WriteFile("Workbench\\ftdwprt.exe", "utility"); }
};

TEST_F(EventLogTest, StartFailedPrintStopAndRefusedStart) {
  Drop(1, "a.afp");
  RunPassToEnd(3);
  Drop(1, "b.afp");
  RunPassToEnd(3);  // a second failure within the hour writes nothing more
  Server().Stop();
  settings.Slots[2].InputFolder = settings.Slots[1].InputFolder;
  EXPECT_FALSE(Start(StartMode::kUnattended));

  const std::vector<FakeEventLog::Event> written = events.Events();
  ASSERT_EQ(written.size(), 4u) << ::testing::PrintToString(Texts(written));
  EXPECT_EQ(written[0].id, EventId::kServerStarted);
  EXPECT_EQ(written[0].kind, EventKind::kInformation);
  EXPECT_EQ(written[1].id, EventId::kPrintFailed);
  EXPECT_EQ(written[1].kind, EventKind::kWarning);
  EXPECT_EQ(written[1].text, JobFile(1, "a.afp") + " was not printed (exit code 3); it is in " +
                                 JobFile(1, "Failed\\a.afp") + ".");
  EXPECT_EQ(written[2].id, EventId::kServerStopped);
  EXPECT_EQ(written[3].id, EventId::kStartRefused);
  EXPECT_EQ(written[3].kind, EventKind::kError);
  EXPECT_EQ(written[3].text, "Corvale does not start: The input folder " +
                                 settings.Slots[1].InputFolder + " is given to both " +
                                 "Dorrow_Laser and Pellam_Ink. Give each printer an input folder "
                                 "of its own.");
}

// A condition's beginning and its end; the same condition back within the hour writes neither,
// after the hour both again.
TEST_F(EventLogTest, StandingConditionBeginsAndEndsAtMostOnceAnHour) {
  events.Clear();
  // Without the utility where the registry says, the path looked for is the fallback's.
  const std::string missing =
      "The print utility C:\\PROGRA~1\\IBM\\AFPWOR~1\\ftdwprt.exe is not there; jobs wait until "
      "it is.";
  const std::vector<std::string> once = {missing, "Over: " + missing};
  auto blink = [&] {
    RemoveUtility();
    Drop(1, "a" + std::to_string(events.Events().size()) + ".afp");
    RunPassToEnd(0);
    RestoreUtility();
    RunPassToEnd(0);
  };
  blink();
  EXPECT_EQ(Texts(events.Events()), once);
  EXPECT_EQ(events.Events()[0].kind, EventKind::kError);
  EXPECT_EQ(events.Events()[1].kind, EventKind::kInformation);
  blink();
  EXPECT_EQ(events.Events().size(), 2u);
  clock.Advance(3600);
  events.Clear();
  blink();
  EXPECT_EQ(Texts(events.Events()), once);
}

// Without the event source Corvale serves all the same, and says so once.
TEST_F(EventLogTest, UnregisteredSourceIsOneLogLine) {
  events.SetRegistered(false);
  for (int i = 0; i < 2; ++i) {
    Server().Stop();
    clock.Advance(3600);
    ASSERT_TRUE(Start());
  }
  const std::vector<std::string> lines = LogMessages("General");
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) {
                            return line.rfind("Events cannot be written", 0) == 0;
                          }),
            1);
  EXPECT_TRUE(Server().Running());
}

}  // namespace
}  // namespace corvale
