#include "corvale/service/close_command.h"

#include <optional>

#include "common/text.h"
#include "corvale/platform/running_corvales.h"

namespace corvale {

namespace {

constexpr SystemError kNoneListens = 2;   // ERROR_FILE_NOT_FOUND
constexpr SystemError kAccessDenied = 5;  // ERROR_ACCESS_DENIED

std::optional<uint32_t> Seconds(const std::string& text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  uint32_t seconds = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    seconds = seconds * 10 + static_cast<uint32_t>(c - '0');
  }
  if (seconds > kMostCloseWaitSeconds) return std::nullopt;
  return seconds;
}

std::string Count(size_t n) {
  return n == 1 ? "1 Corvale" : std::to_string(n) + " Corvales";
}

std::string Sessions(const std::vector<RunningCorvale>& corvales) {
  std::string text;
  for (const RunningCorvale& corvale : corvales) {
    text += (text.empty() ? "" : ", ") + std::string("process ") +
            std::to_string(corvale.process_id) + " in session " +
            std::to_string(corvale.session_id);
  }
  return text;
}

}  // namespace

bool IsCloseCommand(const std::vector<std::string>& arguments) {
  return !arguments.empty() && varnell::EqualsIgnoreCase(arguments[0], "/Close");
}

CommandOutcome RunCloseCommand(const std::vector<std::string>& arguments,
                               RunningCorvales& corvales) {
  const std::optional<uint32_t> seconds =
      arguments.size() == 1 ? std::optional<uint32_t>(kDefaultCloseWaitSeconds)
      : arguments.size() == 2 ? Seconds(arguments[1])
                              : std::nullopt;
  if (!seconds) {
    return {kCommandRefused, "Give the seconds to wait, from 0 to " +
                                 std::to_string(kMostCloseWaitSeconds) +
                                 ": corvale.exe /Close [seconds]"};
  }
  const std::vector<RunningCorvale> running = corvales.Find();
  if (running.empty()) return {kCommandDone, "No Corvale window runs on this computer."};
  const SystemError error = corvales.AskToClose();
  if (error == kAccessDenied) {
    return {kCommandNotElevated, Count(running.size()) +
                                     " cannot be asked to close from this account: run it "
                                     "elevated (" + Sessions(running) + ")."};
  }
  if (error != 0) {
    return {kCommandFailed,
            Count(running.size()) + " cannot be asked to close" +
                (error == kNoneListens ? " (a version older than this one does not listen)"
                                       : " (system error " + std::to_string(error) + ")") +
                ": " + Sessions(running) + "."};
  }
  const std::vector<RunningCorvale> left = corvales.WaitForEnd(running, *seconds * 1000);
  corvales.StopAsking();
  if (!left.empty()) {
    return {kCommandFailed, Count(left.size()) + " still " + (left.size() == 1 ? "runs" : "run") +
                                " after " + std::to_string(*seconds) + " seconds: " +
                                Sessions(left) + "."};
  }
  return {kCommandDone, "Closed " + Count(running.size()) + ": " + Sessions(running) + "."};
}

}  // namespace corvale
