// The settings file from the window: "Export..." and "Import...", the same files and checks as
// "corvale.exe /ExportSettings" and "/ImportSettings".
#include <optional>
#include <string>
#include <vector>

#include "corvale/engine/engine_state.h"
#include "corvale/engine/errors.h"
#include "corvale/platform/dialogs.h"
#include "corvale/platform/printers.h"
#include "corvale/service/settings_commands.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

namespace {

constexpr char kSettingsFileName[] = "Corvale settings.txt";

}  // namespace

void TForm1::btnExportSettingsClick() {
  const std::optional<std::string> file =
      platform_.dialogs.ChooseSaveFile({settings_file_folder_, kSettingsFileName});
  if (!file) return;
  settings_file_folder_ = ExtractFileDir(*file);
  // The file holds what the window shows, edits of this run included.
  if (!service_console_ || service_edits_allowed_) SaveWindowSettings();
  const CommandOutcome outcome = RunSettingsCommand({"/ExportSettings", *file}, platform_.registry,
                                                    platform_.files, [] { return false; });
  if (outcome.exit_code != kCommandDone) throw Error(outcome.text);
  platform_.dialogs.ShowMessage(outcome.text);
}

void TForm1::btnImportSettingsClick() {
  if (service_console_ && !service_edits_allowed_) {
    throw Error("The service runs as " + service_account_ +
                "; its settings are imported by that account.");
  }
  const std::optional<std::string> file =
      platform_.dialogs.ChooseOpenFile({settings_file_folder_, std::string()});
  if (!file) return;
  settings_file_folder_ = ExtractFileDir(*file);
  // What the file does not name keeps what the window shows; this window writes its settings
  // back as it closes, and so holds the imported ones from now on.
  SaveWindowSettings();
  const CommandOutcome outcome = RunSettingsCommand({"/ImportSettings", *file}, platform_.registry,
                                                    platform_.files, [] { return false; });
  // An import that stopped halfway has set the values before the one that failed.
  if (outcome.exit_code != kCommandRefused) {
    LoadSettingsIntoWindow(platform_.printers.ListPrinters(),
                           [&](const std::vector<std::string>& errors) {
                             for (const std::string& error : errors)
                               Guarded([&] { throw Error(error); });
                           });
    if (!cmbPrinter.Items().empty()) ShowSlot(cmbPrinter.Text());
  }
  if (outcome.exit_code != kCommandDone) throw Error(outcome.text);
  platform_.dialogs.ShowMessage(outcome.text);
}

}  // namespace corvale
