; setup.exe: installs, upgrades and removes Corvale, Pennock, Falcrest and Corvale's help.
; The Windows build runs makensis with these definitions:
;   VERSION          four-part version of Corvale (2.0.0.512)
;   PRODUCT_VERSION  the version operators see (2.0.0)
;   FILE_VERSION     the version text of the file (2.0.0 (build 512))
;   BIN_DIR          the folder of the built programs
;   OUT_FILE         the setup to write
;   ICON             the product icon, Corvale's
;   HELP_FILE        Corvale.chm, when the build makes it
;   MSI_UPGRADE_CODE the upgrade code of Corvale's MSI package, in braces
;   POLICY_DIR       the folder of the Group Policy template (Corvale.admx, en-US\Corvale.adml)

Unicode true
XPStyle on
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include nsDialogs.nsh
!include FileFunc.nsh

!define PRODUCT "Corvale"
!define PRODUCT_TITLE "Corvale, Pennock and Falcrest"
!define PUBLISHER "Varnell"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnell"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Corvale"
!define RUN_ARGUMENT " /LaunchOnStartup"
!define SETTINGS_KEY "SOFTWARE\Varnell"
!define START_MENU "$SMPROGRAMS\Varnell"
!define UNINSTALLER "uninstall.exe"
!define DEFAULT_LOG "Varnell.log"
; The machine's Users group, by its well-known SID so that it is found in every language.
!define USERS_SID "*S-1-5-32-545"
; Corvale's Windows service, which corvale.exe installs, removes, starts and stops itself.
!define SERVICE_NAME "Corvale"
!define SERVICE_KEY "SYSTEM\CurrentControlSet\Services\${SERVICE_NAME}"
; Corvale's event source in the Application log: its texts are in corvale.exe's message table.
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Corvale"

Name "${PRODUCT}"
; Deployment scripts know it as setup.exe. Windows treats a program of that name as an installer,
; which it is; its manifest asks for administrator rights already.
!pragma warning disable 9000
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES\Varnell"
; An earlier installation is upgraded where it is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PUBLISHER} ${PRODUCT} ${PRODUCT_VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT_TITLE} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=1033 "OriginalFilename" "setup.exe"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright © ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This will install ${PRODUCT_TITLE} ${PRODUCT_VERSION}: the hot-folder \
print server Corvale, the spooler monitor Pennock and the AFP printer installer Falcrest.$\r$\n$\r$\n\
An earlier installation is upgraded in place; its waiting jobs, log files and settings are kept.\
$\r$\n$\r$\nPlease close Pennock before you continue. A Corvale that runs is closed (its queued \
files go back to their input folders) and opened again once the programs are replaced."

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

UninstPage custom un.OptionsPageShow un.OptionsPageLeave
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var RemoveSettings
Var RemoveSettingsBox
; /SERVICE /ACCOUNT=NAME [/PASSWORD=SECRET]: install Corvale's service, running as that account.
Var ServiceWanted
Var AutostartWanted
Var ServiceAccount
Var ServicePassword
; 1 when the service of this installation is to run at the end of the setup: the setup stopped it,
; or installed it.
Var ServiceToStart
; 1 once the setup has closed the Corvales that ran from the installation: they start again at
; its end. The first close is tried once.
Var CorvaleToReopen
Var CorvaleCloseTried

; --- Shared by the setup and the uninstaller ---------------------------------------------------

; RunningProgram: pushes the name of one of our programs that runs from $INSTDIR, or "".
; Every process's image is compared with ours by short path, so a different spelling of the
; same folder still matches and a program of the same name elsewhere never does.
!macro RUNNING_PROGRAM un
Function ${un}RunningProgram
  ; $R8, the answer, first: the others come off the stack in the reverse order, and $R8 last.
  Push $R8
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  Push $R6
  Push $R7
  StrCpy $R8 ""
  StrCpy $R5 ""
  StrCpy $R6 ""
  StrCpy $R7 ""
  GetFullPathName /SHORT $R5 "$INSTDIR\corvale.exe"
  GetFullPathName /SHORT $R6 "$INSTDIR\pennock.exe"
  GetFullPathName /SHORT $R7 "$INSTDIR\falcrest.exe"
  ${If} "$R5$R6$R7" != ""
    ; Room for 4,096 process ids.
    System::Alloc 16384
    Pop $R0
    System::Call 'psapi::EnumProcesses(p R0, i 16384, *i .R1) i .R2'
    ${If} $R2 <> 0
      IntOp $R1 $R1 / 4
      StrCpy $R2 0
      ${DoWhile} $R2 < $R1
        IntOp $R3 $R2 * 4
        IntPtrOp $R3 $R0 + $R3
        System::Call '*$R3(i .R3)'
        ; PROCESS_QUERY_LIMITED_INFORMATION
        System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i R3) p .R3'
        ${If} $R3 P<> 0
          System::Call 'kernel32::QueryFullProcessImageNameW(p R3, i 0, w .R4, *i ${NSIS_MAX_STRLEN}) i .s'
          System::Call 'kernel32::CloseHandle(p R3)'
          Pop $R3
          ${If} $R3 <> 0
            GetFullPathName /SHORT $R4 $R4
            ${If} $R4 == ""
              ; an image that no longer resolves is none of ours
            ${ElseIf} $R4 == $R5
              StrCpy $R8 "Corvale"
            ${ElseIf} $R4 == $R6
              StrCpy $R8 "Pennock"
            ${ElseIf} $R4 == $R7
              StrCpy $R8 "Falcrest"
            ${EndIf}
            ${If} $R8 != ""
              ${ExitDo}
            ${EndIf}
          ${EndIf}
        ${EndIf}
        IntOp $R2 $R2 + 1
      ${Loop}
    ${EndIf}
    System::Free $R0
  ${EndIf}
  Pop $R7
  Pop $R6
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
  Exch $R8
FunctionEnd
!macroend
!insertmacro RUNNING_PROGRAM ""
!insertmacro RUNNING_PROGRAM "un."

; OwnService: pushes 1 when Corvale's service is installed and runs corvale.exe of $INSTDIR, else 0.
; The service's command line is "<folder>\corvale.exe" /Service; its program is compared with ours
; by short path, as the running programs are, so that a service of a Corvale elsewhere is not ours.
!macro OWN_SERVICE un
Function ${un}OwnService
  Push $R0
  Push $R1
  Push $R2
  StrCpy $R2 0
  ReadRegStr $R0 HKLM "${SERVICE_KEY}" "ImagePath"
  StrCpy $R1 $R0 1
  ${If} $R1 == '"'
    ; the program: up to the closing quote
    StrCpy $R0 $R0 "" 1
    StrCpy $R1 0
    ${Do}
      StrCpy $R2 $R0 1 $R1
      ${If} $R2 == '"'
      ${OrIf} $R2 == ""
        ${ExitDo}
      ${EndIf}
      IntOp $R1 $R1 + 1
    ${Loop}
    StrCpy $R0 $R0 $R1
    StrCpy $R2 0
    GetFullPathName /SHORT $R0 $R0
    GetFullPathName /SHORT $R1 "$INSTDIR\corvale.exe"
    ${If} $R0 != ""
    ${AndIf} $R0 == $R1
      StrCpy $R2 1
    ${EndIf}
  ${EndIf}
  StrCpy $R0 $R2
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd
!macroend
!insertmacro OWN_SERVICE ""
!insertmacro OWN_SERVICE "un."

; ServiceCommand ARGUMENTS: runs "$INSTDIR\corvale.exe" ARGUMENTS hidden and waits for it; pushes
; what it said, then its exit code (on top; "error" when it did not run).
!macro SERVICE_COMMAND un
Function ${un}ServiceCommand
  Exch $0
  nsExec::ExecToStack '"$INSTDIR\corvale.exe" $0'
  Pop $0
  Exch
  Exch $0
FunctionEnd
!macroend
!insertmacro SERVICE_COMMAND ""
!insertmacro SERVICE_COMMAND "un."

; EnsureProgramsClosed: a Corvale that runs from $INSTDIR is closed through its own close path
; (its queued files go back to their input folders, its settings are saved), in every session, by
; corvale.exe /Close; the operator is told first, and a cancel changes nothing. Pennock, Falcrest,
; or a Corvale that does not close, the operator is asked to close; if one is kept running (always
; so in silent mode), ends with a non-zero exit code before anything has been changed.
!macro ENSURE_PROGRAMS_CLOSED un notice
Function ${un}EnsureProgramsClosed
  Push $0
  check:
    Call ${un}RunningProgram
    Pop $0
    StrCmp $0 "" closed
    ${If} $0 == "Corvale"
    ${AndIf} $CorvaleCloseTried != 1
      StrCpy $CorvaleCloseTried 1
      MessageBox MB_OKCANCEL|MB_ICONINFORMATION \
        "Corvale is running from $INSTDIR.$\r$\n$\r$\n${notice}" /SD IDOK IDCANCEL refused
      Call ${un}CloseCorvale
      Goto check
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "$0 is running from $INSTDIR.$\r$\n$\r$\nClose $0, then choose Retry." /SD IDCANCEL IDRETRY check
  refused:
    SetErrorLevel 2
    Abort "$0 is running from $INSTDIR; nothing was changed."
  closed:
  Pop $0
FunctionEnd
!macroend
!insertmacro ENSURE_PROGRAMS_CLOSED "" "The setup closes it now (its queued files go back to \
their input folders) and starts it again once the programs are replaced."
!insertmacro ENSURE_PROGRAMS_CLOSED "un." "The uninstaller closes it now (its queued files go \
back to their input folders)."

; --- Setup -------------------------------------------------------------------------------------

; CloseCorvale: the corvale.exe about to be installed asks every Corvale of the computer to close
; (an installed one may be too old to know /Close), and waits up to a minute. The sessions whose
; Corvale it closed are noted for /Reopen at the end.
Function CloseCorvale
  InitPluginsDir
  File "/oname=$PLUGINSDIR\corvale.exe" "${BIN_DIR}/corvale.exe"
  nsExec::ExecToStack '"$PLUGINSDIR\corvale.exe" /Close 60'
  Pop $0
  Pop $1
  DetailPrint "corvale.exe /Close 60: exit code $0: $1"
  ${If} $0 == 0
    StrCpy $CorvaleToReopen 1
  ${EndIf}
FunctionEnd

; The Corvales the setup closed start again, each in its session as its user (/LaunchOnStartup),
; whether the setup got through or not.
Function ReopenCorvale
  ${If} $CorvaleToReopen == 1
  ${AndIf} ${FileExists} "$INSTDIR\corvale.exe"
    StrCpy $CorvaleToReopen 0
    Push "/Reopen"
    Call ServiceCommand
    Pop $0
    Pop $1
    DetailPrint "corvale.exe /Reopen: exit code $0: $1"
  ${EndIf}
FunctionEnd

Function .onInit
  SetShellVarContext all
  Call RefuseMsiInstallation
  Call ReadServiceOptions
FunctionEnd

; /SERVICE /ACCOUNT=NAME [/PASSWORD=SECRET] ask for Corvale's service, running as that account. A
; service needs its account: /SERVICE without /ACCOUNT is refused with exit code 4 before anything
; is changed. A value with spaces or a "/" in it is given in quotes: /ACCOUNT="PRINT\Print Room".
Function ReadServiceOptions
  Push $0
  ${GetParameters} $0
  StrCpy $ServiceWanted 0
  ClearErrors
  ${GetOptions} $0 "/SERVICE" $ServiceAccount
  ${IfNot} ${Errors}
    StrCpy $ServiceWanted 1
  ${EndIf}
  StrCpy $ServiceAccount ""
  StrCpy $ServicePassword ""
  ${GetOptions} $0 "/ACCOUNT=" $ServiceAccount
  ${GetOptions} $0 "/PASSWORD=" $ServicePassword
  StrCpy $AutostartWanted 0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART" $1
  ${IfNot} ${Errors}
    StrCpy $AutostartWanted 1
  ${EndIf}
  ${If} $ServiceWanted = 1
  ${AndIf} $ServiceAccount == ""
    MessageBox MB_OK|MB_ICONSTOP "/SERVICE needs the account the service runs as: \
/SERVICE /ACCOUNT=NAME /PASSWORD=SECRET.$\r$\n$\r$\nNothing was changed." /SD IDOK
    SetErrorLevel 4
    Quit
  ${EndIf}
  ; The service serves with nobody logged on; a window started at every logon would only show it.
  ${If} $ServiceWanted = 1
  ${AndIf} $AutostartWanted = 1
    MessageBox MB_OK|MB_ICONSTOP "/AUTOSTART starts Corvale at every logon, /SERVICE runs it as a \
service: give one of the two.$\r$\n$\r$\nNothing was changed." /SD IDOK
    SetErrorLevel 4
    Quit
  ${EndIf}
  Pop $0
FunctionEnd

; A setup that stopped the service and then fails leaves it running again, as it found it.
Function .onInstFailed
  Call ReopenCorvale
  Call StartOwnService
FunctionEnd

Function StartOwnService
  ${If} $ServiceToStart = 1
    Push "/StartService"
    Call ServiceCommand
    Pop $0
    Pop $1
    DetailPrint "$1"
    StrCpy $ServiceToStart 0
  ${EndIf}
FunctionEnd

; ServiceStopped: pushes 1 when Corvale's service is stopped (or not there), else 0.
Function ServiceStopped
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $4 1
  ; SC_MANAGER_CONNECT, SERVICE_QUERY_STATUS
  System::Call 'advapi32::OpenSCManagerW(p 0, p 0, i 1) p .r0'
  ${If} $0 P<> 0
    System::Call 'advapi32::OpenServiceW(p r0, w "${SERVICE_NAME}", i 4) p .r1'
    ${If} $1 P<> 0
      ; SERVICE_STATUS: seven DWORDs, the second the current state (1: stopped)
      System::Call '*(i 0, i 1, i 0, i 0, i 0, i 0, i 0) p .r2'
      System::Call 'advapi32::QueryServiceStatus(p r1, p r2) i .r3'
      ${If} $3 <> 0
        System::Call '*$2(i, i .r3)'
        ${IfThen} $3 <> 1 ${|} StrCpy $4 0 ${|}
      ${EndIf}
      System::Free $2
      System::Call 'advapi32::CloseServiceHandle(p r1)'
    ${EndIf}
    System::Call 'advapi32::CloseServiceHandle(p r0)'
  ${EndIf}
  StrCpy $0 $4
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The service of this installation runs corvale.exe from it: stopped, it no longer counts as a
; running Corvale, and its program can be replaced. When it ran, it runs again at the end of the
; setup.
Function StopOwnService
  Call OwnService
  Pop $0
  Call ServiceStopped
  Pop $1
  ${If} $0 = 1
  ${AndIf} $1 = 0
    Push "/StopService"
    Call ServiceCommand
    Pop $0
    Pop $1
    DetailPrint "$1"
    ${If} $0 == 0
      StrCpy $ServiceToStart 1
    ${EndIf}
  ${EndIf}
FunctionEnd

; With /SERVICE: the service of this installation is installed anew with the account given (one
; that is there already is removed first); without, a service that is there stays as it is, with
; its account. A service that cannot be installed fails the setup with exit code 5; the programs
; stay installed.
Function InstallService
  ${If} $ServiceWanted = 1
    Call OwnService
    Pop $0
    ${If} $0 = 1
      Push "/RemoveService"
      Call ServiceCommand
      Pop $0
      Pop $1
      DetailPrint "$1"
      ${If} $0 != 0
        Goto failed
      ${EndIf}
      StrCpy $ServiceToStart 0
    ${EndIf}
    ${If} $ServicePassword == ""
      Push '/InstallService "/Account:$ServiceAccount"'
    ${Else}
      Push '/InstallService "/Account:$ServiceAccount" "/Password:$ServicePassword"'
    ${EndIf}
    Call ServiceCommand
    Pop $0
    Pop $1
    DetailPrint "$1"
    ${If} $0 != 0
      Goto failed
    ${EndIf}
    ; The new service runs at once, not only from the next start of Windows on.
    StrCpy $ServiceToStart 1
  ${EndIf}
  Return
  failed:
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT_TITLE} are installed in $INSTDIR, but the service \
${SERVICE_NAME} could not be installed (corvale.exe: exit code $0):$\r$\n$\r$\n$1" /SD IDOK
    SetErrorLevel 5
    Abort "The service ${SERVICE_NAME} could not be installed."
FunctionEnd

; Corvale installed from its MSI package belongs to Windows Installer, which upgrades and removes
; it: the setup would put a second installation over it, one that Windows Installer neither knows
; nor removes. The setup refuses before anything is changed, with exit code 3.
Function RefuseMsiInstallation
  Push $0
  Push $1
  StrCpy $1 ""
  System::Call 'msi::MsiEnumRelatedProductsW(w "${MSI_UPGRADE_CODE}", i 0, i 0, w .r1) i .r0'
  ${If} $0 = 0
  ${AndIf} $1 != ""
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT_TITLE} is installed on this computer from its \
Windows Installer package (product code $1).$\r$\n$\r$\nsetup.exe does not install over it. \
Upgrade it with a newer package, or remove it (msiexec /x $1) and run setup.exe again." /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

Section "-Programs" SecPrograms
  Call StopOwnService
  Call EnsureProgramsClosed

  SetOutPath "$INSTDIR"
  File "${BIN_DIR}/corvale.exe"
  File "${BIN_DIR}/pennock.exe"
  File "${BIN_DIR}/falcrest.exe"
!ifdef HELP_FILE
  File "${HELP_FILE}"
!endif
  SetOutPath "$INSTDIR\PolicyDefinitions"
  File "${POLICY_DIR}/Corvale.admx"
  SetOutPath "$INSTDIR\PolicyDefinitions\en-US"
  File "${POLICY_DIR}/en-US/Corvale.adml"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  Call PrepareOperatorData

  CreateDirectory "${START_MENU}"
  CreateShortcut "${START_MENU}\Corvale.lnk" "$INSTDIR\corvale.exe"
  CreateShortcut "${START_MENU}\Pennock.lnk" "$INSTDIR\pennock.exe"
!ifdef HELP_FILE
  CreateShortcut "${START_MENU}\Corvale Help.lnk" "$INSTDIR\Corvale.chm"
!endif

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_TITLE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\corvale.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  SectionGetSize ${SecPrograms} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  Call RegisterEventSource
  Call WriteAutostartEntry
  Call InstallService
  Call StartOwnService
  Call ReopenCorvale
SectionEnd

; Corvale's events in the Application log show their texts through corvale.exe's message table.
Function RegisterEventSource
  WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\corvale.exe"
  WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7
FunctionEnd

; /AUTOSTART: the machine-wide Run entry, as Corvale writes it when its box is ticked (the short
; path and /LaunchOnStartup), in the 64-bit view on 64-bit Windows, where Corvale writes it.
Function WriteAutostartEntry
  ${If} $AutostartWanted = 1
    GetFullPathName /SHORT $0 "$INSTDIR\corvale.exe"
    SetRegView 64
    WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" "$0${RUN_ARGUMENT}"
    SetRegView default
    DetailPrint "Corvale starts at every logon: $0${RUN_ARGUMENT}"
  ${EndIf}
FunctionEnd

; Corvale keeps taken files in JobStore and logs to Varnell.log beside itself. A standard user
; may create neither in a protected folder, and nothing redirects those writes, so the Users
; group may modify exactly these two and nothing else of the installation. Both are kept as they
; are when they exist. Where the file system has no access lists, icacls fails and that is all.
Function PrepareOperatorData
  CreateDirectory "$INSTDIR\JobStore"
  ${IfNot} ${FileExists} "$INSTDIR\${DEFAULT_LOG}"
    FileOpen $0 "$INSTDIR\${DEFAULT_LOG}" w
    FileClose $0
  ${EndIf}
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR\JobStore" /grant ${USERS_SID}:(OI)(CI)M'
  Pop $0
  DetailPrint "Users may modify the job store: icacls returned $0"
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR\${DEFAULT_LOG}" /grant ${USERS_SID}:M'
  Pop $0
  DetailPrint "Users may modify the log file: icacls returned $0"
  ; The job record of the default log goes to Jobs beside it.
  CreateDirectory "$INSTDIR\Jobs"
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR\Jobs" /grant ${USERS_SID}:(OI)(CI)M'
  Pop $0
  DetailPrint "Users may modify the job record: icacls returned $0"
FunctionEnd

; --- Uninstaller -------------------------------------------------------------------------------

Function un.onInit
  SetShellVarContext all
FunctionEnd

; The uninstaller was written by the setup of this installation: its corvale.exe knows /Close.
; Nothing opens Corvale again after a removal: the note of the sessions it was closed in goes.
Function un.CloseCorvale
  nsExec::ExecToStack '"$INSTDIR\corvale.exe" /Close 60'
  Pop $0
  Pop $1
  DetailPrint "corvale.exe /Close 60: exit code $0: $1"
  Delete "$APPDATA\Varnell\Corvale.reopen"
FunctionEnd

; un.SessionUser: pushes the user logged on to this session, "" when Windows does not tell.
Function un.SessionUser
  Push $0
  Push $1
  Push $2
  StrCpy $0 ""
  ; WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSUserName
  System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 5, *p .r1, *i .r2) i .r2'
  ${If} $2 <> 0
    System::Call 'kernel32::lstrcpynW(w .r0, p r1, i ${NSIS_MAX_STRLEN})'
    System::Call 'wtsapi32::WTSFreeMemory(p r1)'
  ${EndIf}
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; "Remove settings" removes the settings of the account the uninstaller runs as. Elevated with an
; administrator's own name and password, that is the administrator, not the operator of this
; session: the box is then not offered, and the page says whose settings stay.
Function un.OptionsPageShow
  !insertmacro MUI_HEADER_TEXT "Uninstall ${PRODUCT}" "Remove ${PRODUCT_TITLE} from this computer."
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 40u "${PRODUCT_TITLE} will be removed from $INSTDIR.$\r$\n$\r$\n\
Files still waiting in the job store and the log files stay where they are."
  Pop $0
  System::Call 'advapi32::GetUserNameW(w .r1, *i ${NSIS_MAX_STRLEN}) i .r0'
  Call un.SessionUser
  Pop $2
  ${If} $1 != ""
  ${AndIf} $1 == $2
    ${NSD_CreateCheckbox} 0 48u 100% 12u "Remove settings"
    Pop $RemoveSettingsBox
    ${NSD_CreateLabel} 12u 62u -12u 20u "Also remove Corvale's printer and log settings of $1."
    Pop $0
  ${Else}
    StrCpy $RemoveSettingsBox ""
    ${NSD_CreateLabel} 0 48u 100% 30u "The uninstaller runs as $1, not as the user of this \
session ($2): Corvale's settings of each user stay, in that user's \
HKEY_CURRENT_USER\${SETTINGS_KEY}."
    Pop $0
  ${EndIf}
  GetDlgItem $0 $HWNDPARENT 1
  SendMessage $0 ${WM_SETTEXT} 0 "STR:$(^UninstallBtn)"
  nsDialogs::Show
FunctionEnd

Function un.OptionsPageLeave
  ${If} $RemoveSettingsBox != ""
    ${NSD_GetState} $RemoveSettingsBox $RemoveSettings
  ${EndIf}
FunctionEnd

; Corvale's Run entry starts the program that is about to go; an entry of a Corvale elsewhere
; starts a program that stays, and stays too.
Function un.RemoveRunEntry
  SetRegView 64
  ReadRegStr $0 HKLM "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 != ""
    StrLen $1 "${RUN_ARGUMENT}"
    StrCpy $2 $0 "" -$1
    ${If} $2 == "${RUN_ARGUMENT}"
      StrCpy $0 $0 -$1
    ${EndIf}
    GetFullPathName /SHORT $0 $0
    GetFullPathName /SHORT $1 "$INSTDIR\corvale.exe"
    ${If} $0 != ""
    ${AndIf} $0 == $1
      DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
      DetailPrint "Removed the Run entry ${RUN_VALUE}"
    ${EndIf}
  ${EndIf}
  SetRegView default
FunctionEnd

; Per-printer folders go when they are empty, and JobStore when nothing is left in it: a file
; still waiting there is never deleted.
Function un.RemoveEmptyJobStore
  FindFirst $0 $1 "$INSTDIR\JobStore\*"
  ${DoWhile} $1 != ""
    ${If} $1 != "."
    ${AndIf} $1 != ".."
      RMDir "$INSTDIR\JobStore\$1"
    ${EndIf}
    FindNext $0 $1
  ${Loop}
  FindClose $0
  RMDir "$INSTDIR\JobStore"
FunctionEnd

; The setup made an empty default log file; one with lines in it is the operator's and stays.
Function un.RemoveEmptyDefaultLog
  ClearErrors
  FileOpen $0 "$INSTDIR\${DEFAULT_LOG}" r
  ${IfNot} ${Errors}
    FileSeek $0 0 END $1
    FileClose $0
    ${If} $1 = 0
      Delete "$INSTDIR\${DEFAULT_LOG}"
    ${EndIf}
  ${EndIf}
FunctionEnd

; The service of this installation goes before its program: stopped and removed. A service that
; cannot be removed is reported, and the rest is removed as far as it can be.
Function un.RemoveOwnService
  Call un.OwnService
  Pop $0
  ${If} $0 = 1
    Push "/RemoveService"
    Call un.ServiceCommand
    Pop $0
    Pop $1
    DetailPrint "$1"
    ${If} $0 != 0
      MessageBox MB_OK|MB_ICONEXCLAMATION "The service ${SERVICE_NAME} could not be removed \
(corvale.exe /RemoveService: exit code $0):$\r$\n$\r$\n$1" /SD IDOK
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.RemoveOwnService
  Call un.EnsureProgramsClosed
  Call un.RemoveRunEntry
  ; The event source of a Corvale installed elsewhere stays.
  ReadRegStr $0 HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile"
  ${If} $0 == "$INSTDIR\corvale.exe"
    DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
  ${EndIf}

  ClearErrors
  Delete "$INSTDIR\corvale.exe"
  Delete "$INSTDIR\pennock.exe"
  Delete "$INSTDIR\falcrest.exe"
  Delete "$INSTDIR\Corvale.chm"
  ${If} ${Errors}
    ; The entry stays, so that the removal can be finished later.
    SetErrorLevel 2
    Abort "A program in $INSTDIR could not be removed."
  ${EndIf}

  Delete "${START_MENU}\Corvale.lnk"
  Delete "${START_MENU}\Pennock.lnk"
  Delete "${START_MENU}\Corvale Help.lnk"
  RMDir "${START_MENU}"
  Delete "$INSTDIR\PolicyDefinitions\en-US\Corvale.adml"
  Delete "$INSTDIR\PolicyDefinitions\Corvale.admx"
  RMDir "$INSTDIR\PolicyDefinitions\en-US"
  RMDir "$INSTDIR\PolicyDefinitions"

  Call un.RemoveEmptyJobStore
  Call un.RemoveEmptyDefaultLog
  ; The job record is the operator's: Jobs goes only when it holds nothing.
  RMDir "$INSTDIR\Jobs"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${If} $RemoveSettings == ${BST_CHECKED}
    DeleteRegKey HKCU "${SETTINGS_KEY}"
  ${EndIf}

  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
SectionEnd
