// Dispatch: the dispatch tick prints the queued jobs one at a time, slot by slot, each after
// making the slot's printer the Windows default printer.
#include <exception>

#include "common/text.h"
#include "corvale/engine/job_runner.h"
#include "corvale/platform/system_info.h"
#include "corvale/platform/event_loop.h"
#include "corvale/platform/file_system.h"
#include "corvale/platform/printers.h"
#include "corvale/platform/registry.h"
#include "corvale/settings/registry_values.h"
#include "corvale/engine/print_server.h"

namespace corvale {

namespace {

constexpr char kWorkbenchKey[] = "Software\\IBM\\AFP Workbench\\Default\\Misc";
constexpr char kWorkbenchMachineKey[] = "SOFTWARE\\IBM\\AFP Workbench\\Default\\Misc";
constexpr char kUtilityName[] = "ftdwprt.exe";
constexpr char kWindowsProfileKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

}  // namespace

void PrintServer::DispatchTick() {
  int32_t total = 0;
  for (int n = 1; n <= settings_.SlotCount(); ++n) total += ledger_->JobsInFlight[n];
  if (total <= 0 || engine_.Dispatching) return;

  engine_.Dispatching = true;
  struct ClearDispatching {
    bool& flag;
    ~ClearDispatching() { flag = false; }
  } clear_dispatching{engine_.Dispatching};

  const uint64_t run = ledger_->RunGeneration;
  // A Stop handled during a wait frees the queues: the pass then takes no further job.
  auto serving = [&] { return engine_.Running && ledger_->RunGeneration == run; };

  for (int n = 1; n <= settings_.SlotCount() && serving(); ++n) {
    while (serving() && engine_.JobQueue[n] && !engine_.JobQueue[n]->empty()) {
      // While the print utility is not there (not installed yet, removed by an upgrade), every
      // job waits in its queue.
      const std::string program = LocatePrintUtility();
      if (!PrintUtilityThere(program)) return;
      const std::string printer = settings_.Printers[static_cast<size_t>(n - 1)];
      // A job is printed on its own printer or not at all: while that printer cannot be made
      // the default, the slot's jobs wait in their queue and the other slots' jobs go on.
      if (!PrinterReadyForSlot(n, printer)) break;

      TCTPQueueItem job = std::move(engine_.JobQueue[n]->front());
      engine_.JobQueue[n]->pop_front();
      const FinishAction action = settings_.Slots[n].DeleteInputFileWhenDone
                                      ? FinishAction::kDelete
                                      : FinishAction::kMoveToDoneFolder;
      const std::string path = job.JobStoreFolder + "\\" + job.FileName;
      try {
        ledger_->RunnerBusy = true;
        WriteLog("Printing " + path + " to " + printer + " ...", "JobStatus");
        PrintJob print{program, UtilityPathArgument(ShortPathOf(path), path) + "  /N /P",
                       path,    job.DoneFolder,
                       action,  n,
                       policy_, printer,
                       job.InputFolder, job.TakenAt};
        engine_.PrintingJob = path;
        TOpenFile::Start(ledger_, std::move(print));
      } catch (...) {
        engine_.PrintingJob.clear();
        // The job never reached a runner: it goes back to the head of its queue and is printed
        // by a later tick, once whatever failed works again.
        ledger_->RunnerBusy = false;
        if (serving() && engine_.JobQueue[n]) engine_.JobQueue[n]->push_front(std::move(job));
        throw;
      }
      WaitForRunner();
      engine_.PrintingJob.clear();
    }
  }
}

bool PrintServer::PrinterReadyForSlot(int n, const std::string& printer) {
  const std::string cause = "printer " + std::to_string(n);
  const DefaultPrinterSwitch result = SetWindowsDefaultPrinter(printer, /*synchronous=*/true);
  if (result == DefaultPrinterSwitch::kSwitched) {
    if (notices_.Has(cause)) {
      notices_.Clear(cause);
      WriteLog("Printer " + printer + " can be used again; its jobs print", "JobStatus");
    }
    throttle_.Forget(cause);
    return true;
  }
  const size_t waiting = engine_.JobQueue[n]->size();
  const std::string why = result == DefaultPrinterSwitch::kNotListed
                              ? "Printer " + printer + " is not listed"
                              : "Printer " + printer +
                                    " did not become the default printer (the default is " +
                                    platform_.printers.DefaultPrinter() + ")";
  notices_.Set(
      cause, why + "; " + std::to_string(waiting) + (waiting == 1 ? " job waits." : " jobs wait."));
  if (throttle_.Due(cause, platform_.clock.Ticks())) {
    WriteLog(why + "; its jobs wait in the queue and print once it can be used", "JobStatus");
  }
  return false;
}

bool PrintServer::PrintUtilityThere(const std::string& program) {
  constexpr char kCause[] = "print utility";
  if (platform_.files.FileExists(program)) {
    if (notices_.Has(kCause)) {
      notices_.Clear(kCause);
      WriteLog("The print utility " + program + " is there; the jobs that waited print",
               "JobStatus");
    }
    throttle_.Forget(kCause);
    return true;
  }
  notices_.Set(kCause, "The print utility " + program + " is not there; jobs wait until it is.");
  if (throttle_.Due(kCause, platform_.clock.Ticks())) {
    WriteLog("The print utility " + program +
                 " is not there; jobs wait in the queue and print once it is there",
             "JobStatus");
  }
  return false;
}

void PrintServer::WaitForRunner() {
  EventLoop& loop = platform_.loop;
  // An error from the events run meanwhile ends the pass only once the runner has released it,
  // so that no second print utility starts while this one runs. Closing, handled meanwhile,
  // ends the wait at once: the close itself waits for the runner, within its time limit.
  std::exception_ptr error;
  while (ledger_->RunnerBusy && !closing_) {
    try {
      loop.ProcessPendingEvents();
    } catch (...) {
      if (!error) error = std::current_exception();
    }
    if (ledger_->RunnerBusy && !closing_) loop.WaitForEvents();
  }
  if (error) std::rethrow_exception(error);
}

DefaultPrinterSwitch PrintServer::SetWindowsDefaultPrinter(const std::string& printer_name,
                                                           bool synchronous) {
  std::vector<PrinterDevice> devices = platform_.printers.DevicesNamed(printer_name);
  if (devices.empty()) return DefaultPrinterSwitch::kNotListed;
  // A listed printer that is the default already, as read back, needs no write and no
  // broadcast: the print utility started next reads the default afresh.
  if (synchronous && platform_.printers.DefaultPrinter() == printer_name)
    return DefaultPrinterSwitch::kSwitched;
  const PrinterDevice& device = devices.back();
  platform_.printers.WriteDefaultDevice(device.device + "," + device.driver + "," + device.port);
  platform_.printers.BroadcastWindowsSectionChange(synchronous);
  // Another program, or Windows itself, may keep a default of its own choosing.
  if (synchronous && platform_.printers.DefaultPrinter() != printer_name)
    return DefaultPrinterSwitch::kNotTaken;
  return DefaultPrinterSwitch::kSwitched;
}

void PrintServer::WarnWhenWindowsManagesTheDefaultPrinter() {
  // From Windows 10 on, Windows may make the printer used last the default by itself, unless
  // the user has turned that off; it could then take a job's printer away while the job prints.
  constexpr uint32_t kWindows10 = 10;
  if (platform_.system.WindowsMajorVersion() < kWindows10) return;
  auto key = platform_.registry.OpenKey(RegistryHive::kCurrentUser, kWindowsProfileKey, kKeyRead,
                                        /*create=*/false);
  std::optional<RegistryValue> legacy;
  if (key) legacy = key->GetValue("LegacyDefaultPrinterMode");
  if (legacy && legacy->kind == RegistryValueKind::kDword && legacy->number != 0) return;
  WriteLog(
      "Windows manages the default printer itself (\"Let Windows manage my default printer\" is "
      "on) and may change it while a job prints. Turn it off in Settings, Bluetooth & devices "
      "(Devices on Windows 10), Printers & scanners.",
      "General");
}

std::string PrintServer::LocatePrintUtility() {
  Registry& registry = platform_.registry;
  FileSystem& files = platform_.files;
  std::string candidate;
  if (auto key =
          registry.OpenKey(RegistryHive::kCurrentUser, kWorkbenchKey, kKeyAllAccess, false)) {
    std::string help;
    if (ReadString(*key, "HelpCurPath", help) && !help.empty())
      candidate = ExtractFileDir(help) + "\\" + kUtilityName;
    key->SetString("LOGOP", "TRUE");
  }
  if (candidate.empty() || !files.FileExists(candidate)) {
    if (auto key =
            registry.OpenKey(RegistryHive::kLocalMachine, kWorkbenchMachineKey, kKeyRead, false)) {
      std::string help;
      if (ReadString(*key, "HelpPath", help) && !help.empty())
        candidate = ExtractFileDir(help) + "\\" + kUtilityName;
    }
  }
  if (!candidate.empty() && files.FileExists(candidate)) return candidate;
  return engine_.RunningUnderWow64 ? "C:\\PROGRA~2\\IBM\\AFPWOR~1\\ftdwprt.exe"
                                   : "C:\\PROGRA~1\\IBM\\AFPWOR~1\\ftdwprt.exe";
}

std::string PrintServer::ShortPathOf(const std::string& path) {
  return platform_.files.ShortPath(path);
}

std::string UtilityPathArgument(const std::string& short_path, const std::string& path) {
  // Volumes without 8.3 names give no short form, or give the long path back unchanged.
  const std::string argument = short_path.empty() ? path : short_path;
  return argument.find(' ') == std::string::npos ? argument : "\"" + argument + "\"";
}

}  // namespace corvale
