#include "corvale/platform/win32/win32_event_log.h"

#include <string>

#include "corvale/platform/win32/wide_text.h"

namespace corvale::win32 {

namespace {

constexpr wchar_t kSourceName[] = L"Corvale";
// Where the setup registers the source; RegisterEventSource alone would take any name and write
// events whose text the Event Viewer cannot show.
constexpr wchar_t kSourceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Corvale";

bool SourceRegistered() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSourceKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

WORD EventType(EventKind kind) {
  switch (kind) {
    case EventKind::kInformation:
      return EVENTLOG_INFORMATION_TYPE;
    case EventKind::kWarning:
      return EVENTLOG_WARNING_TYPE;
    case EventKind::kError:
      return EVENTLOG_ERROR_TYPE;
  }
  return EVENTLOG_INFORMATION_TYPE;
}

}  // namespace

Win32EventLog::~Win32EventLog() {
  if (source_) DeregisterEventSource(source_);
}

bool Win32EventLog::Write(EventKind kind, EventId id, const std::string& text) {
  std::lock_guard lock(mutex_);
  if (!looked_) {
    looked_ = true;
    if (SourceRegistered()) source_ = RegisterEventSourceW(nullptr, kSourceName);
  }
  if (!source_) return false;
  const std::wstring wide = Wide(text);
  const wchar_t* strings[] = {wide.c_str()};
  return ReportEventW(source_, EventType(kind), 0, static_cast<DWORD>(id), nullptr, 1, 0, strings,
                      nullptr) != FALSE;
}

}  // namespace corvale::win32
