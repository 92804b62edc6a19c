// The main window TForm1: its controls, the engine state it owns and every handler of the
// window and the engine. The handlers are defined in the files of their subsystem:
// engine/startup.cpp, settings/settings_store.cpp, ui/main_form_handlers.cpp, ...
// Owned and used on the main thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "corvale/engine/engine_state.h"
#include "corvale/engine/gx_file_notify.h"
#include "corvale/engine/log_throttle.h"
#include "corvale/engine/print_policy.h"
#include "corvale/engine/status_notices.h"
#include "corvale/engine/watched_folders.h"
#include "corvale/settings/log_file.h"
#include "corvale/ui/controls.h"
#include "corvale/ui/folder_dialog.h"
#include "corvale/ui/save_dialog.h"

namespace corvale {

class Registry;
class FileSystem;
class Printers;
class Shell;
class SystemInfo;
class Clock;
class EventLoop;
class Dialogs;
class FolderBrowser;

// The Windows operations Corvale needs, as the program's main wires them.
struct CorvalePlatform {
  Registry& registry;
  FileSystem& files;
  Printers& printers;
  Shell& shell;
  SystemInfo& system;
  Clock& clock;
  EventLoop& loop;
  Dialogs& dialogs;
  FolderWatchPlatform& watch;
  FolderBrowser& folders;
};

// One file found by a scan: the hidden scan list's item.
struct ScanEntry {
  std::string FileName;   // caption
  std::string Extension;  // without the dot
  std::string Folder;     // without trailing delimiter
  uint32_t DosTime = 0;   // last write, local time, MS-DOS date-time form
};

class TForm1 {
 public:
  explicit TForm1(CorvalePlatform& platform);
  ~TForm1();
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
  Button btnHelp{"btnHelp", "&Help"};
  Button btnAbout{"btnAbout", "&About"};
  StatusBar statBar{"statBar", ""};

  Timer Timer1{"Timer1", 1000};
  Timer Timer2{"Timer2", 2000};
  Timer Timer3{"Timer3", 60000};
  Timer TimerAutoRun{"TimerAutoRun", 1000};

  // Every control and timer, in the order above.
  std::vector<Control*> AllControls();

  // Engine state and log.
  EngineState Engine;
  LogSettings LogOptions;
  LogFile Log;
  // The print utility's success codes and time limit as stored, and as Start put them in force.
  PrintSettings PrintOptions;
  PrintPolicy Policy;
  // The input folders the running server watches, and their health.
  WatchedFolders Folders;
  // What the status bar keeps showing while it lasts, and the causes whose lines are kept to
  // one a minute.
  StatusNotices Notices;
  LogThrottle Throttle;
  // How long closing waits for a print utility that still runs.
  uint32_t CloseWaitMs = 30000;
  bool LaunchedAtLogon = false;
  // Every printer the system reported at start-up, before the printer box's list was made.
  std::vector<std::string> InstalledPrinters;
  std::unique_ptr<TGXThreadFileNotifier> Notifier;
  std::vector<ScanEntry> ScanList;
  // Minimizes the application to the task bar; set by the Win32 window.
  std::function<void()> OnMinimize;

  // Start-up and close.
  void FormCreate();
  bool FormCloseQuery();
  void FormClose();
  // Log-off or shutdown: the same close, inside the time Windows gives and without a box.
  void EndSession();
  // True when closing stopped waiting for a print utility that still runs: the process must end
  // without freeing this window, whose state that job's runner still uses.
  bool RunnersAbandoned() const { return runners_abandoned_; }

  // Settings store.
  void LoadSettings();
  void SaveSettings();
  void ShowLogSettings();

  // Folder watching and intake.
  void ScanInputFolder(TGXThreadFileNotifier* sender, TFileChanges changes,
                       const std::string& folder);
  int FindSlotByInputFolder(const std::string& folder) const;
  // Scans the folders remembered while a scan ran (or whose scan failed), unless one runs.
  void RunRememberedScans();

  // Server start, stop and status.
  void btnStartClick();
  void btnStopClick();
  void CheckFolderAvailability();
  void Timer1Timer();
  void PollStatus();
  bool ServerRunning() const { return Engine.Running; }

  // Job dispatch.
  void Timer2Timer();
  DefaultPrinterSwitch SetWindowsDefaultPrinter(const std::string& printer_name, bool synchronous);
  std::string LocatePrintUtility();
  std::string ShortPathOf(const std::string& path);

  // Log limits.
  void Timer3Timer();

  // Start with the system.
  void UpdateRunEntry();
  void TimerAutoRunTimer();

  // Status text of the engine; from other threads it is handed to the main thread.
  void SetStatusText(const std::string& text) { statBar.SetSimpleText(text); }

  // The printer box's list: the system's printers without "Varnell" and "AFP Printer",
  // at most as many as there are slots.
  static std::vector<std::string> PrinterListForSlots(std::vector<std::string> printers);

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
  // Writes one log line from the main thread. A line that cannot be written does not stop the
  // work that writes it: the status bar says so, and the next line tries again.
  void WriteLog(const std::string& message, const std::string& category);

  CorvalePlatform& Platform() { return platform_; }

 private:
  void BindHandlers();
  bool StartServer();
  // A refusal or warning of Start: a box when the operator pressed Start, a log line and the
  // status bar when the server starts by itself.
  void StartMessage(const std::string& text);
  void WarnWhenWindowsManagesTheDefaultPrinter();
  void RecoverJobStore();
  bool PrinterReadyForSlot(int n, const std::string& printer);
  void WaitForPrintingJobs(uint32_t limit_ms);
  void ShowNotices();
  std::vector<bool> SlotsInReprintLoop() const;
  void WaitForRunner();
  void FolderBoxChanged(EditBox& box, bool input);
  void RememberScan(const std::string& folder);
  void ScanFolderNow(const std::string& folder);
  void ScanSlotFolder(const std::string& folder);
  void TakeFile(int n, const std::string& source, const std::string& store, int64_t last_write);
  int64_t LastWriteOf(const std::string& folder, const std::string& name);
  void ForgetFailedMovesOfFilesGone(int n);
  bool JobFileReleased(int n);
  void MoveBackToInputFolder(const TCTPQueueItem& job);
  void HandleError(const std::function<void()>& handler, bool operator_action);
  HandlerBoundary UnattendedBoundary();
  void NumberBoxExit(EditBox& box, const std::string& message, int32_t* target);
  void BrowseForFolder(TFolderDialog& picker, EditBox& box, const std::string& prompt);

  CorvalePlatform& platform_;
  bool error_box_open_ = false;
  // Set while the server starts by itself (at logon, or its retries) and while the session ends.
  bool unattended_ = false;
  bool runners_abandoned_ = false;
  // While start-up at logon runs, the errors it meets wait here for the log file to be known.
  std::vector<std::string>* deferred_errors_ = nullptr;
  // The notices the status bar showed at the last status tick.
  std::string shown_notices_;
};

}  // namespace corvale
