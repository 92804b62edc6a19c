// Stopping and starting the spooler service against a scripted service control manager and a
// virtual clock that starts just below the 32-bit wrap of the tick count.
#include <gtest/gtest.h>

#include <numeric>

#include "falcrest/installer_names.h"
#include "falcrest/service_control.h"
#include "tests/falcrest/falcrest_fakes.h"

namespace falcrest {
namespace {

using testing::CallFails;
using testing::Running;
using testing::StartPending;
using testing::Stopped;
using testing::StopPending;

class ServiceControlTest : public ::testing::Test {
 protected:
  ServiceControlTest() : control(fakes.services, fakes.clock, fakes.console) {}

  testing::FakeServiceScript& Spooler() { return fakes.services.Script(kSpoolerServiceName); }
  uint32_t SleptMs() const {
    return std::accumulate(fakes.clock.sleeps.begin(), fakes.clock.sleeps.end(), 0u);
  }
  void ExpectClosedInOrder() {
    EXPECT_EQ(fakes.HandlesStillOpen(), 0);
    const size_t spooler = fakes.log.IndexOf("CloseServiceHandle(spooler)");
    const size_t manager = fakes.log.IndexOf("CloseServiceHandle(SCManager)");
    EXPECT_LT(spooler, manager);
    EXPECT_EQ(manager, fakes.log.calls.size() - 1);
  }

  testing::FakeSystem fakes;
  SpoolerServiceControl control;
};

TEST_F(ServiceControlTest, AlreadyStoppedSpoolerIsLeftAlone) {
  Spooler().queries = {Stopped()};
  Spooler().active_dependents = {u"Fax"};
  control.StopSpoolerService();

  EXPECT_EQ(fakes.console.out, "Service is already stopped.\n");
  EXPECT_TRUE(fakes.log.Matching("EnumDependentServices").empty());
  EXPECT_TRUE(fakes.log.Matching("ControlService").empty());
  EXPECT_TRUE(fakes.log.Contains("OpenSCManager(0xF003F)"));
  EXPECT_TRUE(fakes.log.Contains("OpenService(spooler, 0x2C)"));
  ExpectClosedInOrder();
}

TEST_F(ServiceControlTest, ActiveDependentsStopFirstThenTheSpooler) {
  Spooler().active_dependents = {u"Fax", u"Notify"};
  Spooler().control_answer = StopPending(1500);
  Spooler().queries_after_stop = {StopPending(1500), Stopped()};
  testing::FakeServiceScript& fax = fakes.services.Script(u"Fax");
  fax.control_answer = StopPending(2000);
  fax.queries = {StopPending(2000), Stopped()};
  fakes.services.Script(u"Notify").control_answer = Stopped();

  control.StopSpoolerService();

  EXPECT_EQ(fakes.console.out, "Service stopped successfully\n");
  const std::vector<std::string> expected = {
      "OpenSCManager(0xF003F)",
      "OpenService(spooler, 0x2C)",
      "QueryServiceStatusEx(spooler)",
      "EnumDependentServices(spooler, 1, 0)",
      "EnumDependentServices(spooler, 1, 94)",
      "OpenService(Fax, 0x24)",
      "ControlService(Fax, 1)",
      "Sleep(2000)",
      "QueryServiceStatusEx(Fax)",
      "Sleep(2000)",
      "QueryServiceStatusEx(Fax)",
      "CloseServiceHandle(Fax)",
      "OpenService(Notify, 0x24)",
      "ControlService(Notify, 1)",
      "CloseServiceHandle(Notify)",
      "ControlService(spooler, 1)",
      "Sleep(1500)",
      "QueryServiceStatusEx(spooler)",
      "Sleep(1500)",
      "QueryServiceStatusEx(spooler)",
      "CloseServiceHandle(spooler)",
      "CloseServiceHandle(SCManager)",
  };
  EXPECT_EQ(fakes.log.calls, expected);
  EXPECT_EQ(fakes.HandlesStillOpen(), 0);
}

TEST_F(ServiceControlTest, StopFinishingWhilePendingEndsWithAFullStop) {
  Spooler().queries = {StopPending(0), StopPending(0), Stopped()};
  control.StopSpoolerService();

  EXPECT_EQ(fakes.console.out,
            "Service stop pending...\nService stop pending...\nService stopped successfully.\n");
  EXPECT_EQ(fakes.clock.sleeps, (std::vector<uint32_t>{1000, 1000}));
  EXPECT_TRUE(fakes.log.Matching("ControlService").empty());
  ExpectClosedInOrder();
}

TEST_F(ServiceControlTest, StopPendingWaitPausesByTheWaitHint) {
  struct Case {
    uint32_t wait_hint;
    uint32_t pause;
  };
  for (const Case& c : {Case{0, 1000}, Case{2500, 1000}, Case{25000, 2500}, Case{100010, 10000},
                        Case{250000, 10000}}) {
    SCOPED_TRACE(c.wait_hint);
    testing::FakeSystem system;
    system.services.Script(kSpoolerServiceName).queries = {StopPending(c.wait_hint), Stopped()};
    SpoolerServiceControl(system.services, system.clock, system.console).StopSpoolerService();
    EXPECT_EQ(system.clock.sleeps, std::vector<uint32_t>{c.pause});
  }
}

TEST_F(ServiceControlTest, StopPendingWaitTimesOutAfterItsBudget) {
  Spooler().queries = {StopPending(100000)};
  control.StopSpoolerService();

  // Four pauses of 10 s: the budget is passed after the fourth.
  EXPECT_EQ(fakes.clock.sleeps, (std::vector<uint32_t>(4, 10000)));
  EXPECT_EQ(fakes.console.out,
            "Service stop pending...\nService stop pending...\nService stop pending...\n"
            "Service stop pending...\nService stop timed out.\n");
  EXPECT_TRUE(fakes.log.Matching("ControlService").empty());
  ExpectClosedInOrder();
}

// A wait hint of 0 after the stop control means polling without a pause, until the budget of the
// whole stop is used up.
TEST_F(ServiceControlTest, ZeroWaitHintAfterStopControlPollsUntilTheBudget) {
  Spooler().control_answer = StopPending(0);
  Spooler().queries_after_stop = {StopPending(0)};
  Spooler().query_cost_ms = 7;
  const uint32_t start = fakes.clock.now;
  control.StopSpoolerService();

  EXPECT_EQ(fakes.console.out, "Wait timed out\n");
  for (uint32_t pause : fakes.clock.sleeps) EXPECT_EQ(pause, 0u);
  // Each query takes 7 ms; the first one that ends past 30 s ends the wait.
  EXPECT_EQ(fakes.log.Matching("QueryServiceStatusEx(spooler)").size(), kStopTimeBudgetMs / 7 + 1);
  EXPECT_GT(static_cast<uint32_t>(fakes.clock.now - start), kStopTimeBudgetMs);
  ExpectClosedInOrder();
}

// The budget of a stop counts from its start: time spent in the stop-pending wait and on the
// dependents is part of it.
TEST_F(ServiceControlTest, StopBudgetIncludesEarlierWaits) {
  Spooler().queries = {StopPending(100000), StopPending(100000), Running()};
  Spooler().active_dependents = {u"Fax"};
  Spooler().control_answer = StopPending(4000);
  Spooler().queries_after_stop = {StopPending(4000)};
  testing::FakeServiceScript& fax = fakes.services.Script(u"Fax");
  fax.control_answer = StopPending(5000);
  fax.queries = {Stopped()};

  control.StopSpoolerService();

  EXPECT_EQ(fakes.clock.sleeps, (std::vector<uint32_t>{10000, 10000, 5000, 4000, 4000}));
  EXPECT_EQ(fakes.console.out,
            "Service stop pending...\nService stop pending...\nWait timed out\n");
  ExpectClosedInOrder();
}

TEST_F(ServiceControlTest, StuckDependentEndsWithFalseWithinItsOwnBudget) {
  Spooler().active_dependents = {u"Stuck", u"Never"};
  testing::FakeServiceScript& stuck = fakes.services.Script(u"Stuck");
  stuck.control_answer = StopPending(5000);
  stuck.queries = {StopPending(5000)};
  ASSERT_TRUE(fakes.services.OpenManager(kScManagerAllAccess, control.ServiceControlManagerHandle));
  ASSERT_TRUE(control.ServiceControlManagerHandle->OpenServiceByName(
      kSpoolerServiceName, kServiceAllAccess, control.SpoolerServiceHandle));

  EXPECT_FALSE(control.StopActiveDependents());
  EXPECT_EQ(fakes.clock.sleeps, (std::vector<uint32_t>(7, 5000)));
  EXPECT_FALSE(fakes.log.Contains("OpenService(Never, 0x24)"));
  EXPECT_TRUE(fakes.log.Contains("CloseServiceHandle(Stuck)"));
  EXPECT_EQ(fakes.console.out, "");
}

TEST_F(ServiceControlTest, SpoolerStopControlIsSentWhenADependentWillNotStop) {
  struct Case {
    const char* name;
    uint32_t enum_error;
    uint32_t enum_fill_error;
    uint32_t dependent_open_error;
    uint32_t dependent_control_error;
  };
  const Case cases[] = {
      {"sizing call fails otherwise", 5, 0, 0, 0},
      {"filling call fails", 0, 5, 0, 0},
      {"dependent cannot be opened", 0, 0, 5, 0},
      {"dependent refuses the control", 0, 0, 0, 1052},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakeSystem system;
    testing::FakeServiceScript& spooler = system.services.Script(kSpoolerServiceName);
    spooler.active_dependents = {u"Fax"};
    spooler.enum_error = c.enum_error;
    spooler.enum_fill_error = c.enum_fill_error;
    testing::FakeServiceScript& fax = system.services.Script(u"Fax");
    fax.open_error = c.dependent_open_error;
    fax.control_answer =
        c.dependent_control_error ? CallFails(c.dependent_control_error) : Stopped();

    SpoolerServiceControl(system.services, system.clock, system.console).StopSpoolerService();
    EXPECT_TRUE(system.log.Contains("ControlService(spooler, 1)"));
    EXPECT_EQ(system.console.out, "Service stopped successfully\n");
    EXPECT_EQ(system.HandlesStillOpen(), 0);
  }
}

TEST_F(ServiceControlTest, StopFailuresAreReportedAndHandlesClosed) {
  struct Case {
    const char* name;
    uint32_t open_manager_error;
    uint32_t open_service_error;
    std::vector<testing::StatusStep> queries;
    testing::StatusStep control_answer;
    std::vector<testing::StatusStep> queries_after_stop;
    std::string out;
  };
  const Case cases[] = {
      {"no manager", 5, 0, {Running()}, Stopped(), {}, "OpenSCManager failed (5)\n"},
      {"no service", 0, 1060, {Running()}, Stopped(), {}, "OpenService failed (1060)\n"},
      {"first query", 0, 0, {CallFails(6)}, Stopped(), {}, "QueryServiceStatusEx failed (6)\n"},
      {"pending query",
       0,
       0,
       {StopPending(0), CallFails(6)},
       Stopped(),
       {},
       "Service stop pending...\nQueryServiceStatusEx failed (6)\n"},
      {"control", 0, 0, {Running()}, CallFails(1061), {}, "ControlService failed (1061)\n"},
      {"query after control",
       0,
       0,
       {Running()},
       StopPending(0),
       {CallFails(6)},
       "QueryServiceStatusEx failed (6)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakeSystem system;
    system.services.open_manager_error = c.open_manager_error;
    testing::FakeServiceScript& spooler = system.services.Script(kSpoolerServiceName);
    spooler.open_error = c.open_service_error;
    spooler.queries = c.queries;
    spooler.control_answer = c.control_answer;
    spooler.queries_after_stop = c.queries_after_stop;

    SpoolerServiceControl(system.services, system.clock, system.console).StopSpoolerService();
    EXPECT_EQ(system.console.out, c.out);
    EXPECT_EQ(system.HandlesStillOpen(), 0);
    EXPECT_EQ(system.log.Contains("CloseServiceHandle(SCManager)"), c.open_manager_error == 0);
  }
}

TEST_F(ServiceControlTest, StartOfAStoppedSpooler) {
  Spooler().queries = {Stopped()};
  Spooler().queries_after_start = {StartPending(2000, 0), StartPending(2000, 1), Running()};
  control.StartSpoolerService();

  EXPECT_EQ(fakes.console.out, "Service start pending...\nService started successfully.\n");
  EXPECT_TRUE(fakes.log.Contains("OpenService(spooler, 0xF01FF)"));
  EXPECT_EQ(fakes.clock.sleeps, (std::vector<uint32_t>{1000, 1000}));
  ExpectClosedInOrder();
}

TEST_F(ServiceControlTest, StartOfARunningSpoolerDoesNothing) {
  control.StartSpoolerService();
  EXPECT_EQ(fakes.console.out, "Cannot start the service because it is already running\n");
  EXPECT_TRUE(fakes.log.Matching("StartService").empty());
  ExpectClosedInOrder();
}

TEST_F(ServiceControlTest, StartStuckAtOneCheckPointReportsTheLastStatus) {
  Spooler().queries = {Stopped()};
  Spooler().queries_after_start = {StartPending(3000, 4)};
  control.StartSpoolerService();

  EXPECT_EQ(fakes.clock.sleeps, (std::vector<uint32_t>(4, 1000)));
  EXPECT_EQ(fakes.console.out,
            "Service start pending...\n"
            "Service not started. \n"
            "  Current State: 2\n"
            "  Exit Code: 0\n"
            "  Check Point: 4\n"
            "  Wait Hint: 3000\n");
  ExpectClosedInOrder();
}

// Each advance of the check point gives the start its wait hint again.
TEST_F(ServiceControlTest, CheckPointProgressRestartsTheStartTimer) {
  Spooler().queries = {Stopped()};
  Spooler().queries_after_start = {StartPending(1500, 0),
                                   StartPending(1500, 0),
                                   StartPending(1500, 1),
                                   StartPending(1500, 1),
                                   StartPending(1500, 2),
                                   StartPending(1500, 2),
                                   Running()};
  control.StartSpoolerService();

  EXPECT_EQ(fakes.console.out, "Service start pending...\nService started successfully.\n");
  EXPECT_EQ(fakes.clock.sleeps.size(), 6u);
}

// A stop that has finished reports neither progress nor a wait hint; that is no time-out.
TEST_F(ServiceControlTest, StartWaitsForAPendingStopWhileItProgresses) {
  Spooler().queries = {StopPending(2000, 1), StopPending(2000, 1), StopPending(2000, 2),
                       StopPending(2000, 2), StopPending(2000, 3), Stopped()};
  Spooler().queries_after_start = {Running()};
  control.StartSpoolerService();

  EXPECT_EQ(fakes.console.out, "Service start pending...\nService started successfully.\n");
  EXPECT_EQ(fakes.clock.sleeps, (std::vector<uint32_t>(5, 1000)));
  EXPECT_LT(fakes.log.IndexOf("Sleep(1000)"), fakes.log.IndexOf("StartService(spooler)"));
}

TEST_F(ServiceControlTest, StartGivesUpOnAStalledStop) {
  Spooler().queries = {StopPending(2000, 1)};
  control.StartSpoolerService();

  EXPECT_EQ(fakes.console.out, "Timeout waiting for service to stop\n");
  EXPECT_EQ(fakes.clock.sleeps, (std::vector<uint32_t>(3, 1000)));
  EXPECT_TRUE(fakes.log.Matching("StartService").empty());
  ExpectClosedInOrder();
}

TEST_F(ServiceControlTest, StartFailuresAreReportedAndHandlesClosed) {
  struct Case {
    const char* name;
    uint32_t open_manager_error;
    uint32_t open_service_error;
    std::vector<testing::StatusStep> queries;
    uint32_t start_error;
    std::vector<testing::StatusStep> queries_after_start;
    std::string out;
  };
  const Case cases[] = {
      {"no manager", 5, 0, {Stopped()}, 0, {}, "OpenSCManager failed (5)\n"},
      {"no service", 0, 1060, {Stopped()}, 0, {}, "OpenService failed (1060)\n"},
      {"first query", 0, 0, {CallFails(6)}, 0, {}, "QueryServiceStatusEx failed (6)\n"},
      {"stop-pending query",
       0,
       0,
       {StopPending(0), CallFails(6)},
       0,
       {},
       "QueryServiceStatusEx failed (6)\n"},
      {"start refused", 0, 0, {Stopped()}, 1058, {}, "StartService failed (1058)\n"},
      {"query after start",
       0,
       0,
       {Stopped()},
       0,
       {CallFails(6)},
       "Service start pending...\nQueryServiceStatusEx failed (6)\n"},
      // The last status read is reported after a failed poll.
      {"start-pending query",
       0,
       0,
       {Stopped()},
       0,
       {StartPending(9000, 7), CallFails(6)},
       "Service start pending...\nQueryServiceStatusEx failed (6)\nService not started. \n"
       "  Current State: 2\n  Exit Code: 0\n  Check Point: 7\n  Wait Hint: 9000\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakeSystem system;
    system.services.open_manager_error = c.open_manager_error;
    testing::FakeServiceScript& spooler = system.services.Script(kSpoolerServiceName);
    spooler.open_error = c.open_service_error;
    spooler.queries = c.queries;
    spooler.start_error = c.start_error;
    spooler.queries_after_start = c.queries_after_start;

    SpoolerServiceControl(system.services, system.clock, system.console).StartSpoolerService();
    EXPECT_EQ(system.console.out, c.out);
    EXPECT_EQ(system.HandlesStillOpen(), 0);
    EXPECT_EQ(system.log.Contains("CloseServiceHandle(SCManager)"), c.open_manager_error == 0);
  }
}

}  // namespace
}  // namespace falcrest
