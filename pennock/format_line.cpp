// FormatLine and the time stamp.
#include "pennock/format_line.h"

#include <vector>

namespace pennock {
namespace {

struct Directive {
  bool left = false;
  bool prefix = false;
  bool zeroPad = false;
  std::size_t width = 0;
  std::size_t precision = 0;
  bool hasPrecision = false;
  char type = 0;
};

// Reads the directive after a '%' starting at `i`; `i` ends on the type character.
Directive ParseDirective(std::string_view format, std::size_t& i) {
  Directive d;
  for (; i < format.size(); ++i) {
    char c = format[i];
    if (c == '-') {
      d.left = true;
    } else if (c == '#') {
      d.prefix = true;
    } else if (c == '0') {
      d.zeroPad = true;
    } else {
      break;
    }
  }
  while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
    d.width = d.width * 10 + static_cast<std::size_t>(format[i++] - '0');
  }
  if (i < format.size() && format[i] == '.') {
    d.hasPrecision = true;
    ++i;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
      d.precision = d.precision * 10 + static_cast<std::size_t>(format[i++] - '0');
    }
  }
  while (i < format.size() && (format[i] == 'l' || format[i] == 'h')) ++i;
  d.type = i < format.size() ? format[i] : 0;
  return d;
}

std::string Digits(std::uint32_t value, unsigned base, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), digits[value % base]);
    value /= base;
  } while (value != 0);
  return text;
}

// Puts a text into the directive's width; texts are padded with blanks only.
void PadText(std::string& out, const Directive& d, std::string_view text) {
  std::size_t fill = d.width > text.size() ? d.width - text.size() : 0;
  if (d.left) {
    out.append(text).append(fill, ' ');
  } else {
    out.append(fill, ' ').append(text);
  }
}

// Puts a number into the directive's width as the Windows formatter does: the minus sign counts
// towards the width and the precision, a hexadecimal prefix towards neither.
void PadNumber(std::string& out, const Directive& d, bool negative, std::string_view prefix,
               std::string digits) {
  std::size_t sign = negative ? 1 : 0;
  if (d.hasPrecision && digits.size() + sign < d.precision) {
    digits.insert(0, d.precision - sign - digits.size(), '0');
  }
  std::size_t length = sign + digits.size();
  std::size_t fill = d.width > length ? d.width - length : 0;
  std::string lead = negative ? "-" : "";
  lead += prefix;
  if (d.left) {
    out.append(lead).append(digits).append(fill, ' ');
  } else if (d.zeroPad) {
    out.append(lead).append(fill, '0').append(digits);
  } else {
    out.append(fill, ' ').append(lead).append(digits);
  }
}

}  // namespace

std::string FormatLine(std::string_view format, std::initializer_list<FormatArg> args) {
  std::vector<FormatArg> values(args);
  std::size_t next = 0;
  auto take = [&]() -> FormatArg { return next < values.size() ? values[next++] : FormatArg(0); };

  std::string out;
  for (std::size_t i = 0; i < format.size() && out.size() < kMaxFormattedLength; ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    ++i;
    if (i < format.size() && format[i] == '%') {
      out += '%';
      continue;
    }
    Directive d = ParseDirective(format, i);
    switch (d.type) {
      case 's': {
        FormatArg arg = take();
        std::string_view text = arg.IsText() ? arg.Text() : std::string_view("(null)");
        text = text.substr(0, text.find('\0'));
        if (d.hasPrecision) text = text.substr(0, d.precision);
        PadText(out, d, text);
        break;
      }
      case 'c': {
        char c = static_cast<char>(take().Number());
        PadText(out, d, std::string_view(&c, 1));
        break;
      }
      case 'd':
      case 'i':
      case 'u':
      case 'x':
      case 'X': {
        std::uint32_t value = take().Number();
        bool negative = (d.type == 'd' || d.type == 'i') && static_cast<std::int32_t>(value) < 0;
        if (negative) value = 0u - value;
        bool hex = d.type == 'x' || d.type == 'X';
        std::string_view prefix;
        if (hex && d.prefix) prefix = d.type == 'X' ? "0X" : "0x";
        PadNumber(out, d, negative, prefix, Digits(value, hex ? 16 : 10, d.type == 'X'));
        break;
      }
      case 0:
        break;
      default:
        // An unknown type shows as itself, as the Windows formatter does.
        out += d.type;
        break;
    }
  }
  if (out.size() > kMaxFormattedLength) out.resize(kMaxFormattedLength);
  return out;
}

std::string FormatTimestamp(const LocalTime& time, std::string_view separator) {
  std::string sep = separator.empty() ? std::string(":") : std::string(separator);
  return FormatLine("%4.4d-%2.2d-%2.2d %2.2d", {time.Year, time.Month, time.Day, time.Hour}) + sep +
         FormatLine("%2.2d", {time.Minute}) + sep + FormatLine("%2.2d", {time.Second});
}

std::string TimestampNow(System& system) {
  return FormatTimestamp(system.GetLocalTime(), system.TimeSeparator());
}

}  // namespace pennock
