// The main window TForm1: its controls and dialogs, the settings they edit, and the print server
// it hosts and shows. The window's handlers are defined in ui/main_form_*.cpp; what the server
// does is the server's (engine/print_server.h).
// Owned and used on the main thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "corvale/engine/print_server.h"
#include "corvale/settings/settings.h"
#include "corvale/ui/controls.h"
#include "corvale/ui/folder_dialog.h"
#include "corvale/ui/save_dialog.h"

namespace corvale {

class Dialogs;
class FolderBrowser;
class ServiceManager;

// The Windows operations Corvale needs, as the program's main wires them: the server's, the
// window's boxes and dialogs, and the service it may show.
struct CorvalePlatform : ServerPlatform {
  Dialogs& dialogs;
  FolderBrowser& folders;
  ServiceManager& services;
};

class TForm1 : public ServerView {
 public:
  explicit TForm1(CorvalePlatform& platform);
  ~TForm1() override;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // Controls, top to bottom.
  Label Label1{"Label1", "Target Printer:"};
  ComboBox cmbPrinter{"cmbPrinter", ""};
  CheckBox cbEnableEmulation{"cbEnableEmulation", "Enable AFP and IPDS Printer Emulation", false};
  Button btnWizard{"btnWizard", "&Wizard..."};
  Label Label5{"Label5", "Print Job in Queue:"};
  Label lblJobStatus{"lblJobStatus", ""};
  Label GroupBox1{"GroupBox1", "Printer Emulation Settings"};
  Label Label2{"Label2", "Input Folder:"};
  EditBox edtInputFolder{"edtInputFolder", ""};
  Button btnBrowseInputFolder{"btnBrowseInputFolder", "..."};
  CheckBox cbDeleteAFP{"cbDeleteAFP",
                       "Delete AFP files from Input Folder without moving to Done Folder when "
                       "printing completes",
                       false};
  Label Label3{"Label3", "Done Folder:"};
  EditBox edtDoneFolder{"edtDoneFolder", ""};
  Button btnBrowseDoneFolder{"btnBrowseDoneFolder", "..."};
  Label Label4{"Label4", "Queue Depth:"};
  EditBox edtQueueDepth{"edtQueueDepth", "2"};
  CheckBox cbLog{"cbLog", "Enable logging", true};
  CheckBox cbAutoRun{"cbAutoRun", "Run this program on system startup", false};
  Label GroupBox2{"GroupBox2", "Log"};
  Label Label6{"Label6", "Log File:"};
  EditBox edtLogFile{"edtLogFile", ""};
  Button btnBrowseLogFile{"btnBrowseLogFile", "..."};
  CheckBox cbLogDeleteBySize{"cbLogDeleteBySize", "Keep log file less than ", false};
  EditBox edtMB{"edtMB", "2"};
  Label lblMB{"lblMB", "MB"};
  CheckBox cbTimeStamp{"cbTimeStamp", "Append date information to log file name", false};
  CheckBox cbLogDeleteByDay{"cbLogDeleteByDay", "Delete log file older than ", false};
  EditBox edtDays{"edtDays", "10"};
  Label lblDays{"lblDays", "days"};
  Button btnStart{"btnStart", "&Start"};
  Button btnStop{"btnStop", "St&op"};
  Button btnPrintAgain{"btnPrintAgain", "Print &again"};
  Button btnExportSettings{"btnExportSettings", "E&xport..."};
  Button btnImportSettings{"btnImportSettings", "&Import..."};
  Button btnHelp{"btnHelp", "&Help"};
  Button btnAbout{"btnAbout", "&About"};
  StatusBar statBar{"statBar", ""};

  Timer Timer1{"Timer1", 1000};
  Timer Timer2{"Timer2", 2000};
  Timer Timer3{"Timer3", 60000};
  Timer TimerAutoRun{"TimerAutoRun", 1000};

  // Every control and timer, in the order above.
  std::vector<Control*> AllControls();

  // The settings as the controls show them; every edit is put in force in the server at once.
  Settings Config;
  PrintServer Server;
  // How long closing waits for a print utility that still runs.
  uint32_t CloseWaitMs = kCloseWaitMs;
  bool LaunchedAtLogon = false;
  // Minimizes the application to the task bar; set by the Win32 window.
  std::function<void()> OnMinimize;

  // Start-up and close.
  void FormCreate();
  bool FormCloseQuery();
  void FormClose();
  // Log-off or shutdown: the same close, inside the time Windows gives and without a box.
  void EndSession();
  // A deployment script asked every Corvale to close (corvale.exe /Close): the same close, with
  // its whole wait for a print that still runs, and without a box.
  void CloseOnRequest();

  // Shows the log settings of Config in their controls.
  void ShowLogSettings();
  // Greys the controls of what the administrator's policy set (Config.Policy), for the computer
  // and for the selected printer, and says so in the status bar.
  void ShowPolicy();

  // When the Corvale service is installed, the window is its console: it runs no server of its
  // own, shows the service's state, starts and stops it, and (for the service's account) saves
  // every edit at once for the service's next Start.
  bool ServiceConsole() const { return service_console_; }

  // The server's buttons and ticks.
  void btnStartClick();
  void btnStopClick();
  // Puts the selected printer's failed jobs back into its input folder.
  void btnPrintAgainClick();
  // "corvale.exe /PrintFailedAgain [printer]" handed to this window: as btnPrintAgainClick for
  // the named printer (every served printer when empty), without a box.
  PrintServer::PrintAgainOutcome PrintAgainRequested(const std::string& printer);
  void Timer1Timer();
  void Timer2Timer();
  void Timer3Timer();
  void TimerAutoRunTimer();

  // What the server shows.
  void ShowStatusText(const std::string& text) override { statBar.SetSimpleText(text); }
  void ShowJobsInQueue(int32_t count) override;
  void RunningChanged(bool running) override;
  void ShowStartMessage(const std::string& text) override;
  void FailedJobsCounted() override;

  // Window handlers.
  void ShowSlot(const std::string& printer_name);
  void cmbPrinterSelect();
  void cbEnableEmulationClick();
  void cbDeleteAFPClick();
  void edtInputFolderChange();
  void edtDoneFolderChange();
  void edtLogFileChange();
  void cbLogClick();
  void cbLogDeleteBySizeClick();
  void cbTimeStampClick();
  void cbLogDeleteByDayClick();
  void FormCanResize(int& NewWidth, int& NewHeight, bool& Resize);
  void edtQueueDepthExit();
  void edtMBExit();
  void edtDaysExit();
  void btnBrowseInputFolderClick();
  void btnBrowseDoneFolderClick();
  void btnBrowseLogFileClick();
  void btnHelpClick();
  void btnAboutClick();
  // Every setting of this user to a settings file, as "corvale.exe /ExportSettings" writes it;
  // the window's settings are saved first, as closing saves them.
  void btnExportSettingsClick();
  // A settings file checked whole and then written, as "corvale.exe /ImportSettings" does, and
  // shown in the window; a file that does not check out changes nothing.
  void btnImportSettingsClick();
  void btnWizardClick();

  // Non-visual parts: the folder pickers and the save dialog.
  TFolderDialog InputFolderDialog;
  TFolderDialog DoneFolderDialog;
  TSaveDialog SaveDialog1;
  // The window's outer size, kept by the Win32 window; resize requests are answered with it.
  int Width = 0;
  int Height = 0;

  // Runs one handler of what an operator did (a click, a typed value, a dialog) at the boundary
  // of the window: an error it raises is logged and shown to the operator in a box, and the
  // program goes on. While one error box is open, further errors are not shown in more boxes;
  // the status bar tells of them.
  void Guarded(const std::function<void()>& handler);
  // Runs one handler that no operator started (a timer tick, a change report, a posted call):
  // an error it raises is logged and shown in the status bar, never in a box that would hold the
  // server until someone clicks.
  void GuardedUnattended(const std::function<void()>& handler);

  // The selected slot (printer box index + 1), or 0 when no printer is selected.
  int SelectedSlot() const;
  // The program's folder, without trailing delimiter.
  std::string ProgramFolder() const;

  CorvalePlatform& Platform() { return platform_; }

 private:
  void BindHandlers();
  // Reads the settings from the registry into Config and shows them; errors go to `report`.
  void LoadSettingsIntoWindow(const std::vector<std::string>& installed,
                              const std::function<void(const std::vector<std::string>&)>& report);
  // Saves the window's settings as closing does.
  void SaveWindowSettings();
  void EnterServiceConsoleWhenInstalled();
  // Greys what Config.Policy sets; returns the status text that says so, or "" when nothing is.
  std::string GreyPolicyControls();
  void ReleasePrinterPolicy();
  void ShowService();
  void ControlService(bool start);
  bool ServiceFolderText(EditBox& box, std::string& folder);
  // Puts the edited Config in force in the server.
  void SettingsEdited();
  void FolderBoxChanged(EditBox& box, bool input);
  void HandleError(const std::function<void()>& handler, bool operator_action);
  void NumberBoxExit(EditBox& box, const std::string& message, int32_t* target);
  void BrowseForFolder(TFolderDialog& picker, EditBox& box, const std::string& prompt);

  CorvalePlatform& platform_;
  bool error_box_open_ = false;
  // Set while ShowSlot puts a slot's values into the controls.
  bool showing_slot_ = false;
  // Set while the server starts by itself (at logon, or its retries) and while the session ends.
  bool unattended_ = false;
  // While start-up at logon runs, the errors it meets wait here for the log file to be known.
  std::vector<std::string>* deferred_errors_ = nullptr;
  bool service_console_ = false;
  std::string service_account_;
  bool service_edits_allowed_ = false;
  // Settings saved while the service ran, which it takes at its next Start.
  bool saved_while_serving_ = false;
  bool service_up_ = false;
  // The folder of the settings file exported or imported last; the dialogs open there.
  std::string settings_file_folder_;
};

}  // namespace corvale
