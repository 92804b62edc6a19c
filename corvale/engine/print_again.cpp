// The failed jobs of the served printers: counted into a standing notice, and printed again.
#include <algorithm>
#include <vector>

#include "common/text.h"
#include "corvale/engine/errors.h"
#include "corvale/engine/print_server.h"
#include "corvale/platform/file_system.h"

namespace corvale {

int PrintServer::FindSlotByPrinter(const std::string& printer) const {
  for (int n = 1; n <= settings_.SlotCount(); ++n) {
    if (varnell::EqualsIgnoreCase(settings_.Printers[static_cast<size_t>(n - 1)], printer))
      return n;
  }
  return 0;
}

void PrintServer::CountFailedJobs(int n) {
  const int first = n == 0 ? 1 : n;
  const int last = n == 0 ? settings_.SlotCount() : std::min(n, settings_.SlotCount());
  for (int slot = first; slot <= last; ++slot) {
    const std::string& printer = settings_.Printers[static_cast<size_t>(slot - 1)];
    const std::string folder = FailedFolderOf(engine_.JobStoreRoot, printer);
    const int count = corvale::CountFailedJobs(platform_.files, folder);
    failed_jobs_[slot] = count;
    const std::string cause = "failed " + std::to_string(slot);
    // Only a printer the running server serves stands in the status bar, from the next status
    // tick on: the text of the failure itself is seen first.
    if (count > 0 && engine_.Running && !folders_.FolderOf(slot).empty()) {
      notices_.Set(cause, std::to_string(count) + (count == 1 ? " failed job" : " failed jobs") +
                              " of " + printer + " in " + folder + " (Print again puts " +
                              (count == 1 ? "it" : "them") + " back).");
    } else {
      notices_.Clear(cause);
    }
  }
  view_.FailedJobsCounted();
}

PrintAgainResult PrintServer::PrintFailedAgain(int n) {
  if (n < 1 || n > settings_.SlotCount()) throw Error("No printer is selected.");
  const std::string& printer = settings_.Printers[static_cast<size_t>(n - 1)];
  const std::string failed = FailedFolderOf(engine_.JobStoreRoot, printer);
  // The folder watched for the slot, which an edit of its box changes only at the next Start.
  const std::string watched = engine_.Running ? folders_.FolderOf(n) : std::string();
  const std::string input = varnell::WithoutTrailingDelimiter(
      varnell::Trim(watched.empty() ? settings_.Slots[n].InputFolder : watched));
  if (input.empty()) {
    throw Error("The input folder for " + printer + " is not specified; its failed jobs stay in " +
                failed + ".");
  }
  if (!platform_.files.DirectoryExists(input)) EnsureFolder(platform_.files, input);
  PrintAgainResult result = MoveFailedJobsBack(
      platform_.files, failed, input,
      [this](const std::string& message) { WriteLog(message, "MoveFile"); });
  std::string summary = "Print again for " + printer + ": " + std::to_string(result.moved) +
                        (result.moved == 1 ? " job" : " jobs") + " put back into " + input;
  if (result.stayed > 0) summary += ", " + std::to_string(result.stayed) + " stay in " + failed;
  WriteLog(summary, "JobStatus");
  result.summary = summary + ".";
  CountFailedJobs(n);
  SetStatusText(result.summary);
  if (!watched.empty() && result.moved > 0) ScanInputFolder(watched);
  return result;
}

PrintServer::PrintAgainOutcome PrintServer::PrintFailedAgainCommand(const std::string& printer) {
  PrintAgainOutcome outcome;
  std::vector<int> slots;
  if (!printer.empty()) {
    const int n = FindSlotByPrinter(printer);
    if (n == 0) {
      outcome.exit_code = 2;
      outcome.text = "No printer named " + printer + " is listed.";
      return outcome;
    }
    slots.push_back(n);
  } else {
    CountFailedJobs();
    for (int n = 1; n <= settings_.SlotCount(); ++n) {
      if (settings_.Slots[n].EnableIPDSEmulation && failed_jobs_[n] > 0) slots.push_back(n);
    }
    if (slots.empty()) outcome.text = "No served printer has failed jobs.";
  }
  for (int n : slots) {
    try {
      const PrintAgainResult result = PrintFailedAgain(n);
      outcome.jobs.moved += result.moved;
      outcome.jobs.stayed += result.stayed;
      outcome.text += (outcome.text.empty() ? "" : "\r\n") + result.summary;
      if (result.stayed > 0) outcome.exit_code = 1;
    } catch (const Error& e) {
      outcome.text += (outcome.text.empty() ? "" : "\r\n") + std::string(e.what());
      WriteLog(e.what(), "JobStatus");
      outcome.exit_code = 1;
    }
  }
  return outcome;
}

}  // namespace corvale
