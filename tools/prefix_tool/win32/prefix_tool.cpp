// prefix_tool.exe: adds Wine-local printers on file ports and inspects the prefix's printers; runs
// programs for the tests.
#include "common/win32/windows_support.h"
#include "tools/printing/win32/raw_print.h"

#include <shellapi.h>
#include <winspool.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using varnell::tools::LastErrorText;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

void ClosePrinterHandle(HANDLE h) {
  ClosePrinter(h);
}
using ScopedPrinter =
    varnell::win32::ScopedHandle<HANDLE, ClosePrinterHandle, varnell::win32::NullHandle>;

int Fail(const std::string& reason) {
  std::fprintf(stderr, "prefix_tool: %s\n", reason.c_str());
  return kFailed;
}

std::wstring Wide(const std::string& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(n > 0 ? n : 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
  wide.resize(wide.size() - 1);
  return wide;
}

bool PrinterExists(const std::wstring& name) {
  HANDLE h = nullptr;
  if (!OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &h, nullptr)) return false;
  ClosePrinter(h);
  return true;
}

// A local port is a file path that the spooler writes each job to.
std::string AddLocalPort(const std::wstring& port) {
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
  HANDLE xcv = nullptr;
  if (!OpenPrinterW(const_cast<wchar_t*>(L",XcvMonitor Local Port"), &xcv, &defaults))
    return "OpenPrinter(,XcvMonitor Local Port) failed: " + LastErrorText();
  ScopedPrinter monitor(xcv);
  DWORD needed = 0;
  DWORD status = 0;
  if (!XcvDataW(
          monitor.Get(), L"AddPort", reinterpret_cast<BYTE*>(const_cast<wchar_t*>(port.c_str())),
          static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t)), nullptr, 0, &needed, &status))
    return "XcvData(AddPort) failed: " + LastErrorText();
  if (status != ERROR_SUCCESS && status != ERROR_ALREADY_EXISTS)
    return "XcvData(AddPort) status " + std::to_string(status);
  return std::string();
}

int AddPrinter(const std::string& name, const std::string& port, const std::string& driver) {
  std::wstring wide_name = Wide(name);
  std::wstring wide_port = Wide(port);
  std::wstring wide_driver = Wide(driver);
  if (std::string reason = AddLocalPort(wide_port); !reason.empty()) return Fail(reason);
  // Wine's AddPrinter does not refuse a second printer of the same name.
  if (PrinterExists(wide_name)) {
    std::printf("exists\t%s\n", name.c_str());
    return kOk;
  }
  PRINTER_INFO_2W info = {};
  info.pPrinterName = wide_name.data();
  info.pPortName = wide_port.data();
  info.pDriverName = wide_driver.data();
  info.pPrintProcessor = const_cast<wchar_t*>(L"WinPrint");
  info.pDatatype = const_cast<wchar_t*>(L"RAW");
  info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
  HANDLE printer = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info));
  if (!printer) {
    if (GetLastError() == ERROR_PRINTER_ALREADY_EXISTS) {
      std::printf("exists\t%s\n", name.c_str());
      return kOk;
    }
    return Fail("AddPrinter(" + name + ") failed: " + LastErrorText());
  }
  ClosePrinter(printer);
  std::printf("added\t%s\n", name.c_str());
  return kOk;
}

int ListPrinters() {
  const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  DWORD needed = 0;
  DWORD count = 0;
  EnumPrintersA(flags, nullptr, 2, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed + 1);
  if (!EnumPrintersA(flags, nullptr, 2, buffer.data(), needed, &needed, &count))
    return Fail("EnumPrinters failed: " + LastErrorText());
  auto* printers = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
  auto text = [](const char* s) { return s ? s : ""; };
  for (DWORD i = 0; i < count; ++i) {
    std::printf("%s\t%s\t%s\n", text(printers[i].pPrinterName), text(printers[i].pPortName),
                text(printers[i].pDriverName));
  }
  return kOk;
}

int PrintDefaultPrinter() {
  std::string name = varnell::tools::DefaultPrinterName();
  if (name.empty()) return Fail("there is no default printer");
  std::printf("%s\n", name.c_str());
  return kOk;
}

int SetDefault(const std::string& name) {
  if (!SetDefaultPrinterA(name.c_str()))
    return Fail("SetDefaultPrinter(" + name + ") failed: " + LastErrorText());
  return kOk;
}

int PrintFile(const std::string& printer, const std::string& path) {
  std::string bytes;
  if (std::string reason = varnell::tools::ReadWholeFile(path, bytes); !reason.empty())
    return Fail(reason);
  size_t cut = path.find_last_of("\\/:");
  std::string document = cut == std::string::npos ? path : path.substr(cut + 1);
  unsigned long job = 0;
  if (std::string reason = varnell::tools::PrintRaw(printer, document, bytes, &job);
      !reason.empty())
    return Fail(reason);
  std::printf("%lu\n", job);
  return kOk;
}

int ShortPath(const std::string& path) {
  DWORD size = GetShortPathNameA(path.c_str(), nullptr, 0);
  if (size == 0) return Fail("GetShortPathName(" + path + ") failed: " + LastErrorText());
  std::string result(size, '\0');
  size = GetShortPathNameA(path.c_str(), result.data(), size);
  if (size == 0) return Fail("GetShortPathName(" + path + ") failed: " + LastErrorText());
  result.resize(size);
  std::printf("%s\n", result.c_str());
  return kOk;
}

// Wine resets the default printer to the CUPS default whenever the first process that loads
// the print DLL starts: a test keeps this one alive while it relies on another default.
int Hold(const std::string& milliseconds) {
  char* end = nullptr;
  unsigned long ms = std::strtoul(milliseconds.c_str(), &end, 10);
  if (milliseconds.empty() || *end) return kUsage;
  std::string ignored = varnell::tools::DefaultPrinterName();
  std::printf("holding\n");
  std::fflush(stdout);
  Sleep(ms);
  return kOk;
}

// Starts a program `count` times, one after the other, hidden, waiting for each: the floor of
// what a print server that starts the print utility once per job can reach. Prints the
// milliseconds taken.
int RunRepeatedly(const std::string& count_text, const std::string& program,
                  const std::string& parameters) {
  char* end = nullptr;
  unsigned long count = std::strtoul(count_text.c_str(), &end, 10);
  if (count_text.empty() || *end) return kUsage;
  DWORD start = GetTickCount();
  for (unsigned long i = 0; i < count; ++i) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    if (!ShellExecuteExA(&info)) {
      std::fprintf(stderr, "start %lu failed: %lu\n", i, GetLastError());
      return kFailed;
    }
    if (info.hProcess) {
      WaitForSingleObject(info.hProcess, INFINITE);
      CloseHandle(info.hProcess);
    }
  }
  std::printf("%lu\n", GetTickCount() - start);
  return kOk;
}

// Runs a program with its parameters, waits for it and prints its exit code: all 32 bits of it,
// where Wine hands the shell only the low 8 (msiexec's 1603 arrives as 67).
int ExitCode(const std::string& program, const std::string& parameters) {
  std::string command_line = "\"" + program + "\" " + parameters;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return Fail("cannot start " + program + ": " + LastErrorText());
  CloseHandle(info.hThread);
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  const bool known = GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  if (!known) return Fail("no exit code of " + program + ": " + LastErrorText());
  std::printf("%lu\n", code);
  return kOk;
}

int Usage() {
  std::fputs(
      "usage: prefix_tool addprinter <name> <port-path> <driver>\n"
      "       prefix_tool printers | default-printer | set-default <name>\n"
      "       prefix_tool print-raw <printer> <file> | short-path <path> | hold <ms>\n"
      "       prefix_tool run <count> <program> <parameters>\n"
      "       prefix_tool exit-code <program> <parameters>\n",
      stderr);
  return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // lines end in LF for the shell scripts that read them
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  const std::string& command = args[0];
  const size_t operands = args.size() - 1;
  int result = kUsage;
  if (command == "addprinter" && operands == 3)
    result = AddPrinter(args[1], args[2], args[3]);
  else if (command == "printers" && operands == 0)
    result = ListPrinters();
  else if (command == "default-printer" && operands == 0)
    result = PrintDefaultPrinter();
  else if (command == "set-default" && operands == 1)
    result = SetDefault(args[1]);
  else if (command == "print-raw" && operands == 2)
    result = PrintFile(args[1], args[2]);
  else if (command == "short-path" && operands == 1)
    result = ShortPath(args[1]);
  else if (command == "hold" && operands == 1)
    result = Hold(args[1]);
  else if (command == "run" && operands == 3)
    result = RunRepeatedly(args[1], args[2], args[3]);
  else if (command == "exit-code" && operands == 2)
    result = ExitCode(args[1], args[2]);
  if (result == kUsage) return Usage();
  return result;
}
