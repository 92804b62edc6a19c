// The ftdwprt stand-in's command line and switches.
#include "tools/ftdwprt/ftdwprt_options.h"

#include <initializer_list>

#include "common/text.h"

namespace varnell::tools {

std::map<std::string, std::string> ParseKeyValueLines(std::string_view text) {
  std::map<std::string, std::string> values;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string key = ToLowerAscii(Trim(std::string_view(line).substr(0, equals)));
    if (key.empty()) continue;
    values[key] = Trim(std::string_view(line).substr(equals + 1));
  }
  return values;
}

static int DelayFrom(std::string_view text) {
  if (text.empty() || text.size() > 9) return 0;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

FaultSwitches ResolveFaultSwitches(
    const std::function<std::optional<std::string>(const char* name)>& environment,
    std::string_view side_file_text) {
  std::map<std::string, std::string> side = ParseKeyValueLines(side_file_text);
  auto lookup = [&](const char* key, const char* variable) -> std::string {
    if (auto it = side.find(key); it != side.end()) return it->second;
    std::optional<std::string> value = environment(variable);
    return value ? Trim(*value) : std::string();
  };
  FaultSwitches switches;
  switches.delay_ms = DelayFrom(lookup("delay_ms", "FTDWPRT_DELAY_MS"));
  switches.fail = lookup("fail", "FTDWPRT_FAIL") == "1";
  switches.fail_when = lookup("fail_when", "FTDWPRT_FAIL_WHEN");
  switches.slow_when = lookup("slow_when", "FTDWPRT_SLOW_WHEN");
  switches.slow_ms = DelayFrom(lookup("slow_ms", "FTDWPRT_SLOW_MS"));
  switches.record = lookup("record", "FTDWPRT_RECORD");
  switches.journal = lookup("journal", "FTDWPRT_JOURNAL");
  return switches;
}

bool ToldToFail(const FaultSwitches& switches, std::string_view bytes) {
  if (switches.fail) return true;
  return !switches.fail_when.empty() && bytes.find(switches.fail_when) != std::string_view::npos;
}

int ExtraDelayFor(const FaultSwitches& switches, std::string_view bytes) {
  if (switches.slow_when.empty() || bytes.find(switches.slow_when) == std::string_view::npos)
    return 0;
  return switches.slow_ms;
}

std::string_view ArgumentsOf(std::string_view command_line) {
  size_t pos = 0;
  if (!command_line.empty() && command_line[0] == '"') {
    size_t close = command_line.find('"', 1);
    pos = close == std::string_view::npos ? command_line.size() : close + 1;
  }
  while (pos < command_line.size() && command_line[pos] != ' ' && command_line[pos] != '\t') ++pos;
  while (pos < command_line.size() && (command_line[pos] == ' ' || command_line[pos] == '\t'))
    ++pos;
  return command_line.substr(pos);
}

std::string FileFromArguments(std::string_view arguments) {
  std::string text = Trim(arguments);
  if (!text.empty() && text[0] == '"') {
    size_t close = text.find('"', 1);
    return text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  size_t switches = text.find(" /");
  if (switches == std::string::npos) switches = text.find("\t/");
  if (text.starts_with("/")) return std::string();
  return Trim(std::string_view(text).substr(0, switches));
}

std::string FileNameOf(std::string_view path) {
  size_t cut = path.find_last_of("\\/:");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

int64_t UnixMillisecondsFromFileTime(uint64_t file_time) {
  constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;
  if (file_time < kUnixEpochAsFileTime) return 0;
  return static_cast<int64_t>((file_time - kUnixEpochAsFileTime) / 10000);
}

namespace {

// The fields joined by tabs, with a line end.
std::string TabbedLine(std::initializer_list<std::string_view> fields) {
  std::string line;
  for (std::string_view field : fields) {
    if (!line.empty()) line += '\t';
    line += field;
  }
  line += '\n';
  return line;
}

}  // namespace

std::string RecordLine(int64_t unix_ms, std::string_view printer, std::string_view file,
                       std::string_view command_line) {
  return TabbedLine({std::to_string(unix_ms), printer, file, command_line});
}

std::string JournalLine(int exit_code, std::string_view printer, std::string_view long_path,
                        std::string_view file) {
  return TabbedLine({std::to_string(exit_code), printer, long_path, file});
}

}  // namespace varnell::tools
