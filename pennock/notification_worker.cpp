// The notification loop of one printer.
#include "pennock/notification_worker.h"

#include <string>

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

// A wait that fails at once would otherwise spin without pause.
constexpr std::uint32_t kFailedWaitPauseMs = 100;

}  // namespace

std::uint32_t NotificationWorker(WorkerRecord* param, const WorkerContext& context) {
  WorkerRecord& record = *param;
  Spooler& spooler = context.spooler;
  auto add = [&](std::string_view text) { context.log.AddActivityLine(text, record.Lock); };
  auto addTagged = [&](const std::string& text) { add("[T] " + text); };

  std::optional<PrinterId> printer = spooler.OpenNamedPrinter(record.Name);
  if (!printer) {
    addTagged(FormatLine("Openprinter() failed for \"%s\"", {record.Name}));
    record.Running = 0;
    return kWorkerOpenFailed;
  }
  addTagged(FormatLine("Openprinter() called successfully for \"%s\" [hPrinter = %8.8X]",
                       {record.Name, *printer}));

  ChangeId change =
      spooler.FindFirstPrinterChangeNotification(*printer, kPrinterChangeAll, 0, MonitorOptions);
  if (change == kInvalidChange) {
    add("[T] Invalid notification handle returned! (hNotify = INVALID_HANDLE_VALUE)");
    spooler.ClosePrinter(*printer);
    return kWorkerRegisterFailed;
  }
  addTagged(FormatLine("Starting notification loop [%s].", {record.Name}));

  std::uint32_t exitCode = 0;
  for (;;) {
    if (!spooler.WaitForChange(change)) {
      context.system.Sleep(kFailedWaitPauseMs);
      continue;
    }
    if (record.Name != kFollowedPrinter) break;

    add("");
    addTagged(FormatLine("----->>> Event triggered at [%s]: [%s]",
                         {TimestampNow(context.system), record.Name}));
    NotifyFetch fetch = spooler.FindNextPrinterChangeNotification(change, MonitorOptions);
    if (!fetch.Succeeded) {
      add("[T] No next notification handle: FindNextPrinterChangeNotification() = FALSE");
      exitCode = kWorkerFetchFailed;
      continue;
    }
    if (fetch.Info && (fetch.Info->Flags & kNotifyInfoDiscarded) != 0) {
      add("[T] Trying to get get notification again due to too small buffer "
          "(PRINTER_NOTIFY_INFO_DISCARDED).");
      NotifyOptions refresh = MonitorOptions;
      refresh.Flags |= kNotifyOptionsRefresh;
      fetch = spooler.FindNextPrinterChangeNotification(change, refresh);
    }
    if (!fetch.Info) continue;
    for (const NotifyInfoData& entry : fetch.Info->Data) {
      if (std::optional<std::string> text = DecodeNotifyEntry(entry)) addTagged(*text);
    }
  }

  spooler.FindClosePrinterChangeNotification(change);
  spooler.ClosePrinter(*printer);
  record.Running = 0;
  return exitCode;
}

}  // namespace pennock
