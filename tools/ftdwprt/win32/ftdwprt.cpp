// ftdwprt.exe: stand-in for the outside AFP print utility. `ftdwprt <short path>  /N /P` sends
// the file's bytes RAW to the Windows default printer. Exit code 0 when printed, 1 when the file
// cannot be read or printing fails, 3 when told to fail (ftdwprt.ini or FTDWPRT_* variables).
#include "common/win32/windows_support.h"
#include "tools/ftdwprt/ftdwprt_options.h"
#include "tools/printing/win32/raw_print.h"

#include <optional>
#include <string>

namespace {

constexpr int kPrinted = 0;
constexpr int kFailed = 1;
constexpr int kToldToFail = 3;

std::optional<std::string> EnvironmentVariable(const char* name) {
  DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
  if (size == 0) return std::nullopt;
  std::string value(size, '\0');
  size = GetEnvironmentVariableA(name, value.data(), size);
  value.resize(size);
  return value;
}

// The side file beside the exe; empty when there is none.
std::string SideFileText() {
  char exe[MAX_PATH] = "";
  DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  std::string path(exe, n);
  path = path.substr(0, path.find_last_of('\\') + 1) + "ftdwprt.ini";
  std::string text;
  if (!varnell::tools::ReadWholeFile(path, text).empty()) return std::string();
  return text;
}

int64_t NowUnixMilliseconds() {
  FILETIME now = {};
  GetSystemTimeAsFileTime(&now);
  return varnell::tools::UnixMillisecondsFromFileTime(
      (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

// One write per line, so that the lines of runs at the same time do not mix.
void AppendRecord(const std::string& path, const std::string& line) {
  varnell::win32::ScopedFileHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const std::string command_line = GetCommandLineA();
  const std::string file =
      varnell::tools::FileFromArguments(varnell::tools::ArgumentsOf(command_line));
  const varnell::tools::FaultSwitches switches =
      varnell::tools::ResolveFaultSwitches(EnvironmentVariable, SideFileText());
  const std::string printer = varnell::tools::DefaultPrinterName();

  if (!switches.record.empty()) {
    AppendRecord(switches.record,
                 varnell::tools::RecordLine(NowUnixMilliseconds(), printer, file, command_line));
  }
  if (switches.delay_ms > 0) Sleep(static_cast<DWORD>(switches.delay_ms));
  if (switches.fail) return kToldToFail;

  std::string bytes;
  if (file.empty() || !varnell::tools::ReadWholeFile(file, bytes).empty()) return kFailed;
  if (printer.empty()) return kFailed;
  const std::string document = varnell::tools::FileNameOf(file);
  return varnell::tools::PrintRaw(printer, document, bytes).empty() ? kPrinted : kFailed;
}
