// The notification loop of one printer.
#include "pennock/notification_worker.h"

#include <string>
#include <string_view>

#include "pennock/format_line.h"
#include "pennock/notification_threads.h"
#include "pennock/notify_decoder.h"

namespace pennock {

const NotifyOptions MonitorOptions = {
    2,
    kNotifyOptionsRefresh,
    {
        {kJobNotifyType, 0, 0, 0, {0, 1, 10, 13, 3, 20, 21, 16}},
        {kPrinterNotifyType, 0, 0, 0, {18, 20, 1, 0, 2}},
    },
};

namespace {

struct Registration {
  PrinterId printer = 0;
  ChangeId change = kInvalidChange;
};

// One worker's run on its own thread.
class Worker {
 public:
  Worker(WorkerRecord& record, const WorkerContext& context)
      : record_(record), context_(context), spooler_(context.spooler) {}

  std::uint32_t Run() {
    std::optional<PrinterId> printer = spooler_.OpenNamedPrinter(record_.Name);
    if (!printer) {
      AddTagged(FormatLine("Openprinter() failed for \"%s\"", {record_.Name}));
      record_.Running = 0;
      return kWorkerOpenFailed;
    }
    AddTagged(FormatLine("Openprinter() called successfully for \"%s\" [hPrinter = %8.8X]",
                         {record_.Name, *printer}));
    Registration registration{*printer, Register(*printer)};
    if (registration.change == kInvalidChange) {
      Add("[T] Invalid notification handle returned! (hNotify = INVALID_HANDLE_VALUE)");
      spooler_.ClosePrinter(*printer);
      return kWorkerRegisterFailed;
    }
    AddStartingLine();

    std::uint32_t exit_code = 0;
    std::uint32_t failed_waits = 0;
    for (;;) {
      if (!spooler_.WaitForChange(registration.change)) {
        if (++failed_waits < kFailedWaitsBeforeRegisteringAgain) {
          context_.system.Sleep(kFailedWaitPauseMs);
          continue;
        }
        AddTagged(FormatLine("Notification wait failed %d times in a row; registering again [%s].",
                             {failed_waits, record_.Name}));
        spooler_.FindClosePrinterChangeNotification(registration.change);
        spooler_.ClosePrinter(registration.printer);
        registration = RegisterAgain();
        failed_waits = 0;
        continue;
      }
      failed_waits = 0;
      if (record_.Name != kFollowedPrinter) break;
      if (!LogChange(registration.change)) exit_code = kWorkerFetchFailed;
    }

    spooler_.FindClosePrinterChangeNotification(registration.change);
    spooler_.ClosePrinter(registration.printer);
    record_.Running = 0;
    return exit_code;
  }

 private:
  void Add(std::string_view text) { context_.log.AddActivityLine(text, record_.Lock); }
  void AddTagged(const std::string& text) { Add("[T] " + text); }
  void AddStartingLine() {
    AddTagged(FormatLine("Starting notification loop [%s].", {record_.Name}));
  }

  ChangeId Register(PrinterId printer) {
    return spooler_.FindFirstPrinterChangeNotification(printer, kPrinterChangeAll, 0,
                                                       MonitorOptions);
  }

  // Opens the printer and registers for its changes, a try a minute with one line for each
  // failed one, until both succeed.
  Registration RegisterAgain() {
    for (;;) {
      if (std::optional<PrinterId> printer = spooler_.OpenNamedPrinter(record_.Name)) {
        ChangeId change = Register(*printer);
        if (change != kInvalidChange) {
          AddStartingLine();
          return Registration{*printer, change};
        }
        spooler_.ClosePrinter(*printer);
        AddTagged(FormatLine(
            "Registering again failed (invalid notification handle for \"%s\"); next try in a "
            "minute.",
            {record_.Name}));
      } else {
        AddTagged(FormatLine(
            "Registering again failed (Openprinter() failed for \"%s\"); next try in a minute.",
            {record_.Name}));
      }
      context_.system.Sleep(kRegisterAgainPauseMs);
    }
  }

  // One event block; false when the fetch failed.
  bool LogChange(ChangeId change) {
    Add("");
    AddTagged(FormatLine("----->>> Event triggered at [%s]: [%s]",
                         {TimestampNow(context_.system), record_.Name}));
    NotifyFetch fetch = spooler_.FindNextPrinterChangeNotification(change, MonitorOptions);
    if (!fetch.Succeeded) {
      Add("[T] No next notification handle: FindNextPrinterChangeNotification() = FALSE");
      return false;
    }
    if (fetch.Info && (fetch.Info->Flags & kNotifyInfoDiscarded) != 0) {
      Add("[T] Trying to get get notification again due to too small buffer "
          "(PRINTER_NOTIFY_INFO_DISCARDED).");
      NotifyOptions refresh = MonitorOptions;
      refresh.Flags |= kNotifyOptionsRefresh;
      fetch = spooler_.FindNextPrinterChangeNotification(change, refresh);
    }
    if (!fetch.Info) return true;
    for (const NotifyInfoData& entry : fetch.Info->Data) {
      if (std::optional<std::string> text = DecodeNotifyEntry(entry)) AddTagged(*text);
    }
    return true;
  }

  WorkerRecord& record_;
  const WorkerContext& context_;
  Spooler& spooler_;
};

}  // namespace

std::uint32_t NotificationWorker(WorkerRecord* param, const WorkerContext& context) {
  return Worker(*param, context).Run();
}

}  // namespace pennock
