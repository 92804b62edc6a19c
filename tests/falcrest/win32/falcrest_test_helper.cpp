// Reads back what falcrest.exe left in the spooler, for its tests under Wine. One record a line,
// fields separated by tabs, UTF-8:
//   falcrest_test_helper ports                  port, monitor, description
//   falcrest_test_helper monitors               name, environment, DLL
//   falcrest_test_helper drivers <environment>  name, version, driver, data file, configuration
//                                               file, help file, dependent files (comma list)
//   falcrest_test_helper printer <name>         name, port, driver, location, print processor,
//                                               data type, the device mode's device name, paper
//                                               size, orientation and resolution (or "-" when the
//                                               printer has no device mode)
// Exit 0 done, 1 the spooler refused (reason on stderr), 2 bad usage.
#include "common/win32/windows_support.h"

#include <winspool.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

std::string Utf8(const wchar_t* text) {
  if (text == nullptr) return std::string();
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(bytes > 0 ? bytes : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), bytes, nullptr, nullptr);
  utf8.resize(utf8.size() - 1);
  return utf8;
}

std::wstring Wide(const char* text) {
  const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring wide(units > 0 ? units : 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), units);
  wide.resize(wide.size() - 1);
  return wide;
}

int Fail(const char* call) {
  std::fprintf(stderr, "falcrest_test_helper: %s failed: %s\n", call,
               varnell::win32::SystemErrorText(GetLastError()).c_str());
  return kFailed;
}

void PrintLine(const std::vector<std::string>& fields) {
  for (size_t i = 0; i < fields.size(); ++i) std::printf("%s%s", i ? "\t" : "", fields[i].c_str());
  std::printf("\n");
}

// Calls `enumerate(buffer, bytes, needed, count)` once for the size and once for the records.
template <typename Enumerate>
bool EnumerateInto(std::vector<BYTE>& buffer, DWORD& count, Enumerate enumerate) {
  DWORD needed = 0;
  enumerate(nullptr, 0, &needed, &count);
  buffer.assign(needed ? needed : 1, 0);
  return enumerate(buffer.data(), needed, &needed, &count);
}

int ListPorts() {
  std::vector<BYTE> buffer;
  DWORD count = 0;
  if (!EnumerateInto(buffer, count, [](BYTE* b, DWORD n, DWORD* need, DWORD* c) {
        return EnumPortsW(nullptr, 2, b, n, need, c);
      }))
    return Fail("EnumPortsW");
  const auto* ports = reinterpret_cast<const PORT_INFO_2W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i)
    PrintLine({Utf8(ports[i].pPortName), Utf8(ports[i].pMonitorName), Utf8(ports[i].pDescription)});
  return kOk;
}

int ListMonitors() {
  std::vector<BYTE> buffer;
  DWORD count = 0;
  if (!EnumerateInto(buffer, count, [](BYTE* b, DWORD n, DWORD* need, DWORD* c) {
        return EnumMonitorsW(nullptr, 2, b, n, need, c);
      }))
    return Fail("EnumMonitorsW");
  const auto* monitors = reinterpret_cast<const MONITOR_INFO_2W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i)
    PrintLine(
        {Utf8(monitors[i].pName), Utf8(monitors[i].pEnvironment), Utf8(monitors[i].pDLLName)});
  return kOk;
}

std::string MultiStringList(const wchar_t* names) {
  std::string list;
  for (const wchar_t* name = names; name && *name; name += lstrlenW(name) + 1) {
    if (!list.empty()) list += ',';
    list += Utf8(name);
  }
  return list;
}

int ListDrivers(const char* environment) {
  std::wstring wide_environment = Wide(environment);
  std::vector<BYTE> buffer;
  DWORD count = 0;
  if (!EnumerateInto(buffer, count, [&](BYTE* b, DWORD n, DWORD* need, DWORD* c) {
        return EnumPrinterDriversW(nullptr, wide_environment.data(), 3, b, n, need, c);
      }))
    return Fail("EnumPrinterDriversW");
  const auto* drivers = reinterpret_cast<const DRIVER_INFO_3W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    const DRIVER_INFO_3W& d = drivers[i];
    PrintLine({Utf8(d.pName), std::to_string(d.cVersion), Utf8(d.pDriverPath), Utf8(d.pDataFile),
               Utf8(d.pConfigFile), Utf8(d.pHelpFile), MultiStringList(d.pDependentFiles)});
  }
  return kOk;
}

int ShowPrinter(const char* name) {
  std::wstring wide_name = Wide(name);
  HANDLE opened = nullptr;
  if (!OpenPrinterW(wide_name.data(), &opened, nullptr)) return Fail("OpenPrinterW");
  struct Closer {
    HANDLE printer;
    ~Closer() { ClosePrinter(printer); }
  } closer{opened};
  DWORD needed = 0;
  GetPrinterW(opened, 2, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed ? needed : 1);
  if (!GetPrinterW(opened, 2, buffer.data(), needed, &needed)) return Fail("GetPrinterW");
  const auto* p = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  std::vector<std::string> fields = {Utf8(p->pPrinterName),    Utf8(p->pPortName),
                                     Utf8(p->pDriverName),     Utf8(p->pLocation),
                                     Utf8(p->pPrintProcessor), Utf8(p->pDatatype)};
  if (p->pDevMode) {
    fields.push_back(Utf8(p->pDevMode->dmDeviceName));
    fields.push_back(std::to_string(p->pDevMode->dmPaperSize));
    fields.push_back(std::to_string(p->pDevMode->dmOrientation));
    fields.push_back(std::to_string(p->pDevMode->dmYResolution));
  } else {
    fields.insert(fields.end(), {"-", "-", "-", "-"});
  }
  PrintLine(fields);
  return kOk;
}

int Usage() {
  std::fputs(
      "usage: falcrest_test_helper ports | monitors | drivers <environment> | printer <name>\n",
      stderr);
  return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // lines end in LF for the shell scripts that read them
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "ports") return ListPorts();
  if (args.size() == 1 && args[0] == "monitors") return ListMonitors();
  if (args.size() == 2 && args[0] == "drivers") return ListDrivers(argv[2]);
  if (args.size() == 2 && args[0] == "printer") return ShowPrinter(argv[2]);
  return Usage();
}
