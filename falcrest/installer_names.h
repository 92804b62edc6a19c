// The fixed names of the AFP printer that Falcrest puts in place, and where its parts go.
#pragma once

namespace falcrest {

inline constexpr char16_t kPrinterName[] = u"AFP Printer";
inline constexpr char16_t kPortName[] = u"AFP Printer Port";
inline constexpr char16_t kDriverName[] = u"Generic InfoPrint 600dpi AFP";
inline constexpr char16_t kDriverEnvironment[] = u"Windows NT x86";
inline constexpr char16_t kPortMonitorName[] = u"Tollard Port Monitor";
inline constexpr char16_t kPortMonitorDll[] = u"AFP32.dll";
// Below HKEY_LOCAL_MACHINE; AddMonitorW creates it.
inline constexpr char16_t kPortMonitorKey[] =
    u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Tollard Port Monitor";
// The monitor reads the name of the port it offers from this value.
inline constexpr char16_t kPortNameValue[] = u"1";
inline constexpr char16_t kPrintProcessor[] = u"WinPrint";
inline constexpr char16_t kDataType[] = u"RAW";
inline constexpr char16_t kDriverSubfolder[] = u"Driver";
inline constexpr char16_t kSystemFolderTemplate[] = u"%WINDIR%\\System32\\";
inline constexpr char16_t kSystemFolderFallback[] = u"C:\\Windows\\System32\\";
inline constexpr char16_t kSpoolDriverDirectoryTemplate[] =
    u"%WINDIR%\\System32\\Spool\\Drivers\\W32x86";
inline constexpr char16_t kSpoolDriverDirectoryFallback[] =
    u"C:\\Windows\\System32\\Spool\\Drivers\\W32x86";
inline constexpr char16_t kLocationLastElement[] = u"3";
// The driver's API DLL also goes into the system folder, beside the monitor.
inline constexpr char16_t kApiDllSource[] = u"Driver\\CWBAFAPI.DLL";
inline constexpr char16_t kApiDllTarget[] = u"CWBAFAPI.DLL";
inline constexpr char16_t kLoadDriverPrivilege[] = u"SeLoadDriverPrivilege";
inline constexpr char16_t kSpoolerServiceName[] = u"spooler";

}  // namespace falcrest
