// CWBAFPUI.DLL of the stand-in kit: the driver's configuration file. The spooler asks it for a new
// printer's default device mode (DrvDocumentPropertySheets) and tells it about printer and driver
// events; it has no property sheets of its own.
#include "common/win32/windows_support.h"
#include "tools/standin_kit/document_settings.h"

#include <winspool.h>
#include <compstui.h>
#include <winddiui.h>

namespace {

using standin_kit::DocumentSettings;

// What the spooler hands DrvDocumentPropertySheets when it wants no user interface.
struct DocumentPropertyHeader {
  WORD cbSize;
  WORD Reserved;
  HANDLE hPrinter;
  LPWSTR pszPrinterName;
  PDEVMODEW pdmIn;
  PDEVMODEW pdmOut;
  DWORD cbOut;
  DWORD fMode;
};

constexpr LONG kSheetsOk = 1;  // IDOK

// The settings a device mode from outside asks for, when it is large enough to hold them.
bool ReadRequested(const DEVMODEW* devmode, uint32_t& fields, DocumentSettings& requested) {
  if (devmode == nullptr || devmode->dmSize < offsetof(DEVMODEW, dmYResolution) + sizeof(short))
    return false;
  fields = devmode->dmFields;
  requested.Orientation = devmode->dmOrientation;
  requested.PaperSize = devmode->dmPaperSize;
  requested.Copies = devmode->dmCopies;
  requested.PrintQuality = devmode->dmPrintQuality;
  requested.YResolution = devmode->dmYResolution;
  return true;
}

void WriteDevMode(const wchar_t* printer, const DocumentSettings& settings, DEVMODEW* devmode) {
  ZeroMemory(devmode, sizeof *devmode);
  if (printer) lstrcpynW(devmode->dmDeviceName, printer, CCHDEVICENAME);
  devmode->dmSpecVersion = DM_SPECVERSION;
  devmode->dmDriverVersion = standin_kit::kDriverVersion;
  devmode->dmSize = sizeof *devmode;
  devmode->dmFields = standin_kit::kKeptFields;
  devmode->dmOrientation = settings.Orientation;
  devmode->dmPaperSize = settings.PaperSize;
  devmode->dmCopies = settings.Copies;
  devmode->dmPrintQuality = settings.PrintQuality;
  devmode->dmYResolution = settings.YResolution;
}

}  // namespace

extern "C" {

// Without a user interface: the size of the device mode when asked for it (no mode or no output
// buffer), otherwise the default device mode changed by what the input one asks for.
__declspec(dllexport) LONG WINAPI
    DrvDocumentPropertySheets(PPROPSHEETUI_INFO sheets, LPARAM parameter) {
  auto* header = reinterpret_cast<DocumentPropertyHeader*>(parameter);
  if (sheets != nullptr || header == nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return ERR_CPSUI_GETLASTERROR;
  }
  if (header->fMode == 0 || header->pdmOut == nullptr) {
    header->cbOut = sizeof(DEVMODEW);
    return static_cast<LONG>(header->cbOut);
  }
  if (header->fMode & DM_OUT_BUFFER) {
    DocumentSettings settings;
    uint32_t fields = 0;
    DocumentSettings requested;
    if ((header->fMode & DM_IN_BUFFER) && ReadRequested(header->pdmIn, fields, requested))
      settings = standin_kit::WithRequested(settings, fields, requested);
    // The buffer was sized by the size question above.
    WriteDevMode(header->pszPrinterName, settings, header->pdmOut);
  }
  return kSheetsOk;
}

__declspec(dllexport) LONG WINAPI DrvDevicePropertySheets(PPROPSHEETUI_INFO, LPARAM) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return ERR_CPSUI_GETLASTERROR;
}

__declspec(dllexport) DWORD WINAPI
    DrvDeviceCapabilities(HANDLE, PWSTR, WORD capability, PVOID output, PDEVMODEW) {
  return static_cast<DWORD>(standin_kit::DeviceCapability(capability, output, sizeof(DEVMODEW)));
}

// Nothing to set up or clean when a printer or the driver comes or goes.
__declspec(dllexport) BOOL WINAPI DrvPrinterEvent(LPWSTR, INT, DWORD, LPARAM) {
  return TRUE;
}

__declspec(dllexport) BOOL WINAPI DrvDriverEvent(DWORD, DWORD, LPBYTE, LPARAM) {
  return TRUE;
}

}  // extern "C"
