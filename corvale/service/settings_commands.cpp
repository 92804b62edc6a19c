// Exporting and importing the settings from the command line.
#include "corvale/service/settings_commands.h"

#include "common/text.h"
#include "corvale/engine/errors.h"
#include "corvale/platform/file_system.h"
#include "corvale/settings/settings_file.h"

namespace corvale {

namespace {

bool Is(const std::vector<std::string>& arguments, const char* command) {
  return !arguments.empty() && varnell::EqualsIgnoreCase(arguments[0], command);
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\r\n  " + line;
  return text;
}

std::string Printers(int count) {
  return std::to_string(count) + (count == 1 ? " printer" : " printers");
}

CommandOutcome Export(const std::string& file, Registry& registry, FileSystem& files) {
  const SettingsExport exported = ExportSettings(registry);
  if (!exported.errors.empty()) {
    return {kCommandFailed,
            "Nothing was exported: these values have the wrong type. Set them in Corvale's window "
            "(closing it writes them again) or mend them in the registry, then export again:" +
                Lines(exported.errors)};
  }
  // Written beside the file and then moved over it, so that a file that was there stays whole
  // when the new one cannot be written.
  const std::string part = file + ".part";
  files.DeleteFile(part);
  SystemError error = files.AppendToFile(part, exported.text);
  if (error == 0) error = files.MoveFile(part, file);
  if (error != 0) {
    files.DeleteFile(part);
    return {kCommandFailed,
            "The settings cannot be written to " + file + ": " + files.ErrorText(error)};
  }
  std::string text = "The settings are exported to " + file + ": [General] and " +
                     Printers(exported.printers) + ".";
  for (const std::string& key : exported.skipped_keys) {
    text += "\r\nThe key HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\" + key +
            " holds no PrinterName: Corvale does not use it, and it is not exported.";
  }
  return {kCommandDone, text};
}

CommandOutcome Import(const std::string& file, Registry& registry, FileSystem& files,
                      const std::function<bool()>& corvale_runs) {
  if (corvale_runs()) {
    return {kCommandFailed,
            "Corvale runs: close it first, then import again. It writes its settings back as it "
            "closes, over what an import would set."};
  }
  const std::optional<std::string> text = files.ReadTextFile(file);
  if (!text) return {kCommandRefused, "The file " + file + " cannot be read."};
  const SettingsImport parsed = ParseSettingsFile(*text);
  if (!parsed.errors.empty()) {
    return {kCommandRefused,
            "Nothing was imported: " + file + " does not check out." + Lines(parsed.errors)};
  }
  try {
    WriteSettingsValues(registry, parsed.values);
  } catch (const Error& e) {
    return {kCommandFailed, "The import stopped: " + std::string(e.what()) +
                                ". The values before it are set; import again once it can be "
                                "written."};
  }
  return {kCommandDone, "The settings of " + file +
                            " are imported: " + std::to_string(parsed.values.size()) + " values, " +
                            Printers(parsed.printers) + "."};
}

}  // namespace

bool IsSettingsCommand(const std::vector<std::string>& arguments) {
  return Is(arguments, "/ExportSettings") || Is(arguments, "/ImportSettings");
}

CommandOutcome RunSettingsCommand(const std::vector<std::string>& arguments, Registry& registry,
                                  FileSystem& files, const std::function<bool()>& corvale_runs) {
  const bool exporting = Is(arguments, "/ExportSettings");
  if (!IsSettingsCommand(arguments)) return {kCommandRefused, "Not a settings command."};
  if (arguments.size() != 2 || varnell::Trim(arguments[1]).empty()) {
    return {kCommandRefused, std::string("Give the file: corvale.exe ") +
                                 (exporting ? "/ExportSettings" : "/ImportSettings") + " FILE"};
  }
  if (exporting) return Export(arguments[1], registry, files);
  return Import(arguments[1], registry, files, corvale_runs);
}

}  // namespace corvale
