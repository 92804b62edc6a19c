// Dispatch: the dispatch tick prints the queued jobs one at a time, slot by slot, each after
// making the slot's printer the Windows default printer.
#include <exception>

#include "common/text.h"
#include "corvale/engine/job_runner.h"
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
      TCTPQueueItem job = std::move(Engine.JobQueue[n]->front());
      Engine.JobQueue[n]->pop_front();
      const std::string action =
          Engine.Slots[n].DeleteInputFileWhenDone ? "DeleteFile" : "MoveFile";
      const std::string path = job.JobStoreFolder + "\\" + job.FileName;
      const std::string printer = cmbPrinter.Items()[static_cast<size_t>(n - 1)];
      try {
        SetWindowsDefaultPrinter(printer, /*synchronous=*/true);
        Engine.RunnerBusy = true;
        WriteLog("Printing " + path + " to " + printer + " ...", "JobStatus");
        // Without a short form the utility still gets the file, by its full path in quotes.
        const std::string short_path = ShortPathOf(path);
        const std::string parameters =
            (short_path.empty() ? "\"" + path + "\"" : short_path) + "  /N /P";
        const std::string program = LocatePrintUtility();
        TOpenFile::Start(*this, program, parameters, path, job.DoneFolder, action, n);
      } catch (...) {
        // The job never reached a runner: it goes back to the head of its queue and is printed
        // by a later tick, once whatever failed (a log that cannot be written) works again.
        Engine.RunnerBusy = false;
        if (serving() && Engine.JobQueue[n]) Engine.JobQueue[n]->push_front(std::move(job));
        throw;
      }
      WaitForRunner();
    }
  }
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

void TForm1::SetWindowsDefaultPrinter(const std::string& printer_name, bool synchronous) {
  std::vector<PrinterDevice> devices = platform_.printers.DevicesNamed(printer_name);
  // A printer that is no longer listed leaves the default printer as it is.
  if (devices.empty()) return;
  const PrinterDevice& device = devices.back();
  platform_.printers.WriteDefaultDevice(device.device + "," + device.driver + "," + device.port);
  platform_.printers.BroadcastWindowsSectionChange(synchronous);
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

}  // namespace corvale
