// InitNotificationThreads and FInitnotificationThreads.
#include "pennock/notification_threads.h"

#include <exception>
#include <new>
#include <optional>

#include "pennock/format_line.h"
#include "pennock/notification_worker.h"

namespace pennock {
namespace {

constexpr std::uint32_t kAllBits = 0xFFFFFFFF;
constexpr std::uint32_t kTerminatedExitCode = 0;
// How long finalisation waits for a worker to enter its body before terminating it, and for a
// terminated worker to be gone before its record is released.
constexpr std::uint32_t kWorkerEntryTimeoutMs = 5000;
constexpr std::uint32_t kWorkerEndTimeoutMs = 5000;
// The run-time's pending input/output error number: start-up does no such I/O, so none is
// ever pending when it reports a failure.
constexpr int kNoPendingIoError = 0;

}  // namespace

std::string LogNameOf(std::string_view name) {
  std::string logName(name);
  for (char& c : logName) {
    if (c == ' ') c = '_';
  }
  return logName + ".log";
}

NotificationThreads::NotificationThreads(Platform& platform, ActivityLog& log)
    : platform_(platform), log_(log) {}

NotificationThreads::~NotificationThreads() = default;

bool NotificationThreads::InitNotificationThreads() {
  Add(kSeparatorLine);
  Add("Starting initialisation.");
  Add("Initialising critical section ...");
  lock_ = platform_.threads.CreateCriticalSection();

  Add("Getting needed buffer size for printer information (PRINTER_INFO_4).");
  PrinterListSize size = platform_.spooler.LocalPrintersSize();
  bool result = false;
  if (!size.Succeeded) {
    try {
      Add(FormatLine("Required size is: %d Bytes", {size.Needed}));
      PrinterList list = platform_.spooler.ReadLocalPrinters(size.Needed);
      std::uint32_t count = 0;
      if (list.BufferObtained) {
        if (!list.Succeeded) {
          Add(FormatLine(
              "Something went wrong during enumeration of the Printers (GetLastError: %X)",
              {list.Error}));
          return false;
        }
        Add("Enumerated the printers successfully!");
        count = list.Count;
      }

      if (count > 0) threadBuffer_.reset(new (std::nothrow) WorkerRecord[count]);
      if (threadBuffer_) {
        Add(FormatLine("Got required amount of memory for ThreadBuffer. (%d Bytes)",
                       {count * kReportedRecordSize}));
      } else {
        Add("Failed to get required amount of memory for ThreadBuffer.");
      }
      Add("");
      Add("Copying the following names:");
      if (!threadBuffer_) return false;

      for (std::uint32_t i = 0; i < count; ++i) {
        WorkerRecord& record = threadBuffer_[i];
        record.Count = static_cast<std::int32_t>(count);
        record.Param = &record;
        const std::optional<std::string>* name = i < list.Names.size() ? &list.Names[i] : nullptr;
        if (!name || !name->has_value()) {
          Add("An exception occured while reading PRINTER_INFO_4 into ThreadBuffer. Catched.");
          continue;
        }
        record.Name = **name;
        record.NameLength = static_cast<std::int32_t>(record.Name.size() + 1);
        Add(FormatLine("%2.2d. %s", {i + 1, record.Name}));
      }
      list = PrinterList();

      StartWorkers();
      result = true;
    } catch (const std::exception&) {
      Add(FormatLine("Handled some exception %d", {kNoPendingIoError}));
    }
  }
  Add("Finished initialisation.");
  Add(kSeparatorLine);
  Add("");
  return result;
}

void NotificationThreads::StartWorkers() {
  WorkerContext context{platform_.spooler, log_, platform_.system};
  for (std::int32_t i = 0; i < threadBuffer_[0].Count; ++i) {
    WorkerRecord& record = threadBuffer_[i];
    record.LogName = LogNameOf(record.Name);
    record.LogNameLength = static_cast<std::int32_t>(record.LogName.size() + 1);
    Add(FormatLine("Output will be written to: \"%s\"", {record.LogName}));

    record.Lock = lock_.get();
    record.ThreadHandle = kAllBits;
    // Marked running before the start, so that a worker that ends at once is not marked
    // running again afterwards.
    record.Running = -1;
    StartedThread thread = platform_.threads.CreateThread(
        [context, param = record.Param] { return NotificationWorker(param, context); });
    record.ThreadHandle = thread.Handle;
    record.ThreadID = thread.Id;
    if (thread.Handle != 0) {
      Add(FormatLine("Started thread successfully [%s]\r\n-> Threadhandle = %8.8X",
                     {record.Name, thread.Handle}));
    } else {
      record.Running = 0;
      Add(FormatLine("Thread could not be started [%s]\r\n-> GetLastError = %d",
                     {record.Name, thread.Error}));
    }
  }
}

bool NotificationThreads::FInitnotificationThreads() {
  Add(kSeparatorLine);
  Add("Starting finalisation.");
  bool result = false;
  if (threadBuffer_) {
    std::int32_t count = threadBuffer_[0].Count;
    for (std::int32_t i = 0; i < count; ++i) {
      const WorkerRecord& record = threadBuffer_[i];
      // A worker created a moment ago may still be inside its thread's start-up.
      platform_.threads.WaitUntilEntered(record.ThreadHandle, kWorkerEntryTimeoutMs);
      if (platform_.threads.TerminateThread(record.ThreadHandle, kTerminatedExitCode)) {
        result = i == count - 1;
      } else {
        Add(FormatLine("Could not terminate thread number %d [ThreadID = %8.8X]",
                       {i + 1, record.ThreadID}));
      }
      // Termination completes asynchronously; the record must outlive its worker.
      platform_.threads.ReleaseThread(record.ThreadHandle, kWorkerEndTimeoutMs);
    }
  }
  threadBuffer_.reset();
  lock_.reset();
  Add("Finished finalisation.");
  Add(kSeparatorLine);
  return result;
}

}  // namespace pennock
