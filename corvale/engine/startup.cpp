// Start-up and close of the main window: the printer list, the settings, the log file name and
// the job store folder.
#include <algorithm>
#include <chrono>
#include <mutex>

#include "common/text.h"
#include "corvale/engine/errors.h"
#include "corvale/platform/dialogs.h"
#include "corvale/platform/event_loop.h"
#include "corvale/platform/file_system.h"
#include "corvale/platform/printers.h"
#include "corvale/platform/registry.h"
#include "corvale/platform/system_info.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

namespace {

// Removes the first entry equal to `name`, ignoring case.
void RemoveFirst(std::vector<std::string>& list, const std::string& name) {
  auto it = std::find_if(list.begin(), list.end(), [&](const std::string& entry) {
    return varnell::EqualsIgnoreCase(entry, name);
  });
  if (it != list.end()) list.erase(it);
}

}  // namespace

std::vector<std::string> TForm1::PrinterListForSlots(std::vector<std::string> printers) {
  // These two printers belong to the other programs of the system and never get a slot.
  RemoveFirst(printers, "Varnell");
  RemoveFirst(printers, "AFP Printer");
  if (printers.size() > static_cast<size_t>(kMaxSlots)) printers.resize(kMaxSlots);
  return printers;
}

void TForm1::FormCreate() {
  // Every step runs even when an earlier one failed, so that the job store root and the log
  // file name are never left unset. At logon nobody may be there to close a box: the errors of
  // start-up are then logged once the log file is known.
  std::vector<std::string> errors_at_logon;
  auto step = [&](const std::function<void()>& body) { Guarded(body); };
  // Tasks handed to the main thread run inside the unattended boundary.
  platform_.loop.SetHandlerBoundary(UnattendedBoundary());

  step([&] {
    std::vector<std::string> args = platform_.system.Arguments();
    LaunchedAtLogon = args.size() == 1 && varnell::EqualsIgnoreCase(args[0], "/launchonstartup");
  });
  if (LaunchedAtLogon) {
    unattended_ = true;
    deferred_errors_ = &errors_at_logon;
  }
  step([&] { Engine.StartupDefaultPrinter = platform_.printers.DefaultPrinter(); });
  step([&] {
    InstalledPrinters = platform_.printers.ListPrinters();
    cmbPrinter.SetItems(PrinterListForSlots(InstalledPrinters));
    if (!cmbPrinter.Items().empty()) cmbPrinter.SetItemIndex(0);
  });
  step([&] { LoadSettings(); });
  step([&] {
    if (!cmbPrinter.Items().empty()) ShowSlot(cmbPrinter.Text());
  });
  step([&] {
    Notifier = std::make_unique<TGXThreadFileNotifier>(platform_.watch);
    Notifier->Boundary = UnattendedBoundary();
  });
  step([&] {
    Engine.RunningUnderWow64 = IsWow64(platform_.system);
    Engine.RegistryViewFlag = Engine.RunningUnderWow64 ? kKeyWow64_64Key : kKeyWow64_32Key;
  });
  step([&] {
    if (Log.CurrentLogFile().empty()) edtLogFile.SetText(ProgramFolder() + "\\Varnell.log");
    Log.SetCurrentLogFile(edtLogFile.Text());
  });
  step([&] {
    Engine.JobStoreRoot = ProgramFolder() + "\\JobStore";
    if (!platform_.files.DirectoryExists(Engine.JobStoreRoot))
      EnsureFolder(platform_.files, Engine.JobStoreRoot);
  });
  step([&] {
    if (LaunchedAtLogon) TimerAutoRun.SetEnabled(true);
  });
  deferred_errors_ = nullptr;
  for (const std::string& error : errors_at_logon) GuardedUnattended([&] { throw Error(error); });
  unattended_ = false;
}

bool TForm1::FormCloseQuery() {
  if (btnStop.Enabled()) Guarded([&] { btnStopClick(); });
  return true;
}

void TForm1::FormClose() {
  Guarded([&] { SetWindowsDefaultPrinter(Engine.StartupDefaultPrinter, /*synchronous=*/false); });
  Guarded([&] { SaveSettings(); });
  Guarded([&] { UpdateRunEntry(); });
  Guarded([&] { Notifier.reset(); });
  Guarded([&] { WaitForPrintingJobs(CloseWaitMs); });
}

void TForm1::EndSession() {
  // Windows ends the process soon after this returns, and nobody answers a box now.
  constexpr uint32_t kSessionEndWaitMs = 5000;
  unattended_ = true;
  const uint32_t close_wait = CloseWaitMs;
  CloseWaitMs = std::min(CloseWaitMs, kSessionEndWaitMs);
  FormCloseQuery();
  FormClose();
  CloseWaitMs = close_wait;
}

void TForm1::WaitForPrintingJobs(uint32_t limit_ms) {
  std::vector<std::string> printing;
  {
    std::unique_lock lock(Engine.RunMutex);
    if (Engine.ActiveRunners == 0) return;
    SetStatusText("Waiting for the print utility to end ...");
    if (Engine.RunnersDone.wait_for(lock, std::chrono::milliseconds(limit_ms),
                                    [&] { return Engine.ActiveRunners == 0; }))
      return;
    for (const auto& job : Engine.PendingJobFiles) printing.push_back(job.second);
    runners_abandoned_ = true;
  }
  // The job stays in the job store, where the next Start takes it again.
  for (const std::string& job : printing) {
    WriteLog("A job is still printing as Corvale closes: " + job +
                 " stays in the job store, and the next Start takes it again",
             "JobStatus");
  }
}

}  // namespace corvale
