// AFP32.dll of the stand-in kit: a level-2 port monitor that offers the one port named by the
// value "1" of its registry key, read when the spooler loads it. The port takes no jobs: it is
// there to be listed and to carry a printer, and a job sent to it fails instead of vanishing.
#include "common/win32/windows_support.h"
#include "tools/standin_kit/port_records.h"

#include <winspool.h>
#include <winsplp.h>

#include <cstddef>
#include <string>
#include <vector>

namespace {

using standin_kit::FillStatus;

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");
static_assert(sizeof(standin_kit::PortInfo1) == sizeof(PORT_INFO_1W));
static_assert(sizeof(standin_kit::PortInfo2) == sizeof(PORT_INFO_2W));
static_assert(offsetof(standin_kit::PortInfo2, Description) ==
              offsetof(PORT_INFO_2W, pDescription));
static_assert(offsetof(standin_kit::PortInfo2, PortType) == offsetof(PORT_INFO_2W, fPortType));

// What one loaded instance of the monitor offers; the spooler's monitor handle points to it.
struct Monitor {
  std::vector<std::u16string> ports;
};

// An open port.
struct Port {
  std::u16string name;
};

std::u16string FromWide(const wchar_t* text) {
  return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

// The ports the key names now: none when the key or its value is missing.
std::vector<std::u16string> ConfiguredPorts() {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<const wchar_t*>(standin_kit::kMonitorKey),
                    0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
    return {};
  varnell::win32::ScopedKey key(opened);
  const auto* value = reinterpret_cast<const wchar_t*>(standin_kit::kPortNameValue);
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key.Get(), value, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
    return {};
  std::vector<uint8_t> data(bytes);
  if (RegQueryValueExW(key.Get(), value, nullptr, &type, data.data(), &bytes) != ERROR_SUCCESS)
    return {};
  data.resize(bytes);
  std::optional<std::u16string> port = standin_kit::PortNameFromValue(type, data);
  if (!port) return {};
  return {*port};
}

BOOL WINAPI EnumPorts(HANDLE monitor, LPWSTR, DWORD level, LPBYTE buffer, DWORD buffer_bytes,
                      LPDWORD needed, LPDWORD returned) {
  const standin_kit::PortListing listing = standin_kit::FillPortRecords(
      level, static_cast<Monitor*>(monitor)->ports, buffer, buffer_bytes);
  *needed = listing.Needed;
  *returned = listing.Returned;
  if (listing.Status == FillStatus::kUnknownLevel) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  if (listing.Status == FillStatus::kBufferTooSmall) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI OpenPort(HANDLE monitor, LPWSTR name, PHANDLE handle) {
  const std::u16string wanted = FromWide(name);
  for (const std::u16string& port : static_cast<Monitor*>(monitor)->ports) {
    if (standin_kit::SamePortName(port, wanted)) {
      *handle = new Port{port};
      return TRUE;
    }
  }
  SetLastError(ERROR_UNKNOWN_PORT);
  return FALSE;
}

// The stand-in prints nothing, and says so to whoever sends it a job.
BOOL WINAPI StartDocPort(HANDLE, LPWSTR, DWORD, DWORD, LPBYTE) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

BOOL WINAPI WritePort(HANDLE, LPBYTE, DWORD, LPDWORD written) {
  *written = 0;
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

BOOL WINAPI ReadPort(HANDLE, LPBYTE, DWORD, LPDWORD read) {
  *read = 0;
  return TRUE;
}

BOOL WINAPI EndDocPort(HANDLE) {
  return TRUE;
}

BOOL WINAPI ClosePort(HANDLE port) {
  delete static_cast<Port*>(port);
  return TRUE;
}

VOID WINAPI Shutdown(HANDLE monitor) {
  delete static_cast<Monitor*>(monitor);
}

MONITOR2 MakeMonitorTable() {
  MONITOR2 table = {};
  table.cbSize = sizeof table;
  table.pfnEnumPorts = EnumPorts;
  table.pfnOpenPort = OpenPort;
  table.pfnStartDocPort = StartDocPort;
  table.pfnWritePort = WritePort;
  table.pfnReadPort = ReadPort;
  table.pfnEndDocPort = EndDocPort;
  table.pfnClosePort = ClosePort;
  table.pfnShutdown = Shutdown;
  return table;
}

MONITOR2 monitor_table = MakeMonitorTable();

}  // namespace

// The spooler's one way in: called each time it loads the monitor, which is when it starts.
extern "C" __declspec(dllexport) LPMONITOR2 WINAPI
    InitializePrintMonitor2(PMONITORINIT, PHANDLE monitor) {
  if (monitor == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  *monitor = new Monitor{ConfiguredPorts()};
  return &monitor_table;
}
