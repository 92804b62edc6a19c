# setup.exe under Wine, in a prefix of the test's own: a silent install into a folder with spaces,
# removed through the uninstaller's page with "Remove settings" ticked; a silent install into the
# default folder whose Corvale serves a hot folder; a setup and an uninstaller refused while
# Corvale runs; an upgrade that keeps waiting jobs and the log; a silent removal that keeps them;
# Corvale's service installed with /SERVICE, kept by an upgrade while it runs, removed first by the
# uninstaller.
source "$VARNELL_SOURCE/tests/wine/lib.sh"

skip() {
  echo "SKIP: setup.exe and the programs it installs are 32-bit, and $*; the setup was not tried"
  exit 77
}
emulator=/proc/sys/fs/binfmt_misc/qemu-i386
if [ -f "$emulator" ] && grep -qx enabled "$emulator"; then
  skip "32-bit code runs here only under the qemu-i386 emulator, far too slowly for Wine"
elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  skip "this machine cannot run 32-bit code"
fi
setup=${VARNELL_SETUP:?}
built=$(dirname "$setup")
[ -f "$setup" ] || fail "no $setup: build the windows preset first"

export WINEPREFIX=$WORK/prefix
trap 'kill $(jobs -p) 2>/dev/null || true; timeout 60 wineserver -k 2>/dev/null || true' EXIT
wine_prefix_init || fail "wineboot in $WINEPREFIX"

c=$WINEPREFIX/drive_c
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnell'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
menu_win='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Varnell'
menu=$c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Varnell
shipped=(corvale.exe pennock.exe falcrest.exe)
[ -f "$built/Corvale.chm" ] && shipped+=(Corvale.chm)

# installed_as_built FOLDER: what the build made is there, with the uninstaller and Corvale's data.
installed_as_built() {
  local f
  for f in "${shipped[@]}"; do cmp -s "$built/$f" "$1/$f" || fail "$1/$f is not the built one"; done
  [ -f "$1/uninstall.exe" ] || fail "no uninstaller in $1"
  [ -d "$1/JobStore" ] && [ -f "$1/Varnell.log" ] || fail "no JobStore or Varnell.log in $1"
  cmp -s "$VARNELL_SOURCE/installer/policy/Corvale.admx" "$1/PolicyDefinitions/Corvale.admx" &&
    cmp -s "$VARNELL_SOURCE/installer/policy/en-US/Corvale.adml" \
      "$1/PolicyDefinitions/en-US/Corvale.adml" || fail "no Group Policy template in $1"
}
# button_ready CAPTION ID TEXT: the wizard's button ID reads TEXT and can be clicked.
button_ready() {
  drv list-controls "$1" | awk -F'\t' -v id="$2" -v text="$3" \
    '$1 == id && $2 == "Button" && $3 == text && $4 == 1 && $5 == 1 { found = 1 } END { exit !found }'
}
# snapshot FOLDER: every file below it with its checksum.
snapshot() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0 md5sum); }
# The installation without what a running Corvale writes (its log, its job store).
programs_snapshot() {
  (cd "$1" && find . -type f ! -name Varnell.log ! -path './JobStore/*' -print0 | sort -z |
    xargs -0 md5sum)
}

# --- The setup carries Corvale's version and icon -----------------------------------------------
resources() { winrun "$VARNELL_BIN/resource_info.exe" "$1" "$(winpath "$2")"; }
setup_version=$(resources version "$setup")
corvale_version=$(resources version "$built/corvale.exe")
for key in FixedFileVersion FixedProductVersion FileVersion ProductVersion CompanyName; do
  line=$(grep "^$key"$'\t' <<<"$setup_version") || fail "setup.exe has no $key"
  [ "$line" = "$(grep "^$key"$'\t' <<<"$corvale_version")" ] || fail "setup.exe's $line"
done
images() { resources icons "$1" | awk -F'\t' '$1 == "icon" { print $3, $4, $5 }' | sort; }
setup_images=$(images "$setup")
[ -n "$setup_images" ] && [ "$setup_images" = "$(images "$built/corvale.exe")" ] ||
  fail "setup.exe's icon is not Corvale's: $setup_images"
pass "setup.exe carries Corvale's version ($VARNELL_SETUP_VERSION) and icon"

# --- A folder with spaces, and the removal with "Remove settings" ticked -----------------------
spaced_win='C:\Varnell Test\Print Server'
spaced=$c/Varnell\ Test/Print\ Server
# Wine quotes an argument that holds a space, and the setup takes /D= only unquoted: as words.
winrun "$setup" /S '/D=C:\Varnell' 'Test\Print' 'Server' >/dev/null || fail "setup /S /D=$spaced_win"
installed_as_built "$spaced"
[ "$(reg_value "$uninstall_key" InstallLocation 32)" = "$spaced_win" ] || fail "InstallLocation"
pass "silent install into $spaced_win"

# A Run entry of a Corvale elsewhere starts a program that stays; so does the entry.
mkdir -p "$c/Elsewhere"
cp "$built/corvale.exe" "$c/Elsewhere/"
other_run='C:\Elsewhere\corvale.exe /LaunchOnStartup'
timeout 300 wine64 reg add "$run_key" /v Corvale /d "$other_run" /f /reg:64 >/dev/null 2>&1 ||
  fail "reg add Run"
reg_import <<'REG'
[HKEY_CURRENT_USER\SOFTWARE\Varnell]
"KeepLogFileSize"=dword:00000005
REG
winrun "$spaced_win\\uninstall.exe" >/dev/null || fail "the uninstaller did not start"
drv set-check "Corvale Uninstall" "text:Remove settings" 1 >/dev/null || fail "no Remove settings box"
drv click "Corvale Uninstall" 1 >/dev/null
wait_until 120 button_ready "Corvale Uninstall " 1 "&Close" || fail "the removal did not complete"
drv click "Corvale Uninstall " 1 >/dev/null
drv wait-gone "Corvale Uninstall " >/dev/null || fail "the uninstaller did not close"
[ ! -e "$spaced" ] || fail "left in $spaced: $(ls -A "$spaced")"
[ ! -e "$menu" ] || fail "shortcuts left: $(ls -A "$menu")"
! reg_key_exists "$uninstall_key" 32 || fail "the Uninstall key is still there"
! reg_key_exists 'HKCU\SOFTWARE\Varnell' || fail "settings kept although Remove settings was ticked"
[ "$(reg_value "$run_key" Corvale)" = "$other_run" ] || fail "the Run entry of another Corvale went"
pass "removal with Remove settings: folder, shortcuts, key and settings gone; another Run entry kept"

# --- The default folder: everything in place, and Corvale serves a hot folder from it ----------
pf_win='C:\Program Files (x86)\Varnell'
pf=$c/Program\ Files\ \(x86\)/Varnell
winrun "$setup" /S >/dev/null || fail "setup /S"
installed_as_built "$pf"
[ ! -s "$pf/Varnell.log" ] || fail "the new log file is not empty"
expect_value() {
  [ "$(reg_value "$uninstall_key" "$1" 32)" = "$2" ] ||
    fail "$1 is '$(reg_value "$uninstall_key" "$1" 32)', not '$2'"
}
expect_value DisplayName "Corvale, Pennock and Falcrest"
expect_value DisplayVersion "$VARNELL_SETUP_VERSION"
expect_value Publisher Varnell
expect_value DisplayIcon "$pf_win\\corvale.exe,0"
expect_value InstallLocation "$pf_win"
expect_value UninstallString "\"$pf_win\\uninstall.exe\""
expect_value QuietUninstallString "\"$pf_win\\uninstall.exe\" /S"
expect_value NoModify 0x1
expect_value NoRepair 0x1
[ $(($(reg_value "$uninstall_key" EstimatedSize 32))) -gt 1000 ] || fail "EstimatedSize"
grep -qaF "$pf_win\\corvale.exe" "$menu/Corvale.lnk" || fail "Corvale's shortcut"
grep -qaF "$pf_win\\pennock.exe" "$menu/Pennock.lnk" || fail "Pennock's shortcut"
if [ -f "$built/Corvale.chm" ]; then
  grep -qaF "$pf_win\\Corvale.chm" "$menu/Corvale Help.lnk" || fail "the help shortcut"
else
  [ ! -e "$menu/Corvale Help.lnk" ] || fail "a help shortcut without a help file"
fi
pass "silent install into $pf_win: files, Uninstall key and shortcuts"

hot=$WORK/hot done=$WORK/done
mkdir -p "$hot" "$done"
reg_import <<REG
[HKEY_CURRENT_USER\\Software\\IBM\\AFP Workbench\\Default\\Misc]
"HelpCurPath"="$(reg_path "$VARNELL_BIN/ftdwprt.hlp")"

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell]
"LaunchOnStartup"=dword:00000001

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices]
"DefaultPrinter"="Pellam_Ink"

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Pellam_Ink]
"PrinterName"="Pellam_Ink"
"EnableIPDSEmulation"=dword:00000001
"InputFolder"="$(reg_path "$hot")"
"DoneFolder"="$(reg_path "$done")"
"QueueDepth"=dword:00000001
REG
winrun start "$menu_win\\Corvale.lnk" >/dev/null || fail "start Corvale's shortcut"
drv click Corvale 1030 >/dev/null || fail "no Start button"
wait_until 120 grep -q "Simulator started successfully." "$pf/Varnell.log" ||
  fail "the server did not start, or not logging to $pf_win\\Varnell.log"
payload="installed corvale $RANDOM$RANDOM"
drop_file "$hot" job1.afp "$payload"
wait_until 120 [ -f "$done/job1.afp" ] || fail "job1.afp did not reach the done folder"
grep -qF "[MoveFile] MoveFile OK: Moved $pf_win\\JobStore\\Pellam_Ink\\job1.afp to $(winpath "$done")\\job1.afp" \
  "$pf/Varnell.log" || fail "the job did not go through $pf_win\\JobStore"
wait_until 60 grep -qsF "$payload" "$VARNELL_PRINT_OUT"/Pellam_Ink/job-*.prn ||
  fail "the job did not reach the printer Pellam_Ink"
drv close Corvale >/dev/null
drv wait-gone Corvale >/dev/null || fail "Corvale did not close"
run=$(reg_value "$run_key" Corvale)
[ "${run% /LaunchOnStartup}" = "$(winrun "$VARNELL_BIN/prefix_tool.exe" short-path "$pf_win\\corvale.exe")" ] ||
  fail "Run entry '$run'"
pass "the installed Corvale, started from its shortcut, printed a file through its JobStore"

# --- Corvale running from the installation: closed through its close path, opened again -------
# A setup that went ahead would put the built Pennock back in place of this one.
printf 'changed' >>"$pf/pennock.exe"
before=$(programs_snapshot "$pf")
winrun start "$menu_win\\Corvale.lnk" >/dev/null || fail "start Corvale's shortcut"
drv wait-window Corvale >/dev/null || fail "no Corvale window"
drv click Corvale 1030 >/dev/null || fail "no Start button"
wait_until 120 bash -c "[ \$(tr -d '\r' <'$pf/Varnell.log' | grep -c 'Simulator started successfully.') = 2 ]" ||
  fail "the server did not start again"
timeout 300 wine "$setup" >/dev/null 2>&1 </dev/null &
drv click "Corvale Setup" 1 >/dev/null || fail "no welcome page"
drv click "Corvale Setup " "text:&Install" >/dev/null || fail "no Install button"
box=$(drv message-box)
[ "$(sed -n 2p <<<"$box")" = "Corvale is running from $pf_win." ] &&
  grep -qF "The setup closes it now (its queued files go back to their input folders) and starts it again once the programs are replaced." <<<"$box" ||
  fail "not told that Corvale is closed: $box"
drv answer-message-box 2 >/dev/null
wait_until 60 button_ready "Corvale Setup " 2 Cancel || fail "the setup did not stop"
drv click "Corvale Setup " 2 >/dev/null
drv wait-gone "Corvale Setup " >/dev/null || fail "the setup did not end"
[ "$(programs_snapshot "$pf")" = "$before" ] || fail "files changed after the operator cancelled"
drv wait-window Corvale >/dev/null || fail "Corvale went although the operator cancelled"
pass "the setup says it closes Corvale; cancelled, it changes nothing and Corvale runs on"

stopped_lines() { tr -d '\r' <"$pf/Varnell.log" | grep -c 'Varnell server application stopped successfully.' || true; }
stops=$(stopped_lines)
winrun "$setup" /S >/dev/null || fail "setup /S while Corvale ran"
installed_as_built "$pf"
[ "$(stopped_lines)" = $((stops + 1)) ] || fail "Corvale did not stop through its close path"
grep -qF 'Asked to close (corvale.exe /Close)' "$pf/Varnell.log" || fail "Corvale was not asked to close"
wait_until 60 bash -c "[ \$(tr -d '\r' <'$pf/Varnell.log' | grep -c 'Simulator started successfully.') = 3 ]" ||
  fail "Corvale did not serve again after the setup"
drv wait-window Corvale >/dev/null || fail "no Corvale window after the setup"
pass "silent setup while Corvale ran: closed through its close path, programs replaced, Corvale serving again"

# The silent uninstaller closes it too, and removes the programs; the setup puts them back.
winrun "$pf_win\\uninstall.exe" /S '_?=C:\Program' 'Files' '(x86)\Varnell' >/dev/null ||
  fail "the uninstaller failed while Corvale ran"
drv wait-gone Corvale >/dev/null || fail "Corvale still runs after the removal"
[ "$(stopped_lines)" = $((stops + 2)) ] || fail "Corvale did not stop through its close path for the removal"
for f in "${shipped[@]}"; do [ ! -e "$pf/$f" ] || fail "$f is still there after the removal"; done
! reg_key_exists "$uninstall_key" 32 || fail "the Uninstall key is still there after the removal"
pass "silent removal while Corvale ran: closed through its close path, programs removed"
rm -f "$pf/uninstall.exe"
winrun "$setup" /S >/dev/null || fail "setup /S after the removal"
installed_as_built "$pf"

# --- Upgrade over an installation with a waiting job and a log -----------------------------------
mkdir -p "$pf/JobStore/Pellam_Ink"
printf 'waiting job\n' >"$pf/JobStore/Pellam_Ink/waiting.afp"
mkdir -p "$pf/JobStore/Dorrow_Laser"
printf 'not ours\n' >"$pf/notes.txt"
cp "$pf/Varnell.log" "$WORK/log.before"
[ -s "$WORK/log.before" ] || fail "Corvale wrote no log lines"
winrun "$setup" /S >/dev/null || fail "setup /S over an installation"
installed_as_built "$pf"
[ "$(cat "$pf/JobStore/Pellam_Ink/waiting.afp")" = "waiting job" ] || fail "the waiting job"
cmp -s "$WORK/log.before" "$pf/Varnell.log" || fail "the log file changed"
expect_value InstallLocation "$pf_win"
pass "upgrade in place: programs replaced, waiting job and log kept"

# --- Silent removal, as a deployment script runs it ---------------------------------------------
quiet=$(reg_value "$uninstall_key" QuietUninstallString 32)
uninstaller=${quiet#\"}
uninstaller=${uninstaller%%\"*}
winrun "$uninstaller" ${quiet##*\" } >/dev/null || fail "$quiet"
# The uninstaller runs from a copy in the temporary folder and returns at once: wait for the copy.
timeout 120 wineserver -w || fail "the uninstaller did not end"
for f in "${shipped[@]}" uninstall.exe; do [ ! -e "$pf/$f" ] || fail "$f is still there"; done
[ ! -e "$menu" ] || fail "shortcuts left: $(ls -A "$menu")"
! reg_key_exists "$uninstall_key" 32 || fail "the Uninstall key is still there"
[ -z "$(reg_value "$run_key" Corvale)" ] || fail "the Run entry is still there"
[ "$(cat "$pf/JobStore/Pellam_Ink/waiting.afp")" = "waiting job" ] || fail "the waiting job went"
[ ! -e "$pf/JobStore/Dorrow_Laser" ] || fail "an empty printer folder of the job store stayed"
cmp -s "$WORK/log.before" "$pf/Varnell.log" || fail "the log file went or changed"
[ -f "$pf/notes.txt" ] || fail "a file that is not ours went"
[ "$(reg_value 'HKCU\SOFTWARE\Varnell\Devices\Pellam_Ink' PrinterName)" = Pellam_Ink ] ||
  fail "the settings went"
pass "silent removal: programs, shortcuts, key and Run entry gone; waiting job, log, settings kept"

# --- Corvale's service, installed, kept by an upgrade and removed --------------------------------
# The service runs as the account of the test (the one Wine knows), with its settings. A persistent
# wineserver keeps the session, and so the service, alive between the programs the test runs; Wine
# would otherwise end it a second after the last one, and start it anew with the next.
timeout 120 wineserver -w && timeout 60 wineserver -p || fail "no persistent wineserver"
service_key='HKLM\SYSTEM\CurrentControlSet\Services\Corvale'
account=$(id -un)
service_state() { winrun sc query Corvale | awk '$1 == "STATE" { print $4 }'; }
service_running() { [ "$(service_state)" = RUNNING ]; }
before=$(snapshot "$pf")
status=0
winrun "$setup" /S /SERVICE >/dev/null || status=$?
[ "$status" = 4 ] || fail "setup /S /SERVICE without /ACCOUNT: exit $status, not 4"
[ "$(snapshot "$pf")" = "$before" ] || fail "setup /S /SERVICE without /ACCOUNT changed files"
! reg_key_exists "$service_key" || fail "setup /S /SERVICE without /ACCOUNT installed a service"
pass "/SERVICE without /ACCOUNT is refused with exit code 4 and changes nothing"

winrun "$setup" /S /SERVICE "/ACCOUNT=$account" /PASSWORD=Pa55-Service >/dev/null ||
  fail "setup /S /SERVICE /ACCOUNT=$account"
installed_as_built "$pf"
expect_service() {
  [ "$(reg_value "$service_key" ImagePath)" = "\"$pf_win\\corvale.exe\" /Service" ] ||
    fail "$1: the service runs '$(reg_value "$service_key" ImagePath)'"
  [ "$(reg_value "$service_key" ObjectName)" = ".\\$account" ] && [ "$(reg_value "$service_key" Start)" = 0x2 ] ||
    fail "$1: the service does not run as .\\$account or does not start with Windows"
}
expect_service "setup /SERVICE"
wait_until 60 service_running || fail "the service did not start: $(service_state)"
pass "setup /S /SERVICE /ACCOUNT=$account: the service Corvale runs \"$pf_win\\corvale.exe\" /Service as .\\$account"

# The service's program runs from the installation: the setup stops it, replaces it, starts it again.
printf 'changed' >>"$pf/corvale.exe"
winrun "$setup" /S >/dev/null || fail "setup /S while the service runs"
installed_as_built "$pf"
expect_service "upgrade"
wait_until 60 service_running || fail "the service did not run again: $(service_state)"
pass "upgrade while the service runs: program replaced, service kept with its account and running"

winrun "$pf_win\\uninstall.exe" /S '_?=C:\Program' 'Files' '(x86)\Varnell' >/dev/null ||
  fail "the uninstaller did not remove the installation with the service"
! reg_key_exists "$service_key" || fail "the service is still there after the removal"
for f in "${shipped[@]}"; do [ ! -e "$pf/$f" ] || fail "$f is still there"; done
pass "the uninstaller removes the service, then the programs"

timeout 60 wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
