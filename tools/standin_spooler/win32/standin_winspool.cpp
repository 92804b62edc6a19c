// winspool.drv of the stand-in spooler: the seven spooler functions pennock.exe imports. It lists
// the printers of the script named by STANDIN_SPOOLER_SCRIPT, plays their changes as Windows
// documents PRINTER_NOTIFY_INFO, and appends one line per call to the file named by
// STANDIN_SPOOLER_RECORD. Loaded only into a program under test that sits beside it, with
// WINEDLLOVERRIDES="winspool.drv=n"; never installed, never shipped.
#include "common/win32/windows_support.h"

#include <winspool.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/text.h"
#include "common/text_encoding.h"
#include "tools/standin_spooler/record_text.h"
#include "tools/standin_spooler/win32/notify_info_block.h"
#include "tools/standin_spooler/spooler_play.h"
#include "tools/standin_spooler/spooler_script.h"

namespace {

using namespace standin_spooler;

constexpr DWORD kRestartError = RPC_S_SERVER_UNAVAILABLE;
constexpr DWORD kFetchError = ERROR_GEN_FAILURE;
// How many handles may be taken to get the slot of a stopped change handle back.
constexpr int kParkingTries = 4096;

class Lock {
 public:
  explicit Lock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
  ~Lock() { LeaveCriticalSection(&section_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  CRITICAL_SECTION& section_;
};

std::wstring Environment(const wchar_t* name) {
  wchar_t value[1024] = {};
  DWORD length = GetEnvironmentVariableW(name, value, 1024);
  return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
  varnell::win32::ScopedFileHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return std::nullopt;
  std::string bytes;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr) && got > 0) {
    bytes.append(chunk, got);
  }
  return bytes;
}

std::string AnsiOf(const std::string& utf8) {
  std::u16string wide = varnell::Utf8ToUtf16(utf8);
  const auto* text = reinterpret_cast<const wchar_t*>(wide.c_str());
  int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(std::max(length, 1)), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, ansi.data(), length, nullptr, nullptr);
  ansi.resize(ansi.size() - 1);
  return ansi;
}

std::optional<RequestedOptions> OptionsOf(const void* pointer) {
  if (pointer == nullptr) return std::nullopt;
  const auto& options = *static_cast<const PRINTER_NOTIFY_OPTIONS*>(pointer);
  RequestedOptions requested{options.Version, options.Flags, {}};
  for (DWORD i = 0; i < options.Count && options.pTypes; ++i) {
    const PRINTER_NOTIFY_OPTIONS_TYPE& type = options.pTypes[i];
    RequestedType copy{type.Type, {}};
    if (type.pFields) copy.fields.assign(type.pFields, type.pFields + type.Count);
    requested.types.push_back(std::move(copy));
  }
  return requested;
}

class StandInSpooler {
 public:
  // Made on the first call and kept to the end of the process: threads that the program
  // terminates may still hold its lock.
  static StandInSpooler& Get() {
    static StandInSpooler* spooler = new StandInSpooler();
    return *spooler;
  }

  BOOL EnumPrinters(DWORD flags, const char* name, DWORD level, BYTE* buffer, DWORD size,
                    DWORD* needed, DWORD* returned);
  BOOL Open(const char* name, HANDLE* printer, const void* defaults);
  BOOL ClosePrinter(HANDLE printer);
  HANDLE FindFirst(HANDLE printer, DWORD filter, DWORD options, const void* notify);
  BOOL FindNext(HANDLE change, DWORD* change_flags, const void* notify, void** info);
  BOOL Free(PRINTER_NOTIFY_INFO* info);
  BOOL FindClose(HANDLE change);

 private:
  struct Opened {
    std::size_t printer = 0;
  };
  struct Change {
    std::size_t printer = 0;
    Opened* opened = nullptr;
    HANDLE event = nullptr;
    bool stopped = false;
    HANDLE parked = nullptr;  // holds the stopped handle's slot: waits on it fail
  };
  struct Handed {
    std::size_t printer = 0;
    int number = 0;
  };

  StandInSpooler();
  std::uint64_t Now() const { return GetTickCount64() - start_; }
  const std::string& NameOf(std::size_t printer) const { return play_.Printers()[printer].name; }
  void Record(const std::string& line);
  void Stop(Change& change);
  void Wake() { SetEvent(wake_.Get()); }
  static DWORD WINAPI PumpThread(void* self);
  void Pump();

  CRITICAL_SECTION lock_;
  std::uint64_t start_ = GetTickCount64();
  std::wstring record_path_ = Environment(L"STANDIN_SPOOLER_RECORD");
  SpoolerPlay play_{SpoolerScript{}};
  std::vector<std::string> ansi_names_;
  std::set<Opened*> opened_;
  std::map<HANDLE, Change> changes_;
  std::map<PRINTER_NOTIFY_INFO*, Handed> infos_;
  int infos_handed_ = 0;
  varnell::win32::ScopedKernelHandle wake_{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  // Duplicated without SYNCHRONIZE into the slot of a stopped change handle.
  varnell::win32::ScopedKernelHandle park_source_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

StandInSpooler::StandInSpooler() {
  InitializeCriticalSection(&lock_);
  Lock lock(lock_);
  const std::wstring script_path = Environment(L"STANDIN_SPOOLER_SCRIPT");
  std::optional<std::string> script = ReadWholeFile(script_path);
  if (!script) {
    Record("FAULT: STANDIN_SPOOLER_SCRIPT names no readable script");
  } else {
    try {
      play_ = SpoolerPlay(ParseSpoolerScript(*script));
    } catch (const ScriptError& error) {
      Record(std::string("FAULT: script ") + error.what());
    }
  }
  for (const ScriptPrinter& printer : play_.Printers()) ansi_names_.push_back(AnsiOf(printer.name));
  Record("loaded: " + std::to_string(ansi_names_.size()) + " printers");
  CloseHandle(CreateThread(nullptr, 0, &PumpThread, this, 0, nullptr));
}

void StandInSpooler::Record(const std::string& line) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%08llu ", static_cast<unsigned long long>(Now()));
  const std::string text = stamp + line + "\n";
  if (record_path_.empty()) {
    OutputDebugStringA(text.c_str());
    return;
  }
  varnell::win32::ScopedFileHandle file(CreateFileW(record_path_.c_str(), FILE_APPEND_DATA,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                    OPEN_ALWAYS, 0, nullptr));
  DWORD written = 0;
  if (file) WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

BOOL StandInSpooler::EnumPrinters(DWORD flags, const char* name, DWORD level, BYTE* buffer,
                                  DWORD size, DWORD* needed, DWORD* returned) {
  Lock lock(lock_);
  std::string call = "EnumPrintersA flags=" + std::to_string(flags) +
                     " name=" + (name ? Quoted(name) : "none") + " level=" + std::to_string(level) +
                     " buffer=" + std::to_string(buffer ? size : 0);
  if (needed == nullptr || returned == nullptr || level != 4) {
    Record(call + " -> FALSE error=" + std::to_string(ERROR_INVALID_LEVEL));
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  const bool listing = (flags & PRINTER_ENUM_LOCAL) != 0 && name == nullptr;
  const std::size_t count = listing ? ansi_names_.size() : 0;
  std::size_t bytes = count * sizeof(PRINTER_INFO_4A);
  for (std::size_t i = 0; i < count; ++i) bytes += ansi_names_[i].size() + 1;
  *returned = 0;
  *needed = static_cast<DWORD>(bytes);
  if (bytes > 0 && (buffer == nullptr || size < bytes)) {
    Record(call + " -> FALSE needed=" + std::to_string(bytes) +
           " error=" + std::to_string(ERROR_INSUFFICIENT_BUFFER));
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  // The names go at the end of the buffer, after the entries, as the spooler places them.
  auto* entries = reinterpret_cast<PRINTER_INFO_4A*>(buffer);
  char* text = reinterpret_cast<char*>(buffer) + bytes;
  for (std::size_t i = 0; i < count; ++i) {
    text -= ansi_names_[i].size() + 1;
    std::memcpy(text, ansi_names_[i].c_str(), ansi_names_[i].size() + 1);
    entries[i].pPrinterName = text;
    entries[i].pServerName = nullptr;
    entries[i].Attributes = PRINTER_ATTRIBUTE_LOCAL;
  }
  *returned = static_cast<DWORD>(count);
  Record(call + " -> TRUE count=" + std::to_string(count));
  return TRUE;
}

BOOL StandInSpooler::Open(const char* name, HANDLE* printer, const void* defaults) {
  Lock lock(lock_);
  std::string call = std::string("OpenPrinterA ") + (name ? Quoted(name) : "none") +
                     " defaults=" + (defaults ? "given" : "none");
  std::optional<std::size_t> found;
  for (std::size_t i = 0; name && !found && i < ansi_names_.size(); ++i) {
    if (varnell::EqualsIgnoreCase(ansi_names_[i], name)) found = i;
  }
  DWORD error = 0;
  if (!found || printer == nullptr) {
    error = ERROR_INVALID_PRINTER_NAME;
  } else if (!play_.CanOpen(*found, Now())) {
    error = play_.Printers()[*found].open_fails ? ERROR_ACCESS_DENIED : kRestartError;
  }
  if (error != 0) {
    Record(call + " -> FALSE error=" + std::to_string(error));
    SetLastError(error);
    return FALSE;
  }
  auto* opened = new Opened{*found};
  opened_.insert(opened);
  *printer = opened;
  Record(call + " -> TRUE");
  return TRUE;
}

BOOL StandInSpooler::ClosePrinter(HANDLE printer) {
  Lock lock(lock_);
  auto* opened = static_cast<Opened*>(printer);
  if (opened_.count(opened) == 0) {
    Record("ClosePrinter FAULT: not a printer handle of this spooler");
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::string call = "ClosePrinter " + Quoted(NameOf(opened->printer));
  for (const auto& [handle, change] : changes_) {
    if (change.opened == opened) call += " FAULT: its change registration is still open";
  }
  opened_.erase(opened);
  delete opened;
  Record(call + " -> TRUE");
  return TRUE;
}

HANDLE StandInSpooler::FindFirst(HANDLE printer, DWORD filter, DWORD options, const void* notify) {
  Lock lock(lock_);
  auto* opened = static_cast<Opened*>(printer);
  if (opened_.count(opened) == 0) {
    Record("FindFirstPrinterChangeNotification FAULT: not a printer handle of this spooler");
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_HANDLE_VALUE;
  }
  char numbers[64];
  std::snprintf(numbers, sizeof numbers,
                " filter=%08lX options=%lu notify=", static_cast<unsigned long>(filter),
                static_cast<unsigned long>(options));
  const std::string call = "FindFirstPrinterChangeNotification " + Quoted(NameOf(opened->printer)) +
                           numbers + OptionsText(OptionsOf(notify));
  if (play_.Registered(opened->printer)) {
    Record(call + " -> INVALID_HANDLE_VALUE FAULT: the printer is registered already");
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (!play_.Register(opened->printer, Now())) {
    Record(call + " -> INVALID_HANDLE_VALUE");
    SetLastError(kRestartError);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  changes_[event] = Change{opened->printer, opened, event, false, nullptr};
  Record(call + " -> change handle");
  Wake();
  return event;
}

// The change handle stops working, as when the spooler goes away: it is closed, and its slot is
// taken at once by a handle without the right to wait on it, so that every wait on the old value
// fails and no other object of the process can turn up under it.
void StandInSpooler::Stop(Change& change) {
  const HANDLE stopped = change.event;
  CloseHandle(stopped);
  change.stopped = true;
  std::vector<HANDLE> others;
  for (int i = 0; i < kParkingTries && change.parked == nullptr; ++i) {
    HANDLE parked = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), park_source_.Get(), GetCurrentProcess(), &parked,
                         EVENT_MODIFY_STATE, FALSE, 0)) {
      break;
    }
    if (parked == stopped) {
      change.parked = parked;
    } else {
      others.push_back(parked);
    }
  }
  for (HANDLE other : others) CloseHandle(other);
  if (change.parked == nullptr) {
    Record("FAULT: the stopped change handle of " + Quoted(NameOf(change.printer)) +
           " could not be held");
  }
}

BOOL StandInSpooler::FindNext(HANDLE handle, DWORD* change_flags, const void* notify, void** info) {
  Lock lock(lock_);
  auto found = changes_.find(handle);
  if (found == changes_.end()) {
    Record("FindNextPrinterChangeNotification FAULT: not a change handle of this spooler");
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Change& change = found->second;
  const std::string call = "FindNextPrinterChangeNotification " + Quoted(NameOf(change.printer)) +
                           " notify=" + OptionsText(OptionsOf(notify));
  if (info) *info = nullptr;
  if (change_flags) *change_flags = 0;
  if (change.stopped) {
    Record(call + " -> FALSE (the change handle stopped working)");
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  ResetEvent(change.event);
  const FetchAnswer answer = play_.Fetch(change.printer, Now());
  Wake();
  if (answer.stops_registration) Stop(change);
  if (answer.kind == FetchKind::kFails) {
    Record(call + " -> " + FetchText(answer, 0));
    SetLastError(answer.stops_registration ? kRestartError : kFetchError);
    return FALSE;
  }
  if (answer.kind == FetchKind::kNoInfo) {
    Record(call + " -> " + FetchText(answer, 0));
    return TRUE;
  }
  static const ScriptFetch kNothing;
  const ScriptFetch& fetch = answer.kind == FetchKind::kInfo ? *answer.fetch : kNothing;
  if (change_flags) *change_flags = ChangeFlagsOf(fetch);
  PRINTER_NOTIFY_INFO* block = info ? BuildInfo(fetch) : nullptr;
  const int number = block ? ++infos_handed_ : 0;
  Record(call + " -> " + FetchText(answer, number) + (info ? "" : " (no place for information)"));
  if (block) {
    infos_[block] = Handed{change.printer, number};
    *info = block;
  }
  return TRUE;
}

BOOL StandInSpooler::Free(PRINTER_NOTIFY_INFO* info) {
  Lock lock(lock_);
  auto found = infos_.find(info);
  if (found == infos_.end()) {
    Record("FreePrinterNotifyInfo FAULT: not information of this spooler, or freed already");
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Record("FreePrinterNotifyInfo " + Quoted(NameOf(found->second.printer)) + " #" +
         std::to_string(found->second.number) + " -> TRUE");
  infos_.erase(found);
  HeapFree(GetProcessHeap(), 0, info);
  return TRUE;
}

BOOL StandInSpooler::FindClose(HANDLE handle) {
  Lock lock(lock_);
  auto found = changes_.find(handle);
  if (found == changes_.end()) {
    Record("FindClosePrinterChangeNotification FAULT: not a change handle of this spooler");
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Change& change = found->second;
  std::string call = "FindClosePrinterChangeNotification " + Quoted(NameOf(change.printer));
  if (change.stopped) {
    if (change.parked) CloseHandle(change.parked);
    call += " (stopped)";
  } else {
    CloseHandle(change.event);
    play_.Unregister(change.printer);
  }
  changes_.erase(found);
  Record(call + " -> TRUE");
  Wake();
  return TRUE;
}

DWORD WINAPI StandInSpooler::PumpThread(void* self) {
  static_cast<StandInSpooler*>(self)->Pump();
  return 0;
}

// Signals each registered printer's change when it is due.
void StandInSpooler::Pump() {
  for (;;) {
    DWORD timeout = INFINITE;
    {
      Lock lock(lock_);
      const std::uint64_t now = Now();
      for (std::size_t printer : play_.SignalDue(now)) {
        for (auto& [handle, change] : changes_) {
          if (change.printer == printer && !change.stopped) SetEvent(change.event);
        }
        Record("signal " + Quoted(NameOf(printer)));
      }
      if (std::optional<std::uint64_t> due = play_.NextDue()) {
        timeout = static_cast<DWORD>(*due > now ? *due - now : 0);
      }
    }
    WaitForSingleObject(wake_.Get(), timeout);
  }
}

}  // namespace

extern "C" {

BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                          LPDWORD pcbNeeded, LPDWORD pcReturned) {
  return StandInSpooler::Get().EnumPrinters(Flags, Name, Level, pPrinterEnum, cbBuf, pcbNeeded,
                                            pcReturned);
}

BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA pDefault) {
  return StandInSpooler::Get().Open(pPrinterName, phPrinter, pDefault);
}

BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
  return StandInSpooler::Get().ClosePrinter(hPrinter);
}

HANDLE WINAPI FindFirstPrinterChangeNotification(HANDLE hPrinter, DWORD fdwFlags, DWORD fdwOptions,
                                                 LPVOID pPrinterNotifyOptions) {
  return StandInSpooler::Get().FindFirst(hPrinter, fdwFlags, fdwOptions, pPrinterNotifyOptions);
}

BOOL WINAPI FindNextPrinterChangeNotification(HANDLE hChange, PDWORD pdwChange,
                                              LPVOID pPrinterNotifyOptions,
                                              LPVOID* ppPrinterNotifyInfo) {
  return StandInSpooler::Get().FindNext(hChange, pdwChange, pPrinterNotifyOptions,
                                        ppPrinterNotifyInfo);
}

BOOL WINAPI FreePrinterNotifyInfo(PPRINTER_NOTIFY_INFO pPrinterNotifyInfo) {
  return StandInSpooler::Get().Free(pPrinterNotifyInfo);
}

BOOL WINAPI FindClosePrinterChangeNotification(HANDLE hChange) {
  return StandInSpooler::Get().FindClose(hChange);
}

}  // extern "C"
