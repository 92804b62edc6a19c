// The handler boundary: an error raised by an event handler ends that handler, is shown to the
// operator one box at a time, and never reaches the message loop.
#include <exception>

#include "corvale/engine/errors.h"
#include "corvale/platform/dialogs.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

void TForm1::Guarded(const std::function<void()>& handler) {
  std::string message;
  std::string status;
  try {
    handler();
    return;
  } catch (const LogWriteError& e) {
    message = e.what();
    status = "The log file " + e.Path() + " cannot be written: " + message;
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "Unknown error";
  }
  // Shown outside the catch: the box runs a message loop of its own, whose handlers may raise
  // and catch errors of their own.
  ShowHandlerError(message, status);
}

void TForm1::ShowHandlerError(const std::string& message, const std::string& status) {
  if (!status.empty()) SetStatusText(status);
  if (error_box_open_) {
    // The box already open speaks for this error too.
    if (status.empty()) SetStatusText(message);
    return;
  }
  error_box_open_ = true;
  struct Closed {
    bool& open;
    ~Closed() { open = false; }
  } closed{error_box_open_};
  platform_.dialogs.ShowError(message);
}

HandlerBoundary TForm1::GuardedBoundary() {
  return [this](const std::function<void()>& handler) { Guarded(handler); };
}

}  // namespace corvale
