// Parsing the stand-in spooler's script.
#include "tools/standin_spooler/spooler_script.h"

#include <charconv>
#include <limits>

#include "common/text_encoding.h"

namespace standin_spooler {
namespace {

// UTF-8 as UTF-16; empty for bytes that form no character.
std::optional<std::u16string> StrictUtf16(std::string_view text) {
  std::u16string wide = varnell::Utf8ToUtf16(text);
  if (varnell::Utf16ToUtf8(wide) != text) return std::nullopt;
  return wide;
}

struct Token {
  std::string text;
  bool quoted = false;
};

// Words separated by blanks, and quoted texts; "#" outside quotes ends the line.
std::vector<Token> Tokenize(std::string_view line, int number) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      Token token{"", true};
      for (++i;; ++i) {
        if (i >= line.size()) throw ScriptError(number, "a quoted text does not end");
        if (line[i] == '"') break;
        if (line[i] != '\\') {
          token.text += line[i];
          continue;
        }
        if (++i >= line.size()) throw ScriptError(number, "a quoted text does not end");
        switch (line[i]) {
          case '"':
          case '\\':
            token.text += line[i];
            break;
          case '0':
            token.text += '\0';
            break;
          default:
            throw ScriptError(number, std::string("unknown escape \\") + line[i]);
        }
      }
      ++i;
      tokens.push_back(std::move(token));
    } else {
      std::size_t end = line.find_first_of(" \t\r#\"", i);
      if (end == std::string_view::npos) end = line.size();
      tokens.push_back(Token{std::string(line.substr(i, end - i)), false});
      i = end;
    }
  }
  return tokens;
}

class LineReader {
 public:
  LineReader(std::vector<Token> tokens, int number) : tokens_(std::move(tokens)), line_(number) {}

  bool Done() const { return next_ >= tokens_.size(); }
  int Line() const { return line_; }
  [[noreturn]] void Fail(const std::string& message) const { throw ScriptError(line_, message); }

  const Token& Take(const char* what) {
    if (Done()) Fail(std::string("missing ") + what);
    return tokens_[next_++];
  }
  std::string Word(const char* what) {
    const Token& token = Take(what);
    if (token.quoted) Fail(std::string("expected ") + what + ", found a quoted text");
    return token.text;
  }
  void Expect(const char* keyword) {
    if (Word(keyword) != keyword) Fail(std::string("expected \"") + keyword + "\"");
  }
  std::uint32_t Number(const char* what, std::uint32_t max = 0xFFFFFFFF) {
    const std::string word = Word(what);
    std::string_view digits = word;
    int base = 10;
    if (digits.size() > 2 && (digits.substr(0, 2) == "0x" || digits.substr(0, 2) == "0X")) {
      digits.remove_prefix(2);
      base = 16;
    }
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty() ||
        value > max) {
      Fail(std::string("\"") + word + "\" is not a " + what + " (0 to " + std::to_string(max) +
           ")");
    }
    return static_cast<std::uint32_t>(value);
  }
  std::uint16_t Number16(const char* what) {
    return static_cast<std::uint16_t>(Number(what, std::numeric_limits<std::uint16_t>::max()));
  }
  // A printer name: a word or a quoted text.
  std::string Name() {
    const Token& token = Take("printer name");
    if (token.text.empty() || token.text.find('\0') != std::string::npos) Fail("bad printer name");
    return token.text;
  }
  std::u16string Text() {
    const Token& token = Take("text");
    if (!token.quoted) Fail("a text is written in double quotes");
    std::optional<std::u16string> text = StrictUtf16(token.text);
    if (!text) Fail("the text is not UTF-8");
    return *text;
  }

 private:
  std::vector<Token> tokens_;
  std::size_t next_ = 0;
  int line_;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

ScriptEntry ParseEntry(LineReader& reader) {
  ScriptEntry entry;
  const std::string type = reader.Word("entry type");
  if (type == "job") {
    entry.type = kJobType;
  } else if (type == "printer") {
    entry.type = kPrinterType;
  } else {
    LineReader number({{type, false}}, reader.Line());
    entry.type = number.Number16("entry type (job, printer or a number)");
  }
  entry.field = reader.Number16("field code");
  std::string kind = reader.Word("value");
  if (kind == "id") {
    entry.id = reader.Number("id");
    kind = reader.Word("value");
  }
  if (kind == "number") {
    entry.kind = ValueKind::kNumber;
    entry.number = reader.Number("number");
  } else if (kind == "text") {
    entry.kind = ValueKind::kText;
    entry.text = reader.Text();
  } else if (kind == "time") {
    entry.kind = ValueKind::kBytes;
    for (int i = 0; i < 8; ++i) {
      std::uint16_t part = reader.Number16("SYSTEMTIME member");
      entry.bytes.push_back(static_cast<std::uint8_t>(part & 0xFF));
      entry.bytes.push_back(static_cast<std::uint8_t>(part >> 8));
    }
  } else if (kind == "bytes") {
    entry.kind = ValueKind::kBytes;
    while (!reader.Done()) {
      const std::string hex = reader.Word("bytes");
      if (hex.size() % 2 != 0) reader.Fail("\"" + hex + "\" is not whole bytes in hexadecimal");
      for (std::size_t i = 0; i < hex.size(); i += 2) {
        int high = HexDigit(hex[i]);
        int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) reader.Fail("\"" + hex + "\" is not hexadecimal");
        entry.bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
      }
    }
  } else if (kind == "no-buffer") {
    entry.kind = ValueKind::kNoBuffer;
  } else {
    reader.Fail("unknown value \"" + kind + "\" (number, text, time, bytes or no-buffer)");
  }
  return entry;
}

// The options after "pass" or "refetch".
void ParseFetchOptions(LineReader& reader, ScriptFetch& fetch) {
  while (!reader.Done()) {
    const std::string option = reader.Word("option");
    if (option == "discarded") {
      fetch.discarded = true;
    } else if (option == "no-info") {
      fetch.no_info = true;
    } else if (option == "fails") {
      fetch.fails = true;
    } else {
      reader.Fail("unknown option \"" + option + "\" (discarded, no-info or fails)");
    }
  }
  if (fetch.discarded + fetch.no_info + fetch.fails > 1) {
    reader.Fail("discarded, no-info and fails exclude each other");
  }
}

class Parser {
 public:
  void Line(LineReader& reader) {
    const std::string keyword = reader.Word("keyword");
    if (keyword == "printer") {
      Printer(reader);
    } else if (keyword == "on") {
      const std::string name = reader.Name();
      current_ = nullptr;
      for (ScriptPrinter& printer : script_.printers) {
        if (printer.name == name) current_ = &printer;
      }
      if (!current_) reader.Fail("no printer \"" + name + "\" was declared");
      fetch_ = nullptr;
    } else if (keyword == "pass" || keyword == "restart") {
      if (!current_) reader.Fail("a step needs \"on <printer>\" before it");
      ScriptStep step;
      step.line = reader.Line();
      reader.Expect("after");
      step.after_ms = reader.Number("pause in milliseconds");
      if (keyword == "pass") {
        ParseFetchOptions(reader, step.fetch);
      } else {
        step.kind = StepKind::kRestart;
        step.fetch.fails = true;
        reader.Expect("down");
        if (const std::string down = reader.Word("time down"); down != "forever") {
          LineReader number({{down, false}}, reader.Line());
          step.down_ms = number.Number("time down (milliseconds or forever)");
        }
      }
      current_->steps.push_back(std::move(step));
      fetch_ = keyword == "pass" ? &current_->steps.back().fetch : nullptr;
    } else if (keyword == "refetch") {
      if (!current_ || current_->steps.empty() || current_->steps.back().kind != StepKind::kPass ||
          current_->steps.back().refetch) {
        reader.Fail("\"refetch\" follows a pass of its own");
      }
      ScriptStep& step = current_->steps.back();
      step.refetch.emplace();
      ParseFetchOptions(reader, *step.refetch);
      fetch_ = &*step.refetch;
    } else if (keyword == "field") {
      if (!fetch_) reader.Fail("\"field\" belongs to a pass or a refetch");
      if (fetch_->fails || fetch_->no_info) reader.Fail("a fetch without information has no field");
      fetch_->entries.push_back(ParseEntry(reader));
    } else {
      reader.Fail("unknown keyword \"" + keyword + "\"");
    }
    if (!reader.Done()) reader.Fail("unexpected \"" + reader.Take("").text + "\"");
  }

  SpoolerScript Take() { return std::move(script_); }

 private:
  void Printer(LineReader& reader) {
    ScriptPrinter printer;
    printer.name = reader.Name();
    if (!StrictUtf16(printer.name)) reader.Fail("the printer name is not UTF-8");
    for (const ScriptPrinter& other : script_.printers) {
      if (other.name == printer.name) reader.Fail("printer \"" + printer.name + "\" twice");
    }
    while (!reader.Done()) {
      const std::string option = reader.Word("option");
      if (option == "open-fails") {
        printer.open_fails = true;
      } else if (option == "register-fails") {
        printer.register_fails = true;
      } else {
        reader.Fail("unknown option \"" + option + "\" (open-fails or register-fails)");
      }
    }
    // Steps point into the list: it only grows before the first "on".
    if (current_) reader.Fail("printers are declared before the first \"on\"");
    script_.printers.push_back(std::move(printer));
  }

  SpoolerScript script_;
  ScriptPrinter* current_ = nullptr;
  ScriptFetch* fetch_ = nullptr;
};

}  // namespace

SpoolerScript ParseSpoolerScript(std::string_view text) {
  Parser parser;
  int number = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    ++number;
    LineReader reader(Tokenize(text.substr(start, end - start), number), number);
    if (!reader.Done()) parser.Line(reader);
    start = end + 1;
  }
  return parser.Take();
}

}  // namespace standin_spooler
