// The extended-length path form and back, as plain text rules so that they are tested natively.
#include "corvale/platform/extended_length_path.h"

#include "common/text_encoding.h"

namespace corvale {

namespace {

constexpr std::string_view kExtendedPrefix = "\\\\?\\";
constexpr std::string_view kExtendedUncPrefix = "\\\\?\\UNC\\";

bool IsDelimiter(char c) {
  return c == '\\' || c == '/';
}

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsDrivePath(std::string_view path) {
  return path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' && IsDelimiter(path[2]);
}

// "\\?\", "\\.\" and their slashed spellings name devices and volumes, not a server.
bool IsDevicePath(std::string_view path) {
  return path.size() >= 4 && IsDelimiter(path[0]) && IsDelimiter(path[1]) &&
         (path[2] == '?' || path[2] == '.') && IsDelimiter(path[3]);
}

bool IsUncPath(std::string_view path) {
  return path.size() >= 3 && IsDelimiter(path[0]) && IsDelimiter(path[1]) &&
         !IsDelimiter(path[2]) && !IsDevicePath(path);
}

// The segments of `rest` joined by "\" with empty ones dropped, or false when one of them is a
// segment that Windows would rewrite.
bool JoinCleanSegments(std::string_view rest, std::string& out, size_t& segments) {
  segments = 0;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = start;
    while (end < rest.size() && !IsDelimiter(rest[end])) ++end;
    const std::string_view segment = rest.substr(start, end - start);
    if (!segment.empty()) {
      if (segment == "." || segment == ".." || segment.back() == '.' || segment.back() == ' ') {
        return false;
      }
      if (segments > 0) out += '\\';
      out += segment;
      ++segments;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace

std::string ExtendedLengthPath(std::string_view path, size_t limit) {
  if (varnell::Utf8ToUtf16(path).size() < limit) return std::string(path);
  std::string out;
  std::string_view rest;
  size_t segments_needed = 0;
  if (IsDrivePath(path)) {
    out = kExtendedPrefix;
    out += path.substr(0, 2);
    out += '\\';
    rest = path.substr(3);
  } else if (IsUncPath(path)) {
    // Server and share must both be there for the path to name anything on the network.
    out = kExtendedUncPrefix;
    rest = path.substr(2);
    segments_needed = 2;
  } else {
    return std::string(path);
  }
  size_t segments = 0;
  if (!JoinCleanSegments(rest, out, segments) || segments < segments_needed) {
    return std::string(path);
  }
  if (segments > 0 && IsDelimiter(path.back())) out += '\\';
  return out;
}

std::string OrdinaryPath(std::string_view path) {
  if (path.substr(0, kExtendedUncPrefix.size()) == kExtendedUncPrefix) {
    return "\\\\" + std::string(path.substr(kExtendedUncPrefix.size()));
  }
  if (path.substr(0, kExtendedPrefix.size()) == kExtendedPrefix) {
    const std::string_view rest = path.substr(kExtendedPrefix.size());
    if (IsDrivePath(rest)) return std::string(rest);
  }
  return std::string(path);
}

}  // namespace corvale
