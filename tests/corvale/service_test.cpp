// Corvale as a service: the host's reports to the Service Control Manager, its Start with the
// account's settings and its tries, the close path on a stop, the status file it writes; the
// commands that install and remove it; and what the window shows of it.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "corvale/platform/registry.h"
#include "corvale/platform/portable/std_file_system.h"
#include "corvale/platform/running_corvales.h"
#include "corvale/service/close_command.h"
#include "corvale/service/service_commands.h"
#include "corvale/service/service_console.h"
#include "corvale/service/service_host.h"
#include "corvale/service/service_names.h"
#include "corvale/settings/settings_store.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/form_harness.h"
#include "tests/fakes/fake_service_manager.h"

namespace corvale {
namespace {

using testing::FakeServiceManager;

constexpr RegistryHive kHKCU = RegistryHive::kCurrentUser;
constexpr char kDevices[] = "SOFTWARE\\Varnell\\Devices";

class RecordingSink : public ServiceStatusSink {
 public:
  void Report(ServiceReport state, uint32_t wait_hint_ms) override {
    reports.push_back({state, wait_hint_ms});
  }
  std::vector<std::pair<ServiceReport, uint32_t>> reports;
};

class ServiceHostTest : public ::testing::Test, protected testing::FakePlatform {
 protected:
  ServiceHostTest() {
    printers.Add("Dorrow_Laser", "Dorrow PCL", "IP_10.0.0.5");
    printers.Add("Pellam_Ink", "Pellam Ink Driver", "USB001");
    printers.SetDefault("Pellam_Ink");
  }
  ~ServiceHostTest() override { shell.FinishAll(); }
  // The account's stored settings: slot Dorrow_Laser served from In1.
  void StoreServedPrinter(const std::string& input) {
    const std::string key = std::string(kDevices) + "\\Dorrow_Laser";
    registry.PutString(kHKCU, key, "PrinterName", "Dorrow_Laser");
    registry.PutDword(kHKCU, key, "EnableIPDSEmulation", 1);
    registry.PutString(kHKCU, key, "InputFolder", input);
    registry.PutString(kHKCU, key, "DoneFolder", temp.Win("Done1"));
    registry.PutDword(kHKCU, key, "QueueDepth", 5);
  }
  std::string StatusFile() const { return temp.Win("JobStore\\Corvale.status"); }
  PrintServer* ServerOrNull() const override { return host_ ? &host_->Server() : nullptr; }

  ServiceHost& Host() {
    if (!host_) host_ = std::make_unique<ServiceHost>(server_platform, sink);
    return *host_;
  }
  void Ticks(int seconds) {
    for (int i = 0; i < seconds; ++i) {
      clock.Advance(1);
      Host().Tick();
    }
  }

  RecordingSink sink;
  std::unique_ptr<ServiceHost> host_;
};

// The service serves with its account's settings as soon as it starts, reports START_PENDING and
// then RUNNING, and writes its state for the window every two seconds.
TEST_F(ServiceHostTest, ServesTheAccountsSettingsAndWritesItsState) {
  StoreServedPrinter(temp.Win("In1"));
  Host().Begin();
  ASSERT_EQ(sink.reports.size(), 2u);
  EXPECT_EQ(sink.reports[0].first, ServiceReport::kStartPending);
  EXPECT_GT(sink.reports[0].second, 0u);
  EXPECT_EQ(sink.reports[1].first, ServiceReport::kRunning);
  EXPECT_TRUE(Host().Server().Running());
  EXPECT_EQ(Host().Server().Log().CurrentLogFile(), temp.Win("Varnell.log"));

  temp.WriteFile("In1\\a.afp", "a");
  Host().Server().ScanInputFolder(temp.Win("In1"));
  Ticks(1);
  std::optional<ServiceStatusReport> report = ReadStatusReport(files, StatusFile());
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->jobs_in_queue, 0) << "written at the start, not at every second";
  shell.SetAutoFinish(true);
  Ticks(1);
  report = ReadStatusReport(files, StatusFile());
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->activity, ServiceActivity::kServing);
  EXPECT_EQ(report->account, "operator");
  EXPECT_EQ(report->heartbeat, clock.NowUtcFileTime());
  EXPECT_EQ(report->jobs_in_queue, 1) << "the count of the second's status tick";
  FakePlatform::WaitForRunnersIdle(Host().Server());
  EXPECT_EQ(temp.ReadFile("Done1\\a.afp"), "a");
}

// A Start refused at the service's start (a share not up yet) is tried again every minute, never
// in a box, until it serves.
TEST_F(ServiceHostTest, RefusedStartIsTriedAgainEveryMinute) {
  const std::string share = temp.Win("srv");
  files.Unreachable(share);
  StoreServedPrinter(share + "\\hot");
  Host().Begin();
  EXPECT_FALSE(Host().Server().Running());
  EXPECT_EQ(sink.reports.back().first, ServiceReport::kRunning);
  const std::string refusal = "The input folder " + share +
                              "\\hot of Dorrow_Laser cannot be reached by the service. The "
                              "service starts once it can reach it.";
  EXPECT_EQ(LogMessages("General").back(), refusal);
  Ticks(2);
  EXPECT_EQ(ReadStatusReport(files, StatusFile())->activity, ServiceActivity::kNotServing);
  EXPECT_EQ(ReadStatusReport(files, StatusFile())->status_text, refusal);

  // The share comes back; the next try, a minute after the first, serves.
  files.Reachable(share);
  Ticks(57);
  EXPECT_FALSE(Host().Server().Running());
  Ticks(1);
  EXPECT_TRUE(Host().Server().Running());
  EXPECT_TRUE(temp.Exists("srv\\hot"));
}

// The administrator's policy holds for the service as for the window: its input folder and log
// file are served, whatever the account stored.
TEST_F(ServiceHostTest, ServesWhatTheAdministratorsPolicySet) {
  StoreServedPrinter(temp.Win("In1"));
  const std::string policy = kPolicyKey;
  registry.PutString(RegistryHive::kLocalMachine, policy + "\\Devices\\Dorrow_Laser", "InputFolder",
                     temp.Win("PolicyIn"));
  registry.PutString(RegistryHive::kLocalMachine, policy, "LogFile", temp.Win("Policy.log"));
  Host().Begin();
  ASSERT_TRUE(Host().Server().Running());
  EXPECT_EQ(Host().Server().Log().CurrentLogFile(), temp.Win("Policy.log"));
  EXPECT_EQ(Host().Server().SettingsInForce().Slots[1].InputFolder, temp.Win("PolicyIn"));
  EXPECT_TRUE(temp.Exists("PolicyIn"));
}

// A folder on a drive letter: a service sees none, and its refusal says what to give instead.
TEST_F(ServiceHostTest, FolderOnADriveLetterIsRefusedWithTheShareForm) {
  files.Unreachable("Q:");
  StoreServedPrinter("Q:\\Hot");
  Host().Begin();
  EXPECT_FALSE(Host().Server().Running());
  EXPECT_EQ(LogMessages("General").back(),
            "The input folder Q:\\Hot of Dorrow_Laser cannot be reached by the service; a service "
            "sees no mapped drive letters: give the folder as \\\\server\\share\\.... The service "
            "starts once it can reach it.");
}

// STOP, SHUTDOWN and PRESHUTDOWN run the close path inside the time Windows gives: queued files
// back, the default printer of the start restored, STOP_PENDING with a wait hint, then STOPPED.
TEST_F(ServiceHostTest, StopRunsTheClosePath) {
  struct Case {
    ServiceStop reason;
    uint32_t least_hint;
  };
  for (const Case& c :
       {Case{ServiceStop::kStop, kCloseWaitMs}, Case{ServiceStop::kShutdown, kSessionEndWaitMs},
        Case{ServiceStop::kPreshutdown, kCloseWaitMs}}) {
    SCOPED_TRACE(static_cast<int>(c.reason));
    host_.reset();
    sink.reports.clear();
    StoreServedPrinter(temp.Win("In1"));
    Host().Begin();
    temp.WriteFile("In1\\queued.afp", "q");
    Host().Server().ScanInputFolder(temp.Win("In1"));
    printers.SetDefault("Dorrow_Laser");
    Host().End(c.reason);
    EXPECT_TRUE(Host().Ended());
    EXPECT_EQ(temp.ReadFile("In1\\queued.afp"), "q");
    EXPECT_EQ(printers.CurrentDefault(), "Pellam_Ink");
    ASSERT_GE(sink.reports.size(), 4u);
    EXPECT_EQ(sink.reports[2].first, ServiceReport::kStopPending);
    EXPECT_GE(sink.reports[2].second, c.least_hint);
    EXPECT_LT(sink.reports[2].second, c.least_hint + 10000);
    EXPECT_EQ(sink.reports.back().first, ServiceReport::kStopped);
    EXPECT_EQ(ReadStatusReport(files, StatusFile())->activity, ServiceActivity::kStopped);
    Ticks(3);
    EXPECT_EQ(sink.reports.back().first, ServiceReport::kStopped) << "nothing after the stop";
  }
}

// The status file is whole or absent: written beside, then moved over; a text that is not a
// report is none; a heartbeat older than ten seconds is not believed.
TEST(StatusFileTest, ReportsRoundTripAndGrowStale) {
  ServiceStatusReport report;
  report.activity = ServiceActivity::kNotServing;
  report.jobs_in_queue = 7;
  report.current_job = "C:\\JobStore\\P\\a.afp";
  report.status_text = "two\r\nlines";
  report.heartbeat = 1000000000;
  report.account = "NIGHT\\printing";
  const std::optional<ServiceStatusReport> read = ParseStatusReport(FormatStatusReport(report));
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->activity, ServiceActivity::kNotServing);
  EXPECT_EQ(read->jobs_in_queue, 7);
  EXPECT_EQ(read->status_text, "two  lines");
  EXPECT_EQ(read->account, "NIGHT\\printing");
  for (const char* broken : {"", "activity=serving\n", "junk",
                             "activity=flying\njobs=1\njob=\n"
                             "status=\nheartbeat=1\naccount=\n",
                             "activity=serving\njobs=x\njob=\nstatus=\nheartbeat=1\naccount=\n"}) {
    SCOPED_TRACE(broken);
    EXPECT_FALSE(ParseStatusReport(broken).has_value());
  }
  EXPECT_TRUE(IsFresh(report, report.heartbeat + kStaleHeartbeat));
  EXPECT_FALSE(IsFresh(report, report.heartbeat + kStaleHeartbeat + 1));
  EXPECT_FALSE(IsFresh(report, report.heartbeat - kStaleHeartbeat - 1)) << "a clock set back";
}

// The window of the service: a stale heartbeat is "not running", whatever the Service Control
// Manager says; the service's account controls and edits it; another user only sees its state.
TEST(ServiceConsoleTest, WindowShowsTheServiceAsItsReportSays) {
  const int64_t now = 5000000000;
  ServiceStatusReport serving;
  serving.activity = ServiceActivity::kServing;
  serving.jobs_in_queue = 3;
  serving.status_text = "Ready.";
  serving.heartbeat = now - 20000000;
  ServiceStatusReport stale = serving;
  stale.heartbeat = now - kStaleHeartbeat - 1;
  struct Case {
    const char* name;
    ServiceState state;
    std::string account;
    std::optional<ServiceStatusReport> report;
    bool up;
    bool may_control;
    int32_t jobs;
    std::string text;
  };
  const Case cases[] = {
      {"serving", ServiceState::kRunning, ".\\operator", serving, true, true, 3, "Ready."},
      {"stale heartbeat", ServiceState::kRunning, ".\\operator", stale, false, true, 0,
       "The Corvale service is not running."},
      {"no report", ServiceState::kStartPending, "OFFICE\\Operator", std::nullopt, false, true, 0,
       "The Corvale service is starting ..."},
      {"another user's", ServiceState::kRunning, ".\\printing", serving, true, false, 3,
       "The Corvale service runs as .\\printing; this window shows its state only. Ready."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ServiceConsoleView view = DescribeService(c.state, c.account, "operator", c.report, now);
    EXPECT_EQ(view.up, c.up);
    EXPECT_EQ(view.may_control, c.may_control);
    EXPECT_EQ(view.may_edit, c.may_control);
    EXPECT_EQ(view.jobs_in_queue, c.jobs);
    EXPECT_EQ(view.status_text, c.text);
  }
  EXPECT_TRUE(IsServiceAccount("operator@office.example", "OPERATOR"));
  EXPECT_FALSE(IsServiceAccount("", "operator"));
}

std::string TestErrorText(uint32_t code) {
  return "error " + std::to_string(code);
}

class ServiceCommandsTest : public ::testing::Test {
 protected:
  CommandOutcome Run(const std::vector<std::string>& arguments) {
    return RunServiceCommand(
        arguments, services, registry,
        {"C:\\Program Files\\Corvale\\corvale.exe", "C:\\PROGRA~1\\Corvale\\corvale.exe"},
        TestErrorText);
  }
  FakeServiceManager services;
  testing::FakeRegistry registry;
};

// Installing: an own-process service of the account given, started by itself after a reboot,
// depending on the spooler and the workstation service, startable by interactive users; the
// account gets the right to log on as a service; Corvale's Run entry goes.
TEST_F(ServiceCommandsTest, InstallMakesTheServiceOfTheAccount) {
  const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  registry.PutString(RegistryHive::kLocalMachine, kRunKey, "Corvale",
                     "C:\\PROGRA~1\\Corvale\\corvale.exe /LaunchOnStartup");
  const CommandOutcome outcome = Run({"/InstallService", "/Account:printing", "/Password:s3cret"});
  EXPECT_EQ(outcome.exit_code, kCommandDone) << outcome.text;
  const std::optional<ServiceConfig> config = services.Installed();
  ASSERT_TRUE(config.has_value());
  EXPECT_EQ(config->name, "Corvale");
  EXPECT_EQ(config->display_name, "Corvale hot-folder print server");
  EXPECT_EQ(config->command_line, "\"C:\\Program Files\\Corvale\\corvale.exe\" /Service");
  EXPECT_EQ(config->account, ".\\printing");
  EXPECT_EQ(config->password, "s3cret");
  EXPECT_EQ(config->dependencies, (std::vector<std::string>{"Spooler", "LanmanWorkstation"}));
  EXPECT_TRUE(config->delayed_auto_start);
  EXPECT_EQ(config->restart_delay_ms, 60000u);
  EXPECT_NE(config->security.find("RPWP"), std::string::npos);
  EXPECT_NE(config->security.find(";;;IU)"), std::string::npos);
  EXPECT_EQ(services.Calls().front(), "grant .\\printing");
  EXPECT_FALSE(registry.Value(RegistryHive::kLocalMachine, kRunKey, "Corvale").has_value());
}

// What install and remove refuse, with the exit code a deployment script reads.
TEST_F(ServiceCommandsTest, RefusalsHaveTheirExitCodes) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    bool elevated;
    int exit_code;
    const char* text_starts;
  };
  const Case cases[] = {
      {"no account", {"/InstallService"}, true, kCommandRefused, "Give the account"},
      {"LocalSystem",
       {"/InstallService", "/Account:LocalSystem"},
       true,
       kCommandRefused,
       "The service does not run as .\\LocalSystem"},
      {"NT AUTHORITY\\SYSTEM",
       {"/installservice", "/account:NT AUTHORITY\\SYSTEM"},
       true,
       kCommandRefused,
       "The service does not run as NT AUTHORITY\\SYSTEM"},
      {"install not elevated",
       {"/InstallService", "/Account:printing"},
       false,
       kCommandNotElevated,
       "Installing the service needs an elevated prompt"},
      {"remove not elevated",
       {"/RemoveService"},
       false,
       kCommandNotElevated,
       "Removing the service needs an elevated prompt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    services.elevated = c.elevated;
    const CommandOutcome outcome = Run(c.arguments);
    EXPECT_EQ(outcome.exit_code, c.exit_code);
    EXPECT_EQ(outcome.text.rfind(c.text_starts, 0), 0u) << outcome.text;
    EXPECT_FALSE(services.Installed().has_value());
  }
  services.elevated = true;
  services.grant_error = 1332;
  EXPECT_EQ(Run({"/InstallService", "/Account:nobody"}).text,
            "The account .\\nobody cannot be given the right to log on as a service: error 1332");
}

// Removing stops the service and waits for it, then deletes it; not installed is done already.
TEST_F(ServiceCommandsTest, RemoveStopsThenDeletes) {
  services.SetInstalled(".\\printing", ServiceState::kRunning);
  EXPECT_EQ(Run({"/RemoveService"}).exit_code, kCommandDone);
  EXPECT_EQ(services.Calls(),
            (std::vector<std::string>{"stop Corvale waiting 60000", "remove Corvale"}));
  EXPECT_EQ(Run({"/RemoveService"}).text, "The service Corvale is not installed.");
  services.SetInstalled(".\\printing", ServiceState::kRunning);
  services.stop_error = 1460;
  const CommandOutcome stuck = Run({"/RemoveService"});
  EXPECT_EQ(stuck.exit_code, kCommandFailed);
  EXPECT_EQ(stuck.text, "The service did not stop: error 1460");
  EXPECT_TRUE(services.Installed().has_value());
}

// The window when the service is installed: it runs no server of its own.
class ServiceWindowTest : public ::testing::Test, protected testing::FormHarness {
 protected:
  ServiceWindowTest() {
    printers.Add("Dorrow_Laser");
    printers.Add("Pellam_Ink");
  }
  void WriteReport(ServiceActivity activity, int age_seconds, int32_t jobs = 0) {
    ServiceStatusReport report;
    report.activity = activity;
    report.jobs_in_queue = jobs;
    report.status_text = "Ready.";
    report.heartbeat = clock.NowUtcFileTime() - age_seconds * 10000000LL;
    report.account = "operator";
    files.CreateDirectories(temp.Win("JobStore"));
    ASSERT_EQ(WriteStatusReport(files, temp.Win("JobStore\\Corvale.status"), report), 0u);
  }
};

TEST_F(ServiceWindowTest, ServiceAccountsWindowStartsStopsAndShowsTheService) {
  services.SetInstalled(".\\operator", ServiceState::kStopped);
  TForm1& form = Create();
  EXPECT_TRUE(form.ServiceConsole());
  EXPECT_EQ(form.statBar.SimpleText(), "The Corvale service is not running.");
  EXPECT_TRUE(form.btnStart.Enabled());
  EXPECT_FALSE(form.btnStop.Enabled());

  form.btnStart.Click();
  EXPECT_EQ(services.Calls().back(), "start Corvale");
  EXPECT_FALSE(form.Server.Running()) << "the window runs no server of its own";
  WriteReport(ServiceActivity::kServing, 1, 4);
  form.Timer1.Tick();
  EXPECT_EQ(form.statBar.SimpleText(), "Ready.");
  EXPECT_EQ(form.lblJobStatus.Caption(), "4");
  EXPECT_FALSE(form.btnStart.Enabled());
  EXPECT_TRUE(form.btnStop.Enabled());

  // A heartbeat older than ten seconds: the service is not running, whatever the manager says.
  clock.Advance(11);
  form.Timer1.Tick();
  EXPECT_EQ(form.statBar.SimpleText(), "The Corvale service is not running.");
  EXPECT_EQ(form.lblJobStatus.Caption(), "0");

  WriteReport(ServiceActivity::kServing, 0);
  form.Timer1.Tick();
  form.btnStop.Click();
  EXPECT_EQ(services.Calls().back(), "stop Corvale waiting 0");

  // A user without the right to start it: an elevated Corvale does it.
  services.start_error = 5;
  WriteReport(ServiceActivity::kStopped, 0);
  form.Timer1.Tick();
  form.btnStart.Click();
  EXPECT_EQ(shell.ElevatedStarts(),
            std::vector<std::string>{temp.Win("corvale.exe") + " /StartService"});
  shell.refuse_elevation = true;
  form.btnStart.Click();
  EXPECT_EQ(form.statBar.SimpleText(), "The service cannot be started: Access is denied.");
}

// The service's account edits the service's settings: each edit is saved at once, with a word
// that the running service takes it at its next Start; a folder on a mapped drive is saved as
// its share's path, or refused when the share cannot be told.
TEST_F(ServiceWindowTest, EditsAreSavedAtOnceWithFoldersTheServiceCanReach) {
  services.SetInstalled(".\\operator", ServiceState::kRunning);
  WriteReport(ServiceActivity::kServing, 0);
  files.MapDrive("M:", "\\\\srv\\hot");
  files.MapDrive("N:", "");
  TForm1& form = Create();
  form.cbEnableEmulation.SetChecked(true);
  EXPECT_EQ(registry
                .Value(RegistryHive::kCurrentUser, "SOFTWARE\\Varnell\\Devices\\Dorrow_Laser",
                       "EnableIPDSEmulation")
                ->number,
            1u);
  EXPECT_EQ(form.statBar.SimpleText(),
            "Ready. | Settings saved; the service takes them at its next Start (Stop, then "
            "Start).");
  form.edtInputFolder.SetText("M:\\Dorrow");
  EXPECT_EQ(form.edtInputFolder.Text(), "\\\\srv\\hot\\Dorrow");
  EXPECT_EQ(registry
                .Value(RegistryHive::kCurrentUser, "SOFTWARE\\Varnell\\Devices\\Dorrow_Laser",
                       "InputFolder")
                ->text,
            "\\\\srv\\hot\\Dorrow");
  form.edtDoneFolder.SetText("N:\\Done");
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0].rfind("The folder N:\\Done is on a mapped drive", 0), 0u);
  EXPECT_EQ(form.edtDoneFolder.Text(), "");
  EXPECT_EQ(form.Config.Slots[1].DoneFolder, "");
}

// Another user's window shows the service's state and changes nothing.
TEST_F(ServiceWindowTest, AnotherUsersWindowOnlyShowsTheState) {
  services.SetInstalled("NIGHT\\printing", ServiceState::kRunning);
  WriteReport(ServiceActivity::kServing, 0, 2);
  TForm1& form = Create();
  EXPECT_EQ(form.statBar.SimpleText(),
            "The Corvale service runs as NIGHT\\printing; this window shows its state only. "
            "Ready.");
  EXPECT_EQ(form.lblJobStatus.Caption(), "2");
  for (Control* control :
       {static_cast<Control*>(&form.btnStart), static_cast<Control*>(&form.btnStop),
        static_cast<Control*>(&form.edtInputFolder), static_cast<Control*>(&form.cmbPrinter)})
    EXPECT_FALSE(control->Enabled()) << control->Name();
  EXPECT_TRUE(form.btnHelp.Enabled());
  form.FormClose();
  EXPECT_TRUE(registry.WritesUnder(RegistryHive::kCurrentUser, "SOFTWARE").empty());
}


// "corvale.exe /Close [seconds]" as a deployment script runs it.
class FakeRunningCorvales : public RunningCorvales {
 public:
  std::vector<RunningCorvale> running;
  SystemError ask_error = 0;
  size_t stay = 0;  // how many of them do not end
  std::vector<std::string> calls;

  std::vector<RunningCorvale> Find() override { return running; }
  SystemError AskToClose() override {
    calls.push_back("ask");
    return ask_error;
  }
  std::vector<RunningCorvale> WaitForEnd(const std::vector<RunningCorvale>& corvales,
                                         uint32_t wait_ms) override {
    calls.push_back("wait " + std::to_string(wait_ms));
    return {corvales.begin(), corvales.begin() + static_cast<std::ptrdiff_t>(stay)};
  }
  void StopAsking() override { calls.push_back("stop asking"); }
  std::set<uint32_t> unreachable;  // sessions StartIn cannot start Corvale in
  SystemError StartIn(uint32_t session) override {
    calls.push_back("start in " + std::to_string(session));
    return unreachable.count(session) ? 5 : 0;
  }
};

TEST(CloseCommandTest, AsksWaitsAndSaysHowItWent) {
  const std::vector<RunningCorvale> two = {{410, 1}, {522, 2}};
  const struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<RunningCorvale> running;
    SystemError ask_error;
    size_t stay;
    int exit_code;
    std::string text;
    std::vector<std::string> calls;
  } cases[] = {
      {"none runs", {"/Close"}, {}, 0, 0, kCommandDone,
       "No Corvale window runs on this computer.", {}},
      {"both close", {"/close", "30"}, two, 0, 0, kCommandDone,
       "Closed 2 Corvales: process 410 in session 1, process 522 in session 2.",
       {"ask", "wait 30000", "stop asking"}},
      {"one stays", {"/Close"}, two, 0, 1, kCommandFailed,
       "1 Corvale still runs after 60 seconds: process 410 in session 1.",
       {"ask", "wait 60000", "stop asking"}},
      {"an older version", {"/Close", "5"}, {{410, 1}}, 2, 0, kCommandFailed,
       "1 Corvale cannot be asked to close (a version older than this one does not listen): "
       "process 410 in session 1.",
       {"ask"}},
      {"not allowed", {"/Close"}, {{410, 1}}, 5, 0, kCommandNotElevated,
       "1 Corvale cannot be asked to close from this account: run it elevated (process 410 in "
       "session 1).",
       {"ask"}},
      {"seconds not a number", {"/Close", "soon"}, two, 0, 0, kCommandRefused,
       "Give the seconds to wait, from 0 to 3600: corvale.exe /Close [seconds]", {}},
      {"too long", {"/Close", "3601"}, two, 0, 0, kCommandRefused,
       "Give the seconds to wait, from 0 to 3600: corvale.exe /Close [seconds]", {}},
  };
  testing::TempFolder temp;
  StdFileSystem files;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(IsCloseCommand(c.arguments));
    FakeRunningCorvales corvales;
    corvales.running = c.running;
    corvales.ask_error = c.ask_error;
    corvales.stay = c.stay;
    const CommandOutcome outcome =
        RunCloseCommand(c.arguments, corvales, files, temp.Win("Corvale.reopen"));
    EXPECT_EQ(outcome.exit_code, c.exit_code);
    EXPECT_EQ(outcome.text, c.text);
    EXPECT_EQ(corvales.calls, c.calls);
  }
  EXPECT_FALSE(IsCloseCommand({"/CloseAll"}));
}

// The sessions whose Corvale /Close closed are noted, and /Reopen starts Corvale again in each,
// once: a session where it cannot is named.
TEST(CloseCommandTest, ReopenStartsCorvaleAgainWhereItWasClosed) {
  testing::TempFolder temp;
  StdFileSystem files;
  const std::string noted = temp.Win("Corvale.reopen");
  FakeRunningCorvales corvales;
  corvales.running = {{410, 1}, {522, 3}, {610, 3}};
  corvales.stay = 1;  // process 410 does not end: its session is not noted
  EXPECT_EQ(RunCloseCommand({"/Close"}, corvales, files, noted).exit_code, kCommandFailed);
  corvales.running = {{700, 2}};
  corvales.stay = 0;
  EXPECT_EQ(RunCloseCommand({"/Close"}, corvales, files, noted).exit_code, kCommandDone);

  corvales.calls.clear();
  corvales.unreachable = {3};
  const CommandOutcome outcome = RunCloseCommand({"/Reopen"}, corvales, files, noted);
  EXPECT_EQ(corvales.calls, (std::vector<std::string>{"start in 2", "start in 3"}));
  EXPECT_EQ(outcome.exit_code, kCommandFailed);
  EXPECT_EQ(outcome.text.rfind("Corvale could not be started again in session 3 (", 0), 0u)
      << outcome.text;
  EXPECT_NE(outcome.text.find("; it runs again in session 2."), std::string::npos) << outcome.text;
  const CommandOutcome again = RunCloseCommand({"/Reopen"}, corvales, files, noted);
  EXPECT_EQ(again.exit_code, kCommandDone);
  EXPECT_EQ(again.text, "No Corvale was closed to be opened again.");
}

}  // namespace
}  // namespace corvale
