// Corvale as a Windows service: the same print server, headless. At the service's start it
// serves with the settings of the service's account, trying a refused Start again every minute;
// it never shows a box; a stop, a shutdown or a pre-shutdown runs the close path (queued files
// back, the default printer restored) inside the time Windows gives. Every couple of seconds it
// writes its state into the job store for the window that shows it.
// Made and used on the service's main thread; the Service Control Manager's requests reach it as
// posted calls.
#pragma once

#include <cstdint>
#include <string>

#include "corvale/engine/print_server.h"
#include "corvale/service/status_file.h"

namespace corvale {

// What the service tells the Service Control Manager.
enum class ServiceReport { kStartPending, kRunning, kStopPending, kStopped };

class ServiceStatusSink {
 public:
  virtual ~ServiceStatusSink() = default;
  // `wait_hint_ms`: how long the pending state may last before the next report.
  virtual void Report(ServiceReport state, uint32_t wait_hint_ms) = 0;
};

// Why the service is asked to end.
enum class ServiceStop { kStop, kShutdown, kPreshutdown };

class ServiceHost : public ServerView {
 public:
  ServiceHost(ServerPlatform& platform, ServiceStatusSink& sink);

  // The service starts: settings, the server, a Start (or its retries).
  void Begin();
  // Every second while the service runs.
  void Tick();
  // The close path; the service has stopped when it returns.
  void End(ServiceStop reason);
  bool Ended() const { return ended_; }

  PrintServer& Server() { return server_; }
  const Settings& SettingsInUse() const { return settings_; }

  // What the server shows goes to the status file (and the log, where the server logs it).
  void ShowStatusText(const std::string& text) override { status_text_ = text; }
  void ShowJobsInQueue(int32_t count) override { jobs_in_queue_ = count; }
  void RunningChanged(bool) override {}
  // A service has nobody to show a box to; its Start is unattended and never asks for one.
  void ShowStartMessage(const std::string& text) override { status_text_ = text; }

  // How often a refused Start is tried again, and the status file written.
  static constexpr int kRetrySeconds = 60;
  static constexpr int kStatusSeconds = 2;

 private:
  void TryStart();
  void WriteStatus(ServiceActivity activity);

  ServerPlatform& platform_;
  ServiceStatusSink& sink_;
  PrintServer server_;
  Settings settings_;
  std::string status_text_;
  int32_t jobs_in_queue_ = 0;
  int64_t seconds_ = 0;
  int64_t next_try_ = 0;  // the second of the next Start to try; 0: none
  bool ended_ = false;
};

}  // namespace corvale
