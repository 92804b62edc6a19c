// Start-up and close of the main window: the printer list, the settings shown in the controls,
// the log file name, the automatic start at logon, and what closing writes.
#include <algorithm>
#include <functional>

#include "common/text.h"
#include "corvale/engine/errors.h"
#include "corvale/platform/printers.h"
#include "corvale/platform/system_info.h"
#include "corvale/settings/run_entry.h"
#include "corvale/settings/settings_store.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

void TForm1::FormCreate() {
  // Every step runs even when an earlier one failed, so that the log file name is never left
  // unset. At logon nobody may be there to close a box: the errors of start-up are then logged
  // once the log file is known.
  std::vector<std::string> errors_at_logon;
  auto step = [&](const std::function<void()>& body) { Guarded(body); };
  auto report = [&](const std::vector<std::string>& errors) {
    for (const std::string& error : errors) step([&] { throw Error(error); });
  };

  step([&] {
    std::vector<std::string> args = platform_.system.Arguments();
    LaunchedAtLogon = args.size() == 1 && varnell::EqualsIgnoreCase(args[0], "/launchonstartup");
  });
  if (LaunchedAtLogon) {
    unattended_ = true;
    deferred_errors_ = &errors_at_logon;
  }
  std::vector<std::string> installed;
  step([&] {
    installed = platform_.printers.ListPrinters();
    cmbPrinter.SetItems(PrinterListForSlots(installed));
    if (!cmbPrinter.Items().empty()) cmbPrinter.SetItemIndex(0);
  });
  step([&] { LoadSettingsIntoWindow(installed, report); });
  step([&] {
    if (!cmbPrinter.Items().empty()) ShowSlot(cmbPrinter.Text());
  });
  // The server's own start-up: the default printer, the notifier, WOW64, the job store.
  report(Server.StartupErrors());
  step([&] {
    if (varnell::Trim(Config.LogFile).empty())
      edtLogFile.SetText(ProgramFolder() + "\\Varnell.log");
  });
  step([&] {
    if (LaunchedAtLogon) TimerAutoRun.SetEnabled(true);
  });
  step([&] { EnterServiceConsoleWhenInstalled(); });
  deferred_errors_ = nullptr;
  for (const std::string& error : errors_at_logon) GuardedUnattended([&] { throw Error(error); });
  unattended_ = false;
}

void TForm1::ShowLogSettings() {
  // Copies first: each control's handler writes its value back into Config.
  const Settings loaded = Config;
  cbLog.SetChecked(loaded.LogEnabled);
  cbAutoRun.SetChecked(loaded.LaunchOnStartup);
  edtLogFile.SetText(loaded.LogFile);
  cbLogDeleteBySize.SetChecked(loaded.Log.KeepLogFileSmall);
  edtMB.SetText(std::to_string(loaded.Log.KeepLogFileSize));
  cbLogDeleteByDay.SetChecked(loaded.Log.DeleteLogFile);
  cbTimeStamp.SetChecked(loaded.Log.AppendLogDate);
  edtDays.SetText(std::to_string(loaded.Log.DeleteLogFileDays));
  Config.Log = loaded.Log;
  SettingsEdited();
  ShowPolicy();
}

void TForm1::ShowPolicy() {
  const std::string text = GreyPolicyControls();
  if (!text.empty()) statBar.SetSimpleText(text);
}

void TForm1::ReleasePrinterPolicy() {
  // The printer's controls as the window's own rules leave them, before the next printer's policy
  // greys its own.
  if (Config.Policy.SlotNames.empty() || (service_console_ && !service_edits_allowed_)) return;
  for (Control* control :
       std::initializer_list<Control*>{&cbEnableEmulation, &edtInputFolder, &btnBrowseInputFolder,
                                       &btnBrowseDoneFolder, &cbDeleteAFP, &edtQueueDepth})
    control->SetEnabled(true);
  edtDoneFolder.SetEnabled(!cbDeleteAFP.Checked());
}

std::string TForm1::GreyPolicyControls() {
  const PolicyFields& policy = Config.Policy;
  if (policy.Empty()) return "";
  struct Locked {
    const char* name;
    std::vector<Control*> controls;
  };
  // Every machine-wide value, with the controls that would change it.
  const Locked machine_wide[] = {
      {"LogEnabled", {&cbLog}},
      {"LogFile", {&edtLogFile, &btnBrowseLogFile}},
      {"KeepLogFileSmall", {&cbLogDeleteBySize}},
      {"KeepLogFileSize", {&edtMB}},
      {"AppendLogDate", {&cbTimeStamp}},
      {"DeleteLogFile", {&cbLogDeleteByDay}},
      {"DeleteLogFileDays", {&edtDays}},
      {"LaunchOnStartup", {&cbAutoRun}},
      {"PrintSuccessExitCodes", {}},
      {"PrintTimeoutMinutes", {}},
      {"DefaultPrinter", {}},
  };
  const Locked per_printer[] = {
      {"EnableIPDSEmulation", {&cbEnableEmulation}},
      {"InputFolder", {&edtInputFolder, &btnBrowseInputFolder}},
      {"DoneFolder", {&edtDoneFolder, &btnBrowseDoneFolder}},
      {"DeleteInputFileWhenDone", {&cbDeleteAFP}},
      {"QueueDepth", {&edtQueueDepth}},
  };
  std::string machine_names;
  for (const Locked& value : machine_wide) {
    if (!policy.Has(value.name)) continue;
    for (Control* control : value.controls) control->SetEnabled(false);
    machine_names += (machine_names.empty() ? "" : ", ") + std::string(value.name);
  }
  const int slot = SelectedSlot();
  std::string printer_names;
  for (const Locked& value : per_printer) {
    if (!slot || !policy.SlotHas(slot, value.name)) continue;
    for (Control* control : value.controls) control->SetEnabled(false);
    printer_names += (printer_names.empty() ? "" : ", ") + std::string(value.name);
  }
  if (machine_names.empty() && printer_names.empty()) return "";
  std::string text = "Set by your administrator: " + machine_names;
  if (!printer_names.empty())
    text += (machine_names.empty() ? "" : "; ") + std::string("for ") + cmbPrinter.Text() + ": " +
            printer_names;
  return text + " (greyed; your own values are kept)";
}

void TForm1::LoadSettingsIntoWindow(
    const std::vector<std::string>& installed,
    const std::function<void(const std::vector<std::string>&)>& report) {
  std::vector<std::string> errors;
  Config = LoadSettings(platform_.registry, cmbPrinter.Items(), installed, errors);
  const auto& items = cmbPrinter.Items();
  const auto remembered = std::find(items.begin(), items.end(), Config.DefaultPrinter);
  if (remembered != items.end())
    cmbPrinter.SetItemIndex(static_cast<int>(remembered - items.begin()));
  SettingsEdited();
  report(errors);
  ShowLogSettings();
}

bool TForm1::FormCloseQuery() {
  if (Server.Running()) Guarded([&] { btnStopClick(); });
  return true;
}

void TForm1::SaveWindowSettings() {
  Config.DefaultPrinter = cmbPrinter.Text();
  if (!service_console_) Config.LaunchOnStartup = cbAutoRun.Checked();
  SaveSettings(platform_.registry, Config, Server.Engine().RegistryViewFlag);
}

void TForm1::FormClose() {
  if (service_console_) {
    // The window ran no server: no default printer to restore, no Run entry to keep.
    if (service_edits_allowed_) Guarded([&] { SaveWindowSettings(); });
    Guarded([&] { Server.Close(0); });
    return;
  }
  Guarded([&] { Server.RestoreStartupDefaultPrinter(); });
  Guarded([&] { SaveWindowSettings(); });
  Guarded([&] {
    const std::string program = platform_.system.ProgramPath();
    const std::string short_program = Server.ShortPathOf(program);
    if (!cbAutoRun.Checked()) {
      RemoveRunEntries(platform_.registry, {program, short_program});
      return;
    }
    const std::string report = RunEntryReport(WriteRunEntry(
        platform_.registry, short_program + " /LaunchOnStartup", {program, short_program}));
    if (report.empty()) return;
    Server.WriteLog(report, "General");
    Server.SetStatusText(report + ".");
  });
  Guarded([&] { Server.Close(CloseWaitMs); });
}

void TForm1::CloseOnRequest() {
  unattended_ = true;
  Server.WriteLog("Asked to close (corvale.exe /Close)", "General");
  FormCloseQuery();
  FormClose();
}

void TForm1::EndSession() {
  // Windows ends the process soon after this returns, and nobody answers a box now.
  unattended_ = true;
  const uint32_t close_wait = CloseWaitMs;
  CloseWaitMs = std::min(CloseWaitMs, kSessionEndWaitMs);
  FormCloseQuery();
  FormClose();
  CloseWaitMs = close_wait;
}

void TForm1::TimerAutoRunTimer() {
  // The first tick comes a second after start-up; a start refused then (a network share that
  // is not up yet) is tried again every minute, until it succeeds or the operator presses
  // Start or Stop.
  constexpr uint32_t kRetryIntervalMs = 60000;
  const bool first = TimerAutoRun.Interval() != kRetryIntervalMs;
  TimerAutoRun.SetEnabled(false);
  if (!Server.Running()) {
    unattended_ = true;
    bool started = false;
    GuardedUnattended([&] { started = Server.Start(Config, StartMode::kUnattended); });
    unattended_ = false;
    if (!started && Server.ServedElsewhere().empty()) {
      TimerAutoRun.SetInterval(kRetryIntervalMs);
      TimerAutoRun.SetEnabled(true);
    }
  }
  if (first && OnMinimize) OnMinimize();
}

}  // namespace corvale
