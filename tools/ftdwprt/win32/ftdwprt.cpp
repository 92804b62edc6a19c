// ftdwprt.exe: stand-in for the outside AFP print utility. `ftdwprt <short path>  /N /P` sends
// the file's bytes RAW to the Windows default printer. Exit code 0 when printed, 1 when the file
// cannot be read or printing fails, 3 when told to fail (ftdwprt.ini or FTDWPRT_* variables).
// The command line is read in its wide form, so that a path in any script reaches the file.
#include "common/win32/windows_support.h"
#include "tools/ftdwprt/ftdwprt_options.h"
#include "tools/printing/win32/raw_print.h"

#include <optional>
#include <string>

namespace {

constexpr int kPrinted = 0;
constexpr int kFailed = 1;
constexpr int kToldToFail = 3;

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string text(static_cast<size_t>(n > 0 ? n : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                      nullptr, nullptr);
  return text;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), n);
  return text;
}

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
void AppendLine(const std::string& path, const std::string& line) {
  varnell::win32::ScopedFileHandle file(CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  varnell::win32::ScopedFileHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
    bytes.append(buffer, read);
  return true;
}

// The long form of the (short) path the utility was given; the path itself when there is none.
std::string LongPathOf(const std::string& path) {
  wchar_t buffer[32768];
  const DWORD n = GetLongPathNameW(Wide(path).c_str(), buffer, 32768);
  return n == 0 || n >= 32768 ? path : Utf8(std::wstring(buffer, n));
}

int Run(const varnell::tools::FaultSwitches& switches, const std::string& file,
        const std::string& printer) {
  if (switches.delay_ms > 0) Sleep(static_cast<DWORD>(switches.delay_ms));
  if (switches.fail) return kToldToFail;
  std::string bytes;
  if (file.empty() || !ReadFileBytes(file, bytes)) return kFailed;
  if (const int extra = varnell::tools::ExtraDelayFor(switches, bytes); extra > 0)
    Sleep(static_cast<DWORD>(extra));
  if (varnell::tools::ToldToFail(switches, bytes)) return kToldToFail;
  if (printer.empty()) return kFailed;
  const std::string document = varnell::tools::FileNameOf(file);
  return varnell::tools::PrintRaw(printer, document, bytes).empty() ? kPrinted : kFailed;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const std::string command_line = Utf8(GetCommandLineW());
  const std::string file =
      varnell::tools::FileFromArguments(varnell::tools::ArgumentsOf(command_line));
  const varnell::tools::FaultSwitches switches =
      varnell::tools::ResolveFaultSwitches(EnvironmentVariable, SideFileText());
  const std::string printer = varnell::tools::DefaultPrinterName();

  if (!switches.record.empty()) {
    AppendLine(switches.record,
               varnell::tools::RecordLine(NowUnixMilliseconds(), printer, file, command_line));
  }
  const std::string long_path = LongPathOf(file);
  const int result = Run(switches, file, printer);
  if (!switches.journal.empty())
    AppendLine(switches.journal, varnell::tools::JournalLine(result, printer, long_path, file));
  return result;
}
