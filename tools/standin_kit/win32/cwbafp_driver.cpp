// CWBAFP.DLL of the stand-in kit: the driver file and data file of the driver record. It has the
// entry points of a printer graphics DLL but renders nothing: enabling it fails, so a device
// context on an AFP printer of the kit cannot be made, rather than printing blank pages.
#include "common/win32/windows_support.h"

namespace {

// DrvQueryDriverInfo's one question: is this a user-mode driver.
constexpr DWORD kQueryUserMode = 1;

}  // namespace

extern "C" {

__declspec(dllexport) BOOL WINAPI
    DrvQueryDriverInfo(DWORD type, PVOID buffer, DWORD bytes, PDWORD needed) {
  if (type != kQueryUserMode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *needed = sizeof(DWORD);
  if (buffer == nullptr || bytes < sizeof(DWORD)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  *static_cast<DWORD*>(buffer) = TRUE;  // a user-mode driver
  return TRUE;
}

__declspec(dllexport) BOOL WINAPI DrvEnableDriver(ULONG, ULONG, void*) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

__declspec(dllexport) VOID WINAPI DrvDisableDriver() {}

}  // extern "C"
