// The handler boundary: an error raised by an event handler ends that handler and never reaches
// the message loop. Every such error is logged; one raised by what an operator did is also shown
// in a box, one box at a time, while one raised on the unattended path (timer ticks, change
// reports, posted calls, a start at logon, the end of the session) only reaches the status bar.
#include <exception>

#include "corvale/engine/errors.h"
#include "corvale/platform/dialogs.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

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
  WriteLog("ERROR: " + message, "General");
  SetStatusText(message);
  if (!operator_action || error_box_open_) return;
  error_box_open_ = true;
  struct Closed {
    bool& open;
    ~Closed() { open = false; }
  } closed{error_box_open_};
  platform_.dialogs.ShowError(message);
}

HandlerBoundary TForm1::UnattendedBoundary() {
  return [this](const std::function<void()>& handler) { GuardedUnattended(handler); };
}

}  // namespace corvale
