// The service's host of the print server.
#include "corvale/service/service_host.h"

#include <vector>

#include "common/text.h"
#include "corvale/platform/printers.h"
#include "corvale/platform/system_info.h"
#include "corvale/service/service_names.h"
#include "corvale/settings/settings_store.h"

namespace corvale {

namespace {

// How long Windows lets a service take to start before it asks again.
constexpr uint32_t kStartWaitHintMs = 30000;

}  // namespace

ServiceHost::ServiceHost(ServerPlatform& platform, ServiceStatusSink& sink)
    : platform_(platform), sink_(sink), server_(platform, *this) {}

void ServiceHost::Begin() {
  sink_.Report(ServiceReport::kStartPending, kStartWaitHintMs);
  std::vector<std::string> errors(server_.StartupErrors());
  server_.RunUnattended([&] {
    const std::vector<std::string> installed = platform_.printers.ListPrinters();
    settings_ = LoadSettings(platform_.registry, PrinterListForSlots(installed), installed, errors);
  });
  // As the window does at its first start: the log beside the program.
  if (varnell::Trim(settings_.LogFile).empty())
    settings_.LogFile = ExtractFileDir(platform_.system.ProgramPath()) + "\\Varnell.log";
  server_.ApplySettings(settings_);
  for (const std::string& error : errors) server_.ReportError(error);
  server_.WriteLog("The Corvale service starts, as " + platform_.system.UserName(), "General");
  sink_.Report(ServiceReport::kRunning, 0);
  TryStart();
}

void ServiceHost::TryStart() {
  next_try_ = 0;
  bool started = false;
  server_.RunUnattended([&] { started = server_.Start(StartMode::kService); });
  // Another Corvale that serves this computer stays until it closes; anything else (a share not
  // up yet) may mend by itself.
  if (!started && server_.ServedElsewhere().empty()) next_try_ = seconds_ + kRetrySeconds;
  WriteStatus(started ? ServiceActivity::kServing : ServiceActivity::kNotServing);
}

void ServiceHost::Tick() {
  if (ended_) return;
  ++seconds_;
  if (server_.Running()) {
    server_.RunUnattended([&] { server_.StatusTick(); });
    if (seconds_ % 2 == 0) server_.RunUnattended([&] { server_.DispatchTick(); });
    if (seconds_ % 60 == 0) server_.RunUnattended([&] { server_.LogTick(); });
  } else if (next_try_ != 0 && seconds_ >= next_try_) {
    TryStart();
  }
  if (seconds_ % kStatusSeconds == 0 && !ended_) {
    WriteStatus(server_.Running() ? ServiceActivity::kServing : ServiceActivity::kNotServing);
  }
}

void ServiceHost::End(ServiceStop reason) {
  if (ended_) return;
  // At a shutdown Windows gives a few seconds; a stop or a pre-shutdown waits for the reports.
  const uint32_t limit = reason == ServiceStop::kShutdown ? kSessionEndWaitMs : kCloseWaitMs;
  sink_.Report(ServiceReport::kStopPending, limit + 5000);
  WriteStatus(ServiceActivity::kStopping);
  server_.RunUnattended([&] {
    if (server_.Running()) server_.Stop();
  });
  server_.RunUnattended([&] { server_.RestoreStartupDefaultPrinter(); });
  server_.RunUnattended([&] { server_.Close(limit); });
  server_.WriteLog("The Corvale service stops", "General");
  ended_ = true;
  WriteStatus(ServiceActivity::kStopped);
  sink_.Report(ServiceReport::kStopped, 0);
}

void ServiceHost::WriteStatus(ServiceActivity activity) {
  ServiceStatusReport report;
  report.activity = activity;
  report.jobs_in_queue = jobs_in_queue_;
  report.current_job = server_.Engine().PrintingJob;
  report.status_text = status_text_;
  report.heartbeat = platform_.clock.NowUtcFileTime();
  report.account = platform_.system.UserName();
  const std::string path = server_.Engine().JobStoreRoot + "\\" + kServiceStatusFileName;
  // A status file that cannot be written now is written at the next tick; the window then
  // takes the service for stopped, which it says.
  WriteStatusReport(platform_.files, path, report);
}

}  // namespace corvale
