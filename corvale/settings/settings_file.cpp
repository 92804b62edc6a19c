// The settings file: writing it from the registry, reading and checking it, and writing its
// values back.
#include "corvale/settings/settings_file.h"

#include <cctype>
#include <cstdint>
#include <map>
#include <optional>

#include "common/text.h"
#include "corvale/engine/errors.h"
#include "corvale/settings/registry_values.h"

namespace corvale {

namespace {

constexpr char kVarnellKey[] = "SOFTWARE\\Varnell";
constexpr char kDevicesKey[] = "SOFTWARE\\Varnell\\Devices";
constexpr char kPrinterSection[] = "Printer ";

enum class Form { kText, kNumber, kSwitch };

struct Spec {
  const char* name;
  Form form;
  bool in_devices_key = false;  // [General]'s DefaultPrinter lives in the Devices key
};

// Every value the settings store reads and writes, in the order the file lists them.
constexpr Spec kGeneralValues[] = {
    {"LogFile", Form::kText},
    {"LogEnabled", Form::kSwitch},
    {"KeepLogFileSmall", Form::kSwitch},
    {"KeepLogFileSize", Form::kNumber},
    {"AppendLogDate", Form::kSwitch},
    {"DeleteLogFile", Form::kSwitch},
    {"DeleteLogFileDays", Form::kNumber},
    {"LaunchOnStartup", Form::kSwitch},
    {"PrintSuccessExitCodes", Form::kText},
    {"PrintTimeoutMinutes", Form::kNumber},
    {"DefaultPrinter", Form::kText, true},
};
constexpr Spec kPrinterValues[] = {
    {"PrinterName", Form::kText},
    {"EnableIPDSEmulation", Form::kSwitch},
    {"InputFolder", Form::kText},
    {"DoneFolder", Form::kText},
    {"DeleteInputFileWhenDone", Form::kSwitch},
    {"QueueDepth", Form::kNumber},
};

constexpr char kHeader[] =
    "; Corvale settings of one user, exported by corvale.exe /ExportSettings from\r\n"
    "; HKEY_CURRENT_USER\\SOFTWARE\\Varnell. Load them on this or another computer with\r\n"
    "; corvale.exe /ImportSettings <file> while Corvale is closed.\r\n"
    ";\r\n"
    "; [General] holds the values of SOFTWARE\\Varnell and DefaultPrinter of\r\n"
    "; SOFTWARE\\Varnell\\Devices. Each [Printer <key>] holds the values of\r\n"
    "; SOFTWARE\\Varnell\\Devices\\<key>; the key is the printer's name with each \\ written #.\r\n"
    "; Numbers are whole numbers; a switch is 1 (on) or 0 (off). A text is the rest of its "
    "line;\r\n"
    "; one in double quotes keeps leading and trailing spaces, with \\\" \\\\ \\t \\r \\n and "
    "\\xHH\r\n"
    "; as escapes. An import sets the values named here and leaves any other value as it is.\r\n";

bool IsText(RegistryValueKind kind) {
  return kind == RegistryValueKind::kString || kind == RegistryValueKind::kExpandString;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string TrimBlanks(const std::string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// A text as the file writes it: as it is, or quoted where a reader would lose something.
std::string FileText(const std::string& text) {
  bool quote = !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()) || text[0] == '"');
  for (unsigned char c : text) quote = quote || c < 0x20 || c == 0x7F;
  if (!quote) return text;
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

// Whether `line` is well-formed UTF-8.
bool IsUtf8(const std::string& line) {
  size_t i = 0;
  while (i < line.size()) {
    const unsigned char c = line[i];
    int more = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
    if (more < 0 || c == 0xC0 || c == 0xC1 || i + more >= line.size()) return false;
    for (int k = 1; k <= more; ++k)
      if ((static_cast<unsigned char>(line[i + k]) >> 6) != 0x2) return false;
    i += more + 1;
  }
  return true;
}

// Appends one value's line, or the error of a value stored with the wrong type.
void ExportValue(RegistryKey& key, const Spec& spec, const std::string& where, std::string& lines,
                 std::vector<std::string>& errors) {
  const std::optional<RegistryValue> value = key.GetValue(spec.name);
  if (!value) return;
  const bool text = spec.form == Form::kText;
  if (text ? !IsText(value->kind) : value->kind != RegistryValueKind::kDword) {
    errors.push_back(InvalidTypeText(spec.name, where));
    return;
  }
  lines += std::string(spec.name) + "=" +
           (text ? FileText(value->text) : std::to_string(static_cast<int32_t>(value->number))) +
           "\r\n";
}

std::string LinePrefix(int line) {
  return "Line " + std::to_string(line) + ": ";
}

// A value's text from the file: the rest of the line, or a quoted text with its escapes.
// Nothing, with the problem in `problem`, when the quotes are wrong.
std::optional<std::string> ParseText(const std::string& raw, const std::string& name,
                                     std::string& problem) {
  if (raw.empty() || raw[0] != '"') return raw;
  std::string out;
  size_t i = 1;
  for (; i < raw.size() && raw[i] != '"'; ++i) {
    if (raw[i] != '\\') {
      out += raw[i];
      continue;
    }
    if (++i == raw.size()) break;
    switch (raw[i]) {
      case '"':
        out += '"';
        break;
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      case 'x': {
        const std::string hex = raw.substr(i + 1, 2);
        if (hex.size() == 2 && isxdigit(static_cast<unsigned char>(hex[0])) &&
            isxdigit(static_cast<unsigned char>(hex[1]))) {
          out += static_cast<char>(std::stoi(hex, nullptr, 16));
          i += 2;
          break;
        }
        problem = "'\\x" + hex + "' in the quoted text of '" + name + "' is not an escape";
        return std::nullopt;
      }
      default:
        problem = "'\\" + std::string(1, raw[i]) + "' in the quoted text of '" + name +
                  "' is not an escape";
        return std::nullopt;
    }
  }
  if (i >= raw.size()) {
    problem = "the quoted text of '" + name + "' is not closed";
    return std::nullopt;
  }
  if (i + 1 != raw.size()) {
    problem = "text after the closing quote of '" + name + "'";
    return std::nullopt;
  }
  return out;
}

// A DWORD from the file: a whole number that fits 32 bits, negative ones as Corvale reads them.
std::optional<uint32_t> ParseNumber(const std::string& raw) {
  size_t i = raw.size() > 1 && raw[0] == '-' ? 1 : 0;
  if (i == raw.size() || raw.size() - i > 10) return std::nullopt;
  int64_t number = 0;
  for (size_t k = i; k < raw.size(); ++k) {
    if (raw[k] < '0' || raw[k] > '9') return std::nullopt;
    number = number * 10 + (raw[k] - '0');
  }
  if (i == 1) number = -number;
  if (number < INT32_MIN || number > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>(number);
}

}  // namespace

SettingsExport ExportSettings(Registry& registry) {
  SettingsExport out;
  auto open = [&](const std::string& path) {
    return registry.OpenKey(RegistryHive::kCurrentUser, path, kKeyRead, /*create=*/false);
  };
  std::unique_ptr<RegistryKey> varnell = open(kVarnellKey);
  std::unique_ptr<RegistryKey> devices = open(kDevicesKey);

  std::string text = std::string(kHeader) + "\r\n[General]\r\n";
  for (const Spec& spec : kGeneralValues) {
    RegistryKey* key = spec.in_devices_key ? devices.get() : varnell.get();
    if (key)
      ExportValue(*key, spec, ValueWhere(spec.in_devices_key ? kDevicesKey : kVarnellKey), text,
                  out.errors);
  }

  for (const std::string& key_name :
       devices ? devices->SubKeyNames() : std::vector<std::string>{}) {
    const std::string path = std::string(kDevicesKey) + "\\" + key_name;
    std::unique_ptr<RegistryKey> key = open(path);
    if (!key) continue;
    const std::optional<RegistryValue> name = key->GetValue("PrinterName");
    if (!name) {
      out.skipped_keys.push_back(key_name);
      continue;
    }
    const std::string printer = IsText(name->kind) ? name->text : key_name;
    std::string lines;
    for (const Spec& spec : kPrinterValues)
      ExportValue(*key, spec, ValueWhere(path, printer), lines, out.errors);
    text += "\r\n[" + std::string(kPrinterSection) + key_name + "]\r\n" + lines;
    ++out.printers;
  }
  if (out.errors.empty()) out.text = text;
  return out;
}

SettingsImport ParseSettingsFile(const std::string& input) {
  SettingsImport out;
  std::string text = input;
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // as Notepad saves UTF-8

  struct Section {
    std::string label;  // as the file names it: "[General]", "[Printer <key>]"
    std::string key_path;
    const Spec* begin = nullptr;
    const Spec* end = nullptr;
    int line = 0;
    bool printer = false;
    std::optional<std::string> printer_name;
    std::map<std::string, int> seen;  // lower-case value name -> its line
  };
  std::optional<Section> section;
  bool refused = false;  // the values of a refused section are not checked one by one
  std::map<std::string, int> sections;  // lower-case section -> its line
  auto error = [&](int line, const std::string& problem) {
    out.errors.push_back(LinePrefix(line) + problem);
  };
  auto close_section = [&] {
    if (section && section->printer && !section->printer_name)
      error(section->line, section->label + " has no PrinterName");
  };

  int number = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string raw = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (!IsUtf8(raw)) {
      error(number, "the text is not UTF-8");
      continue;
    }
    const std::string line = TrimBlanks(raw);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;

    if (line[0] == '[') {
      close_section();
      section.reset();
      refused = true;
      const std::string inner =
          line.back() == ']' ? TrimBlanks(line.substr(1, line.size() - 2)) : std::string();
      Section next;
      next.line = number;
      if (varnell::EqualsIgnoreCase(inner, "General")) {
        next.label = "[General]";
        next.key_path = kVarnellKey;
        next.begin = std::begin(kGeneralValues);
        next.end = std::end(kGeneralValues);
      } else if (inner.size() >= sizeof kPrinterSection - 1 &&
                 varnell::EqualsIgnoreCase(inner.substr(0, sizeof kPrinterSection - 1),
                                           kPrinterSection)) {
        const std::string key = TrimBlanks(inner.substr(sizeof kPrinterSection - 1));
        if (key.empty() || key.find('\\') != std::string::npos) {
          error(number, "[" + inner + "]: a printer's key is its name with each \\ written #");
          continue;
        }
        next.label = "[" + std::string(kPrinterSection) + key + "]";
        next.key_path = std::string(kDevicesKey) + "\\" + key;
        next.begin = std::begin(kPrinterValues);
        next.end = std::end(kPrinterValues);
        next.printer = true;
      } else {
        error(number, "not a section of the settings: " + line +
                          " (they are [General] and [Printer <key>])");
        continue;
      }
      auto [first, added] = sections.emplace(varnell::ToLowerAscii(next.label), number);
      if (!added) {
        error(number,
              next.label + " appears twice (first on line " + std::to_string(first->second) + ")");
        continue;
      }
      if (next.printer) ++out.printers;
      section = std::move(next);
      refused = false;
      continue;
    }

    const size_t equals = line.find('=');
    if (equals == std::string::npos) {
      error(number, "neither a section, a value nor a comment: " + line);
      continue;
    }
    const std::string name = TrimBlanks(line.substr(0, equals));
    const std::string value_text = TrimBlanks(line.substr(equals + 1));
    if (!section) {
      if (!refused) error(number, "'" + name + "' is outside any section");
      continue;
    }
    const Spec* spec = section->begin;
    while (spec != section->end && !varnell::EqualsIgnoreCase(spec->name, name)) ++spec;
    if (spec == section->end) {
      error(number, section->label + " has no value '" + name + "'");
      continue;
    }
    auto [first, added] = section->seen.emplace(varnell::ToLowerAscii(spec->name), number);
    if (!added) {
      error(number, "'" + std::string(spec->name) + "' appears twice in " + section->label +
                        " (first on line " + std::to_string(first->second) + ")");
      continue;
    }

    SettingsValue value;
    value.key_path = spec->in_devices_key ? kDevicesKey : section->key_path;
    value.name = spec->name;
    if (spec->form == Form::kText) {
      std::string problem;
      const std::optional<std::string> parsed = ParseText(value_text, spec->name, problem);
      if (!parsed) {
        error(number, problem);
        continue;
      }
      value.value.kind = RegistryValueKind::kString;
      value.value.text = *parsed;
      if (section->printer && value.name == "PrinterName") {
        section->printer_name = *parsed;
        if (varnell::Trim(*parsed).empty()) {
          error(number, "'PrinterName' is empty");
          continue;
        }
      }
    } else {
      const std::optional<uint32_t> parsed = ParseNumber(value_text);
      if (!parsed) {
        error(number, "'" + std::string(spec->name) +
                          (spec->form == Form::kSwitch ? "' takes 1 (on) or 0 (off)"
                                                       : "' takes a whole number") +
                          ", not '" + value_text + "'");
        continue;
      }
      value.value.kind = RegistryValueKind::kDword;
      value.value.number = *parsed;
    }
    out.values.push_back(std::move(value));
  }
  close_section();
  if (sections.empty() && out.errors.empty())
    error(1, "no [General] or [Printer <key>] section: not a file of Corvale's settings");
  return out;
}

void WriteSettingsValues(Registry& registry, const std::vector<SettingsValue>& values) {
  std::string open_path;
  std::unique_ptr<RegistryKey> key;
  for (const SettingsValue& value : values) {
    if (!key || !varnell::EqualsIgnoreCase(open_path, value.key_path)) {
      key = registry.OpenKey(RegistryHive::kCurrentUser, value.key_path, kKeyAllAccess,
                             /*create=*/true);
      open_path = value.key_path;
      if (!key) throw Error("The key HKEY_CURRENT_USER\\" + value.key_path + " cannot be created");
    }
    const bool written = value.value.kind == RegistryValueKind::kDword
                             ? key->SetDword(value.name, value.value.number)
                             : key->SetString(value.name, value.value.text);
    if (!written)
      throw Error("Failed to set data for '" + value.name + "'" + ValueWhere(value.key_path));
  }
}

}  // namespace corvale
