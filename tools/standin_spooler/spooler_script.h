// The stand-in spooler's script: the printers it lists and, per printer, the changes it plays
// once a worker has registered for them. Parsed from UTF-8 text; any thread.
//
//   printer <name> [open-fails] [register-fails]   one per line, in the order they are listed
//   on <name>                                      the steps below belong to this printer
//   pass after <ms> [discarded] [no-info] [fails]  a change signalled <ms> after the step before
//                                                  ended (or after the registration); its fetch
//   refetch [discarded] [no-info] [fails]          what a second fetch of that change returns
//   field <job|printer|type> <code> [id <n>] <value>   one entry of the pass or refetch above
//   restart after <ms> down <ms|forever>           a change whose fetch fails, after which the
//                                                  change handle stops working and the printer
//                                                  cannot be opened for so long
//
// Values: number <n> | text "<UTF-8 text>" | time <y> <mo> <dow> <d> <h> <mi> <s> <ms> (a
// SYSTEMTIME) | bytes <hex>... | no-buffer. Numbers are decimal or 0x hexadecimal. Quoted
// texts take \" \\ and \0 (a NUL inside the text). "#" starts a comment.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace standin_spooler {

inline constexpr std::uint16_t kPrinterType = 0;
inline constexpr std::uint16_t kJobType = 1;

enum class ValueKind { kNumber, kText, kBytes, kNoBuffer };

// One PRINTER_NOTIFY_INFO_DATA entry.
struct ScriptEntry {
  std::uint16_t type = 0;
  std::uint16_t field = 0;
  std::uint32_t id = 0;
  ValueKind kind = ValueKind::kNumber;
  std::uint32_t number = 0;         // kNumber: adwData[0]
  std::u16string text;              // kText: laid out with a NUL after it
  std::vector<std::uint8_t> bytes;  // kBytes: the buffer as it stands
};

// What one FindNextPrinterChangeNotification returns.
struct ScriptFetch {
  bool fails = false;      // FALSE
  bool no_info = false;    // TRUE without information
  bool discarded = false;  // Flags hold PRINTER_NOTIFY_INFO_DISCARDED
  std::vector<ScriptEntry> entries;
};

enum class StepKind { kPass, kRestart };

struct ScriptStep {
  StepKind kind = StepKind::kPass;
  std::uint32_t after_ms = 0;
  ScriptFetch fetch;                     // kPass
  std::optional<ScriptFetch> refetch;    // kPass: the second fetch of the same change
  std::optional<std::uint32_t> down_ms;  // kRestart: empty when the printer never comes back
  int line = 0;                          // where the step stands in the script
};

struct ScriptPrinter {
  std::string name;  // UTF-8
  bool open_fails = false;
  bool register_fails = false;
  std::vector<ScriptStep> steps;
};

struct SpoolerScript {
  std::vector<ScriptPrinter> printers;
};

class ScriptError : public std::runtime_error {
 public:
  ScriptError(int line, const std::string& message)
      : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}
  int Line() const { return line_; }

 private:
  int line_;
};

// Throws ScriptError for the first line it cannot take.
SpoolerScript ParseSpoolerScript(std::string_view text);

}  // namespace standin_spooler
