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
#include "corvale/ui/server_main_unit.h"

namespace corvale {

namespace {

constexpr char kWorkbenchKey[] = "Software\\IBM\\AFP Workbench\\Default\\Misc";
constexpr char kWorkbenchMachineKey[] = "SOFTWARE\\IBM\\AFP Workbench\\Default\\Misc";
constexpr char kUtilityName[] = "ftdwprt.exe";
constexpr char kWindowsProfileKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

}  // namespace

void TForm1::Timer2Timer() {
  int32_t total = 0;
  for (int n = 1; n <= Engine.SlotCount; ++n) total += Engine.JobsInFlight[n];
  if (total <= 0 || Engine.Dispatching) return;

  Engine.Dispatching = true;
  struct ClearDispatching {
    bool& flag;
    ~ClearDispatching() { flag = false; }
  } clear_dispatching{Engine.Dispatching};

  const uint64_t run = Engine.RunGeneration;
  // A Stop handled during a wait frees the queues: the pass then takes no further job.
  auto serving = [&] { return Engine.Running && Engine.RunGeneration == run; };

  for (int n = 1; n <= Engine.SlotCount && serving(); ++n) {
    while (serving() && Engine.JobQueue[n] && !Engine.JobQueue[n]->empty()) {
      const std::string printer = cmbPrinter.Items()[static_cast<size_t>(n - 1)];
      // A job is printed on its own printer or not at all: while that printer cannot be made
      // the default, the slot's jobs wait in their queue and the other slots' jobs go on.
      if (!PrinterReadyForSlot(n, printer)) break;

      TCTPQueueItem job = std::move(Engine.JobQueue[n]->front());
      Engine.JobQueue[n]->pop_front();
      const std::string action =
          Engine.Slots[n].DeleteInputFileWhenDone ? "DeleteFile" : "MoveFile";
      const std::string path = job.JobStoreFolder + "\\" + job.FileName;
      try {
        Engine.RunnerBusy = true;
        WriteLog("Printing " + path + " to " + printer + " ...", "JobStatus");
        PrintJob print{LocatePrintUtility(),
                       UtilityPathArgument(ShortPathOf(path), path) + "  /N /P",
                       path,
                       job.DoneFolder,
                       action,
                       n,
                       Policy};
        TOpenFile::Start(*this, std::move(print));
      } catch (...) {
        // The job never reached a runner: it goes back to the head of its queue and is printed
        // by a later tick, once whatever failed works again.
        Engine.RunnerBusy = false;
        if (serving() && Engine.JobQueue[n]) Engine.JobQueue[n]->push_front(std::move(job));
        throw;
      }
      WaitForRunner();
    }
  }
}

bool TForm1::PrinterReadyForSlot(int n, const std::string& printer) {
  const std::string cause = "printer " + std::to_string(n);
  const DefaultPrinterSwitch result = SetWindowsDefaultPrinter(printer, /*synchronous=*/true);
  if (result == DefaultPrinterSwitch::kSwitched) {
    if (Notices.Has(cause)) {
      Notices.Clear(cause);
      WriteLog("Printer " + printer + " can be used again; its jobs print", "JobStatus");
    }
    Throttle.Forget(cause);
    return true;
  }
  const size_t waiting = Engine.JobQueue[n]->size();
  const std::string why = result == DefaultPrinterSwitch::kNotListed
                              ? "Printer " + printer + " is not listed"
                              : "Printer " + printer +
                                    " did not become the default printer (the default is " +
                                    platform_.printers.DefaultPrinter() + ")";
  Notices.Set(
      cause, why + "; " + std::to_string(waiting) + (waiting == 1 ? " job waits." : " jobs wait."));
  if (Throttle.Due(cause, platform_.clock.NowUtcFileTime())) {
    WriteLog(why + "; its jobs wait in the queue and print once it can be used", "JobStatus");
  }
  return false;
}

void TForm1::WaitForRunner() {
  EventLoop& loop = platform_.loop;
  // An error from the events run meanwhile ends the pass only once the runner has released it,
  // so that no second print utility starts while this one runs.
  std::exception_ptr error;
  while (Engine.RunnerBusy) {
    try {
      loop.ProcessPendingEvents();
    } catch (...) {
      if (!error) error = std::current_exception();
    }
    if (Engine.RunnerBusy) loop.WaitForEvents();
  }
  if (error) std::rethrow_exception(error);
}

DefaultPrinterSwitch TForm1::SetWindowsDefaultPrinter(const std::string& printer_name,
                                                      bool synchronous) {
  std::vector<PrinterDevice> devices = platform_.printers.DevicesNamed(printer_name);
  if (devices.empty()) return DefaultPrinterSwitch::kNotListed;
  const PrinterDevice& device = devices.back();
  platform_.printers.WriteDefaultDevice(device.device + "," + device.driver + "," + device.port);
  platform_.printers.BroadcastWindowsSectionChange(synchronous);
  // Another program, or Windows itself, may keep a default of its own choosing.
  if (synchronous && platform_.printers.DefaultPrinter() != printer_name)
    return DefaultPrinterSwitch::kNotTaken;
  return DefaultPrinterSwitch::kSwitched;
}

void TForm1::WarnWhenWindowsManagesTheDefaultPrinter() {
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

std::string TForm1::LocatePrintUtility() {
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
  return Engine.RunningUnderWow64 ? "C:\\PROGRA~2\\IBM\\AFPWOR~1\\ftdwprt.exe"
                                  : "C:\\PROGRA~1\\IBM\\AFPWOR~1\\ftdwprt.exe";
}

std::string TForm1::ShortPathOf(const std::string& path) {
  return platform_.files.ShortPath(path);
}

std::string UtilityPathArgument(const std::string& short_path, const std::string& path) {
  // Volumes without 8.3 names give no short form, or give the long path back unchanged.
  const std::string argument = short_path.empty() ? path : short_path;
  return argument.find(' ') == std::string::npos ? argument : "\"" + argument + "\"";
}

}  // namespace corvale
