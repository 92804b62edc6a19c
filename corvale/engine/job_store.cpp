// Setting a job's file aside in its job store folder under a free name.
#include "corvale/engine/job_store.h"

#include <string_view>

#include "common/text.h"
#include "corvale/engine/engine_state.h"

namespace corvale {

namespace {

constexpr SystemError kFileExists = 80;
constexpr SystemError kAlreadyExists = 183;
// Enough for any folder an operator looks after; a folder that full gives up with its error.
constexpr int kMostNumbers = 9999;

}  // namespace

std::string JobStoreFolderName(const std::string& printer_name) {
  static const char kHex[] = "0123456789ABCDEF";
  const std::string key = PrinterKeyName(printer_name);
  auto escaped = [](char c) {
    return std::string(",") + kHex[static_cast<unsigned char>(c) >> 4] +
           kHex[static_cast<unsigned char>(c) & 0xF];
  };
  std::string name;
  for (size_t i = 0; i < key.size(); ++i) {
    const char c = key[i];
    const bool refused = static_cast<unsigned char>(c) < 0x20 ||
                         std::string_view("/:*?\"<>|").find(c) != std::string_view::npos;
    const bool dropped_at_end = i + 1 == key.size() && (c == '.' || c == ' ');
    name += refused || dropped_at_end ? escaped(c) : std::string(1, c);
  }
  // Windows keeps these for devices, with or without an extension.
  static const char* const kDevices[] = {
      "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
      "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
  const std::string stem = name.substr(0, name.find('.'));
  for (const char* device : kDevices) {
    if (varnell::EqualsIgnoreCase(stem, device)) return "," + name;
  }
  return name;
}

bool IsTargetTaken(SystemError error) {
  return error == kFileExists || error == kAlreadyExists;
}

std::string NumberedName(const std::string& name, int number) {
  const std::string suffix = " (" + std::to_string(number) + ")";
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name + suffix;
  return name.substr(0, dot) + suffix + name.substr(dot);
}

int64_t LastWriteOf(FileSystem& files, const std::string& folder, const std::string& name) {
  for (const FileEntry& entry : files.ListFolder(folder + "\\")) {
    if (!entry.is_directory && entry.name == name) return entry.last_write_utc;
  }
  return 0;
}

std::string PrintedNotePath(const std::string& job_file) {
  return ExtractFileDir(job_file) + "\\" + kPrintedFolder + "\\" + ExtractFileName(job_file) +
         ".printed";
}

SystemError NoteAsPrinted(FileSystem& files, const std::string& job_file, int64_t last_write) {
  const std::string note = PrintedNotePath(job_file);
  const std::string folder = ExtractFileDir(note);
  if (!files.DirectoryExists(folder)) files.CreateDirectories(folder);
  if (files.FileExists(note)) files.DeleteFile(note);
  return files.AppendToFile(note, std::to_string(last_write));
}

bool NotedAsPrinted(FileSystem& files, const std::string& job_file, int64_t last_write) {
  const std::optional<std::string> note = files.ReadTextFile(PrintedNotePath(job_file));
  return note && *note == std::to_string(last_write);
}

SetAsideResult SetJobFileAside(FileSystem& files, const std::string& job_file,
                               const std::string& subfolder) {
  const std::string folder = ExtractFileDir(job_file) + "\\" + subfolder;
  const std::string name = ExtractFileName(job_file);
  if (!files.DirectoryExists(folder)) files.CreateDirectories(folder);
  SetAsideResult result;
  for (int number = 1; number <= kMostNumbers; ++number) {
    result.target = folder + "\\" + (number == 1 ? name : NumberedName(name, number));
    result.error = files.MoveFileNoReplace(job_file, result.target);
    if (!IsTargetTaken(result.error)) break;
  }
  return result;
}

}  // namespace corvale
