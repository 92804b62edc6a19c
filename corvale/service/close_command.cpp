#include "corvale/service/close_command.h"

#include <optional>
#include <set>
#include <sstream>

#include "common/text.h"
#include "corvale/engine/engine_state.h"
#include "corvale/platform/file_system.h"
#include "corvale/platform/running_corvales.h"

namespace corvale {

namespace {

constexpr SystemError kNoneListens = 2;   // ERROR_FILE_NOT_FOUND
constexpr SystemError kAccessDenied = 5;  // ERROR_ACCESS_DENIED

// A number of at most `most` written in digits alone.
std::optional<uint32_t> Number(const std::string& text, uint32_t most) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  uint32_t number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<uint32_t>(c - '0');
  }
  if (number > most) return std::nullopt;
  return number;
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

// The sessions noted in the file, one number a line.
std::set<uint32_t> NotedSessions(FileSystem& files, const std::string& reopen_file) {
  std::set<uint32_t> sessions;
  std::istringstream lines(files.ReadTextFile(reopen_file).value_or(""));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (const std::optional<uint32_t> session = Number(line, 0xFFFFFFFFu / 10))
      sessions.insert(*session);
  }
  return sessions;
}

CommandOutcome Reopen(RunningCorvales& corvales, FileSystem& files,
                      const std::string& reopen_file) {
  const std::set<uint32_t> sessions = NotedSessions(files, reopen_file);
  if (sessions.empty()) return {kCommandDone, "No Corvale was closed to be opened again."};
  std::string opened, failed;
  for (const uint32_t session : sessions) {
    if (const SystemError error = corvales.StartIn(session)) {
      failed += (failed.empty() ? "" : ", ") + std::to_string(session) + " (" +
                files.ErrorText(error) + ")";
    } else {
      opened += (opened.empty() ? "" : ", ") + std::to_string(session);
    }
  }
  files.DeleteFile(reopen_file);
  if (failed.empty()) return {kCommandDone, "Corvale runs again in session " + opened + "."};
  return {kCommandFailed, "Corvale could not be started again in session " + failed +
                              (opened.empty() ? "" : "; it runs again in session " + opened) +
                              ". Its user starts it from the Start menu, or at the next logon."};
}

}  // namespace

bool IsCloseCommand(const std::vector<std::string>& arguments) {
  return !arguments.empty() && (varnell::EqualsIgnoreCase(arguments[0], "/Close") ||
                                varnell::EqualsIgnoreCase(arguments[0], "/Reopen"));
}

CommandOutcome RunCloseCommand(const std::vector<std::string>& arguments,
                               RunningCorvales& corvales, FileSystem& files,
                               const std::string& reopen_file) {
  if (varnell::EqualsIgnoreCase(arguments[0], "/Reopen")) {
    if (arguments.size() != 1) return {kCommandRefused, "corvale.exe /Reopen takes nothing more"};
    return Reopen(corvales, files, reopen_file);
  }
  const std::optional<uint32_t> seconds =
      arguments.size() == 1 ? std::optional<uint32_t>(kDefaultCloseWaitSeconds)
      : arguments.size() == 2 ? Number(arguments[1], kMostCloseWaitSeconds)
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
  // The sessions whose Corvale closed, for /Reopen; a session noted by an earlier /Close stays.
  std::set<uint32_t> closed = NotedSessions(files, reopen_file);
  for (const RunningCorvale& corvale : running) {
    bool still_runs = false;
    for (const RunningCorvale& other : left) still_runs |= other.process_id == corvale.process_id;
    if (!still_runs) closed.insert(corvale.session_id);
  }
  std::string noted;
  for (const uint32_t session : closed) noted += std::to_string(session) + "\r\n";
  files.DeleteFile(reopen_file);
  files.CreateDirectories(ExtractFileDir(reopen_file));
  files.AppendToFile(reopen_file, noted);
  if (!left.empty()) {
    return {kCommandFailed, Count(left.size()) + " still " + (left.size() == 1 ? "runs" : "run") +
                                " after " + std::to_string(*seconds) + " seconds: " +
                                Sessions(left) + "."};
  }
  return {kCommandDone, "Closed " + Count(running.size()) + ": " + Sessions(running) + "."};
}

}  // namespace corvale
