// The ftdwprt stand-in's command line and its switches for slow or failing runs.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace varnell::tools {

// Switches read from FTDWPRT_DELAY_MS, FTDWPRT_FAIL, FTDWPRT_FAIL_WHEN, FTDWPRT_SLOW_WHEN,
// FTDWPRT_SLOW_MS, FTDWPRT_RECORD, FTDWPRT_JOURNAL and from ftdwprt.ini (keys delay_ms, fail,
// fail_when, slow_when, slow_ms, record, journal).
struct FaultSwitches {
  int delay_ms = 0;       // wait this long before printing
  bool fail = false;      // end with exit code 3 without printing
  std::string fail_when;  // the same for a file whose bytes hold this text; empty: never
  std::string slow_when;  // a file whose bytes hold this text takes slow_ms more; empty: never
  int slow_ms = 0;
  std::string record;   // file that gets one line per run as it starts; empty: none
  std::string journal;  // file that gets one line per run as it ends; empty: none
};

// Whether a run on a file of these bytes is told to fail.
bool ToldToFail(const FaultSwitches& switches, std::string_view bytes);
// How much longer a run on a file of these bytes is told to take, in milliseconds.
int ExtraDelayFor(const FaultSwitches& switches, std::string_view bytes);

// "key=value" lines with lower-cased keys and trimmed values; blank lines, lines without "="
// and comments (";" or "#") are skipped.
std::map<std::string, std::string> ParseKeyValueLines(std::string_view text);

// Each switch from the side file when it names it, else from the environment.
FaultSwitches ResolveFaultSwitches(
    const std::function<std::optional<std::string>(const char* name)>& environment,
    std::string_view side_file_text);

// The full command line without the program name (quoted or not) and the spaces after it.
std::string_view ArgumentsOf(std::string_view command_line);

// The file from the arguments `<path>  /N /P`: the path in double quotes, or everything before
// the first " /" switch. Empty when there is none.
std::string FileFromArguments(std::string_view arguments);

// The name part of a Windows path ("Z:\in\A B.afp" -> "A B.afp").
std::string FileNameOf(std::string_view path);

// Milliseconds since 1970 from a FILETIME count of 100 ns units since 1601.
int64_t UnixMillisecondsFromFileTime(uint64_t file_time);

// `<ms>\t<default printer>\t<file>\t<command line>` with a line end.
std::string RecordLine(int64_t unix_ms, std::string_view printer, std::string_view file,
                       std::string_view command_line);

// `<exit code>\t<default printer>\t<long path of the file>\t<the file as given>` with a line
// end.
std::string JournalLine(int exit_code, std::string_view printer, std::string_view long_path,
                        std::string_view file);

}  // namespace varnell::tools
