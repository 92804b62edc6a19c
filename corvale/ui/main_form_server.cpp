// The main window and its print server: Start and Stop, the ticks, what the server shows, and
// the boundary at which a handler's error ends that handler.
#include <exception>

#include "corvale/platform/dialogs.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

void TForm1::btnStartClick() {
  // The operator's Start ends the tries of a start at logon.
  TimerAutoRun.SetEnabled(false);
  if (service_console_) return ControlService(/*start=*/true);
  Server.Start(Config, StartMode::kOperator);
}

void TForm1::btnStopClick() {
  // The operator's Stop ends the tries of a start at logon too.
  TimerAutoRun.SetEnabled(false);
  if (service_console_) return ControlService(/*start=*/false);
  Server.Stop();
}

void TForm1::btnPrintAgainClick() {
  Server.PrintFailedAgain(SelectedSlot());
}

PrintServer::PrintAgainOutcome TForm1::PrintAgainRequested(const std::string& printer) {
  PrintServer::PrintAgainOutcome outcome;
  outcome.exit_code = 1;
  outcome.text = "Corvale could not print the failed jobs again; its status bar and log say why.";
  GuardedUnattended([&] { outcome = Server.PrintFailedAgainCommand(printer); });
  return outcome;
}

void TForm1::FailedJobsCounted() {
  // Another user's console of the service only shows it.
  const bool may_act = !service_console_ || service_edits_allowed_;
  btnPrintAgain.SetEnabled(may_act && Server.FailedJobs(SelectedSlot()) > 0);
}

void TForm1::Timer1Timer() {
  if (service_console_) return ShowService();
  Server.StatusTick();
}

void TForm1::Timer2Timer() {
  Server.DispatchTick();
}

void TForm1::Timer3Timer() {
  Server.LogTick();
}

void TForm1::ShowJobsInQueue(int32_t count) {
  lblJobStatus.SetCaption(std::to_string(count));
}

void TForm1::RunningChanged(bool running) {
  btnStart.SetEnabled(!running);
  btnStop.SetEnabled(running);
  for (Timer* timer : {&Timer1, &Timer2, &Timer3}) timer->SetEnabled(running);
}

void TForm1::ShowStartMessage(const std::string& text) {
  platform_.dialogs.ShowMessage(text);
}

void TForm1::Guarded(const std::function<void()>& handler) {
  HandleError(handler, /*operator_action=*/!unattended_);
}

void TForm1::GuardedUnattended(const std::function<void()>& handler) {
  HandleError(handler, /*operator_action=*/false);
}

void TForm1::HandleError(const std::function<void()>& handler, bool operator_action) {
  std::string message;
  try {
    handler();
    return;
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "Unknown error";
  }
  // Handled outside the catch: the box runs a message loop of its own, whose handlers may raise
  // and catch errors of their own.
  if (deferred_errors_) {
    // Start-up at logon: the log file is not known yet.
    deferred_errors_->push_back(message);
    return;
  }
  Server.ReportError(message);
  if (!operator_action || error_box_open_) return;
  error_box_open_ = true;
  struct Closed {
    bool& open;
    ~Closed() { open = false; }
  } closed{error_box_open_};
  platform_.dialogs.ShowError(message);
}

}  // namespace corvale
