// The print-again command: its switch, the window's answer, and the moves made without a window.
#include "corvale/service/print_again_command.h"

#include <algorithm>

#include "common/text.h"
#include "corvale/engine/print_server.h"
#include "corvale/platform/printers.h"
#include "corvale/platform/system_info.h"
#include "corvale/settings/settings_store.h"

namespace corvale {

namespace {

constexpr uint32_t kMostCounted = 0xFFF;

// What the server shows goes nowhere: the command prints its outcome.
class SilentView : public ServerView {
 public:
  void ShowStatusText(const std::string&) override {}
  void ShowJobsInQueue(int32_t) override {}
  void RunningChanged(bool) override {}
  void ShowStartMessage(const std::string&) override {}
};

std::string Jobs(int count) {
  return std::to_string(count) + (count == 1 ? " failed job" : " failed jobs");
}

}  // namespace

bool IsPrintAgainCommand(const std::vector<std::string>& args) {
  return (args.size() == 1 || args.size() == 2) &&
         varnell::EqualsIgnoreCase(args[0], kPrintAgainSwitch);
}

std::string PrintAgainPrinter(const std::vector<std::string>& args) {
  return args.size() == 2 ? varnell::Trim(args[1]) : std::string();
}

uint32_t PrintAgainReply(int exit_code, int moved, int stayed) {
  auto counted = [](int count) {
    return std::min<uint32_t>(static_cast<uint32_t>(std::max(count, 0)), kMostCounted);
  };
  return (static_cast<uint32_t>(exit_code) & 0xFF) | counted(moved) << 8 | counted(stayed) << 20;
}

CommandOutcome DescribePrintAgainReply(uint32_t reply, const std::string& printer) {
  const int exit_code = static_cast<int>(reply & 0xFF);
  const int moved = static_cast<int>((reply >> 8) & kMostCounted);
  const int stayed = static_cast<int>((reply >> 20) & kMostCounted);
  const std::string whose = printer.empty() ? "the served printers" : printer;
  CommandOutcome outcome;
  outcome.exit_code = exit_code;
  if (exit_code == 2) {
    outcome.text = "No printer named " + printer + " is listed in the running Corvale.";
  } else if (exit_code != 0 && moved == 0 && stayed == 0) {
    outcome.text = "The running Corvale could not print the failed jobs of " + whose +
                   " again; its status bar and log say why.";
  } else {
    outcome.text = "The running Corvale put " + Jobs(moved) + " of " + whose +
                   " back into the input folder" +
                   (stayed > 0 ? "; " + Jobs(stayed) + (stayed == 1 ? " stays" : " stay") + " (see its log)." : ".");
  }
  return outcome;
}

CommandOutcome PrintFailedAgainHere(ServerPlatform& platform, const std::string& printer) {
  SilentView view;
  PrintServer server(platform, view);
  const std::vector<std::string> installed = platform.printers.ListPrinters();
  std::vector<std::string> errors;
  Settings settings =
      LoadSettings(platform.registry, PrinterListForSlots(installed), installed, errors);
  if (varnell::Trim(settings.LogFile).empty())
    settings.LogFile = ExtractFileDir(platform.system.ProgramPath()) + "\\Varnell.log";
  server.ApplySettings(settings);
  // The log file the window would write now.
  if (settings.Log.AppendLogDate) {
    server.Log().SetCurrentLogFile(
        DateStampedName(varnell::Trim(settings.LogFile), platform.clock.Now()));
  }
  const PrintServer::PrintAgainOutcome outcome = server.PrintFailedAgainCommand(printer);
  server.Close(0);
  return {outcome.exit_code, outcome.text};
}

}  // namespace corvale
