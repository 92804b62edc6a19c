// Engine helpers: printer key names, folder creation, WOW64 detection, path parts.
#include "corvale/engine/engine_state.h"

#include "common/text.h"
#include "corvale/engine/errors.h"
#include "corvale/platform/file_system.h"
#include "corvale/platform/system_info.h"

namespace corvale {

std::string PrinterKeyName(const std::string& printer_name) {
  return varnell::ReplaceAll(printer_name, "\\", "#");
}

void EnsureFolder(FileSystem& files, const std::string& folder) {
  std::string path = varnell::WithoutTrailingDelimiter(varnell::Trim(folder));
  if (!path.empty()) files.CreateDirectories(path);
}

bool IsWow64(SystemInfo& system) {
  switch (system.IsWow64Process()) {
    case Wow64Answer::kNotAvailable:
      return false;
    case Wow64Answer::kCallFailed:
      throw Error("IsWow64: bad process handle");
    case Wow64Answer::kNo:
      return false;
    case Wow64Answer::kYes:
      return true;
  }
  return false;
}

static size_t LastDelimiter(const std::string& path) {
  return path.find_last_of("\\/:");
}

std::string ExtractFileDir(const std::string& path) {
  size_t pos = LastDelimiter(path);
  if (pos == std::string::npos) return {};
  // "C:\x" keeps "C:\"; otherwise the delimiter is dropped.
  if (pos > 0 && path[pos] == '\\' && path[pos - 1] == ':') return path.substr(0, pos + 1);
  if (path[pos] == ':') return path.substr(0, pos + 1);
  return path.substr(0, pos);
}

std::string ExtractFileName(const std::string& path) {
  size_t pos = LastDelimiter(path);
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

}  // namespace corvale
