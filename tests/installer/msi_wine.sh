# Corvale's MSI package under Wine, in a prefix of the test's own, driven by msiexec as a deployment
# tool drives it: a silent install of a lower version into a folder with spaces; upgrades to a
# version lower in the build number only and to the built one, which keep waiting jobs, the log,
# the settings and the Run entry and stay in that folder; a downgrade refused; a silent removal
# that keeps waiting jobs, the log and the settings and takes Corvale's own Run entry; the package
# refused where setup.exe's installation is, and setup.exe refused where the package's is; a
# removal that leaves nothing behind and keeps the Run entry of a Corvale elsewhere.
# The package is 32-bit and Windows installs it on 64-bit systems too: where this machine runs
# only 64-bit code, the package is installed and removed all the same; starting the installed
# programs and setup.exe (32-bit, both) is skipped there, and the test says so.
# Every msiexec exit code and the installed files are written to the test's output.
source "$VARNELL_SOURCE/tests/wine/lib.sh"

msi=${VARNELL_MSI:?}
built=$(dirname "$msi")
setup=${VARNELL_SETUP:?}
version=${VARNELL_SETUP_VERSION:?}
product_code={${VARNELL_MSI_PRODUCT_CODE:?}}
upgrade_code={${VARNELL_MSI_UPGRADE_CODE:?}}
[ -f "$msi" ] || fail "no $msi: build the windows preset first"
[ -x "${VARNELL_WIXL:-}" ] || fail "no wixl (${VARNELL_WIXL:-}): scripts/setup-deps.sh installs it"
for tool in prefix_tool.exe gui_driver.exe; do
  [ -f "$VARNELL_BIN/$tool" ] || fail "$VARNELL_BIN/$tool not built"
done

emulator=/proc/sys/fs/binfmt_misc/qemu-i386
if [ -f "$emulator" ] && grep -qx enabled "$emulator"; then
  programs_run=0 why_not="32-bit code runs here only under the qemu-i386 emulator, far too slowly"
elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  programs_run=0 why_not="this machine cannot run 32-bit code"
else
  programs_run=1 why_not=""
fi
# not_here WHAT: says that WHAT is skipped on this machine, and why.
not_here() { echo "SKIP (part): $1: the installed programs and setup.exe are 32-bit, and $why_not"; }
echo "tool programs: $VARNELL_WINE_BUILD; the package: 32-bit, $(basename "$msi")"

export WINEPREFIX=$WORK/prefix
trap 'kill $(jobs -p) 2>/dev/null || true; timeout 60 wineserver -k 2>/dev/null || true' EXIT
wine_prefix_init || fail "wineboot in $WINEPREFIX"

c=$WINEPREFIX/drive_c
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
setup_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnell'
package_key='HKLM\Software\Varnell\Package'
shipped=(corvale.exe pennock.exe falcrest.exe)
[ -f "$built/Corvale.chm" ] && shipped+=(Corvale.chm)

# linux_path C:\WINDOWS\PATH: where that path of drive C is here.
linux_path() { local p=${1#[Cc]:\\}; printf '%s/%s' "$c" "${p//\\//}"; }
# snapshot FOLDER: every file below it with its checksum, and every folder.
snapshot() {
  [ -d "$1" ] || { echo "no $1"; return; }
  (cd "$1" && find . -type d | sort && find . -type f -print0 | sort -z | xargs -0 -r md5sum)
}

# --- Packages -----------------------------------------------------------------------------------

# make_package VERSION: a package of that version, made as the build makes its own, whose programs
# and help are the built ones (corvale.exe: $corvale_from, when set) with "version VERSION"
# appended, so that each version's files differ. PACKAGE is its path, PACKAGE_CODE its product code.
make_package() {
  local v=$1 dir=$WORK/build-$1 f src out
  mkdir -p "$dir/bin"
  for f in "${shipped[@]}"; do
    src=$built/$f
    [ "$f" = corvale.exe ] && src=${corvale_from:-$src}
    { cat "$src"; printf 'version %s' "$v"; } >"$dir/bin/$f"
  done
  local help=()
  [ -f "$dir/bin/Corvale.chm" ] && help=("-DHELP_FILE=$dir/bin/Corvale.chm")
  out=$("$VARNELL_CMAKE" "-DWIXL=$VARNELL_WIXL" "-DWXS=$VARNELL_SOURCE/installer/corvale.wxs" \
    "-DVERSION=$v" "-DBIN_DIR=$dir/bin" "-DICON=$VARNELL_ICON" "${help[@]}" \
    "-DPOLICY_DIR=$VARNELL_SOURCE/installer/policy" \
    "-DOUTPUT=$dir/Corvale-$v.msi" -P "$VARNELL_SOURCE/installer/make_msi.cmake" 2>&1) ||
    fail "making the package of $v: $out"
  [[ $out =~ ProductCode\ (\{[0-9A-F-]{36}\}),\ UpgradeCode\ (\{[0-9A-F-]{36}\}) ]] ||
    fail "no codes in: $out"
  [ "${BASH_REMATCH[2]}" = "$upgrade_code" ] || fail "$v has the upgrade code ${BASH_REMATCH[2]}"
  PACKAGE_CODE=${BASH_REMATCH[1]}
  PACKAGE=$dir/Corvale-$v.msi
}

# The versions the test installs before the built one: lower in the three fields Windows Installer
# compares, and lower in the build number only.
IFS=. read -r major minor patch build <<<"$version"
if ((patch > 0)); then older=$major.$minor.$((patch - 1)).$build
elif ((minor > 0)); then older=$major.$((minor - 1)).$patch.$build
elif ((major > 0)); then older=$((major - 1)).$minor.$patch.$build
else fail "no version below $version"; fi
make_package "$older"
older_msi=$PACKAGE older_code=$PACKAGE_CODE
earlier_build=""
if ((build > 0)); then
  earlier_build=$major.$minor.$patch.$((build - 1))
  make_package "$earlier_build"
  earlier_msi=$PACKAGE earlier_code=$PACKAGE_CODE
fi
codes=$(printf '%s\n' "$older_code" "${earlier_code:-}" "$product_code" | sed '/^$/d')
[ "$(sort -u <<<"$codes" | wc -l)" = "$(wc -l <<<"$codes")" ] || fail "two versions share a product code"
# A rebuild of a version has that version's product code: the one the build gave its package.
make_package "$version"
[ "$PACKAGE_CODE" = "$product_code" ] || fail "a rebuild of $version has the product code $PACKAGE_CODE"
pass "packages of $older and ${earlier_build:-(no earlier build)} made beside the built $version; each version has its own product code, a rebuild the same one"

# --- msiexec ------------------------------------------------------------------------------------

# msiexec ARGUMENTS: runs msiexec with a verbose log ($MSI_LOG) and writes its exit code to the
# output; MSI_EXIT is that code, all of it (Wine hands a shell only its low 8 bits). What Wine
# writes to standard error (its traces, when WINEDEBUG asks for them) goes to $MSI_ERR.
msi_runs=0
msiexec() {
  MSI_LOG=$WORK/msiexec-$((++msi_runs)).log
  MSI_ERR=$WORK/msiexec-$msi_runs.err
  timeout 300 wine "$VARNELL_BIN/prefix_tool.exe" exit-code msiexec \
    "$* /l*v \"$(winpath "$MSI_LOG")\"" >"$WORK/msiexec.out" 2>"$MSI_ERR" </dev/null ||
    fail "msiexec $* did not run: $(cat "$WORK/msiexec.out" "$MSI_ERR")"
  # The programs msiexec starts write to the same output; the code is the last line.
  MSI_EXIT=$(tr -d '\r' <"$WORK/msiexec.out" | tail -n 1)
  echo "msiexec $*: exit $MSI_EXIT"
}
# expect_exit CODE WHAT: the last msiexec ended with CODE.
expect_exit() { [ "$MSI_EXIT" = "$1" ] || fail "$2: msiexec exit $MSI_EXIT, not $1 (log: $MSI_LOG)"; }
# log_property NAME: the value of a property as the last msiexec's log shows it at its end.
log_property() { tr -d '\r' <"$MSI_LOG" | sed -n "s/^Property(S): $1 = //p" | tail -n 1; }

# Windows Installer keeps a product's entry in Add/Remove Programs in the 64-bit registry view;
# Wine 8 keeps it in the 32-bit one. arp_view CODE prints the view that holds it, or nothing.
arp_key() { echo "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1"; }
arp_view() {
  local view
  for view in 64 32; do reg_key_exists "$(arp_key "$1")" $view && { echo $view; return; }; done
  return 0
}
# packed CODE: a product code as Windows Installer writes it into its own keys.
# The first three groups are written backwards, the last two with the digits of each byte swapped.
packed() {
  local g=${1//[\{\}-]/} out="" i
  for ((i = 7; i >= 0; i--)); do out+=${g:i:1}; done
  for ((i = 11; i >= 8; i--)); do out+=${g:i:1}; done
  for ((i = 15; i >= 12; i--)); do out+=${g:i:1}; done
  for ((i = 16; i < 32; i += 2)); do out+=${g:i+1:1}${g:i:1}; done
  echo "$out"
}
# expect_entry CODE VERSION FOLDER: the entry in Add/Remove Programs of that version, installed in
# FOLDER, with Corvale's publisher and icon.
expect_entry() {
  local view key value
  view=$(arp_view "$1")
  [ -n "$view" ] || fail "no entry $1 in Add/Remove Programs"
  key=$(arp_key "$1")
  check() {
    value=$(reg_value "$key" "$1" "$view")
    [ "$value" = "$2" ] || fail "Add/Remove Programs $1 is '$value', not '$2'"
  }
  check DisplayName "Corvale, Pennock and Falcrest"
  check DisplayVersion "$2"
  check Publisher Varnell
  check InstallLocation "$3\\"
  # The icon Add/Remove Programs shows for the product: Windows Installer's copy of Corvale's.
  local icon
  icon=$(reg_value "HKLM\\Software\\Classes\\Installer\\Products\\$(packed "$1")" ProductIcon 64)
  [ -n "$icon" ] && cmp -s "$VARNELL_ICON" "$(linux_path "$icon")" ||
    fail "the product icon '$icon' is not Corvale's"
}
# expect_no_product CODE: nothing of that product is registered.
expect_no_product() {
  [ -z "$(arp_view "$1")" ] || fail "$1 is still in Add/Remove Programs"
  ! reg_key_exists "HKLM\\Software\\Classes\\Installer\\Products\\$(packed "$1")" 64 ||
    fail "Windows Installer still knows $1"
}

# menu_from_log: the Start menu folder of the last install, as Windows Installer resolved it: the
# all-users one on Windows, the current user's under Wine 8, which ignores ALLUSERS there.
menu_from_log() {
  MENU_WIN=$(log_property VarnellMenu)
  MENU_WIN=${MENU_WIN%\\}
  [[ $MENU_WIN == *'\Start Menu\Programs\Varnell' ]] || fail "the Start menu folder is '$MENU_WIN'"
  MENU=$(linux_path "$MENU_WIN")
}

# installed DIR VERSION: the programs and help of VERSION ("built": the build's own), Corvale's
# job store and log, the shortcuts to them; the list of files goes to the output.
installed() {
  local dir=$1 win=$2 from=$built f
  [ "$3" = built ] || from=$WORK/build-$3/bin
  for f in "${shipped[@]}"; do cmp -s "$from/$f" "$dir/$f" || fail "$win\\$f is not the one of $3"; done
  [ -d "$dir/JobStore" ] && [ -f "$dir/Varnell.log" ] || fail "no JobStore or Varnell.log in $win"
  cmp -s "$VARNELL_SOURCE/installer/policy/en-US/Corvale.adml" \
    "$dir/PolicyDefinitions/en-US/Corvale.adml" || fail "no Group Policy template in $win"
  grep -qaF "$win\\corvale.exe" "$MENU/Corvale.lnk" || fail "Corvale's shortcut"
  grep -qaF "$win\\pennock.exe" "$MENU/Pennock.lnk" || fail "Pennock's shortcut"
  if [ -f "$built/Corvale.chm" ]; then
    grep -qaF "$win\\Corvale.chm" "$MENU/Corvale Help.lnk" || fail "the help shortcut"
  else
    [ ! -e "$MENU/Corvale Help.lnk" ] || fail "a help shortcut without a help file"
  fi
  [ "$(reg_value "$package_key" InstallFolder 32)" = "$win\\" ] || fail "$package_key InstallFolder"
  echo "installed files of $3 in $win:"
  (cd "$dir" && find . -mindepth 1 | sort | sed 's/^/    /')
  echo "  and in $MENU_WIN:"
  (cd "$MENU" && find . -mindepth 1 | sort | sed 's/^/    /')
}

# --- A lower version into a folder with spaces ---------------------------------------------------
spaced_win='C:\Varnell Test\Print Server'
spaced=$(linux_path "$spaced_win")
msiexec /i "\"$(winpath "$older_msi")\"" /qn "INSTALLDIR=\"$spaced_win\""
expect_exit 0 "silent install of $older"
menu_from_log
installed "$spaced" "$spaced_win" "$older"
[ ! -s "$spaced/Varnell.log" ] || fail "the new log file is not empty"
expect_entry "$older_code" "$older" "$spaced_win"
pass "silent install of $older into $spaced_win: files, shortcuts, Add/Remove Programs entry"

# --- What the operator has by now ----------------------------------------------------------------
reg_import <<REG
[HKEY_CURRENT_USER\\Software\\IBM\\AFP Workbench\\Default\\Misc]
"HelpCurPath"="$(reg_path "$VARNELL_BIN/ftdwprt.hlp")"

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell]
"LaunchOnStartup"=dword:00000001
"KeepLogFileSize"=dword:00000005

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices]
"DefaultPrinter"="Pellam_Ink"

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Pellam_Ink]
"PrinterName"="Pellam_Ink"
REG
short_corvale=$(winrun "$VARNELL_BIN/prefix_tool.exe" short-path "$spaced_win\\corvale.exe")
own_run="$short_corvale /LaunchOnStartup"
# start_installed_corvale: Corvale, started from its shortcut, opens its window and is closed; at
# the close it writes its Run entry, as "LaunchOnStartup" asks.
start_installed_corvale() {
  winrun start "$MENU_WIN\\Corvale.lnk" >/dev/null || fail "start Corvale's shortcut"
  drv wait-window Corvale >/dev/null || fail "the installed Corvale opened no window"
  drv close Corvale >/dev/null
  drv wait-gone Corvale >/dev/null || fail "Corvale did not close"
  [ "$(reg_value "$run_key" Corvale)" = "$own_run" ] ||
    fail "Corvale's Run entry is '$(reg_value "$run_key" Corvale)', not '$own_run'"
}
if ((programs_run)); then
  start_installed_corvale
  pass "the installed Corvale of $older starts from its shortcut and writes its Run entry"
else
  not_here "starting the installed Corvale"
  timeout 300 wine64 reg add "$run_key" /v Corvale /d "$own_run" /f /reg:64 >/dev/null 2>&1 ||
    fail "reg add Run"
  echo "the test wrote Corvale's Run entry itself: $own_run"
fi
mkdir -p "$spaced/JobStore/Pellam_Ink" "$spaced/JobStore/Dorrow_Laser"
printf 'waiting job\n' >"$spaced/JobStore/Pellam_Ink/waiting.afp"
printf 'not ours\n' >"$spaced/notes.txt"
printf '2024-05-02 10:00:00 [Start] Simulator started successfully.\r\n' >>"$spaced/Varnell.log"
cp "$spaced/Varnell.log" "$WORK/log.before"

# operator_data_kept: the waiting job, the log, a file that is not ours, the settings, the Run entry.
operator_data_kept() {
  [ "$(cat "$spaced/JobStore/Pellam_Ink/waiting.afp" 2>/dev/null)" = "waiting job" ] ||
    fail "the waiting job went"
  cmp -s "$WORK/log.before" "$spaced/Varnell.log" || fail "the log file went or changed"
  [ -f "$spaced/notes.txt" ] || fail "a file that is not ours went"
  [ "$(reg_value 'HKCU\SOFTWARE\Varnell\Devices\Pellam_Ink' PrinterName)" = Pellam_Ink ] &&
    [ "$(reg_value 'HKCU\SOFTWARE\Varnell' KeepLogFileSize)" = 0x5 ] || fail "the settings went"
}

# --- Upgrades ------------------------------------------------------------------------------------
# upgrade_to PACKAGE VERSION CODE FROM_CODE: a silent install of a newer package, as a deployment
# tool runs it, without naming a folder.
upgrade_to() {
  WINEDEBUG=+process msiexec /i "\"$(winpath "$1")\"" /qn
  expect_exit 0 "upgrade to $2"
  menu_from_log
  installed "$spaced" "$spaced_win" "$([ "$1" = "$msi" ] && echo built || echo "$2")"
  operator_data_kept
  [ "$(reg_value "$run_key" Corvale)" = "$own_run" ] || fail "the upgrade changed the Run entry"
  expect_entry "$3" "$2" "$spaced_win"
  expect_no_product "$4"
  [ ! -e "$c/Program Files (x86)/Varnell" ] || fail "the upgrade went into the default folder"
}
upgrade_from=$older_code
if [ -n "$earlier_build" ]; then
  upgrade_to "$earlier_msi" "$earlier_build" "$earlier_code" "$older_code"
  pass "upgrade from $older to $earlier_build: programs replaced in $spaced_win; waiting job, log, settings and Run entry kept; one entry in Add/Remove Programs"
  upgrade_from=$earlier_code
fi
upgrade_to "$msi" "$version" "$product_code" "$upgrade_from"
pass "upgrade from ${earlier_build:-$older} to the built $version${earlier_build:+ (the same version to Windows Installer, which ignores the build number)}: programs replaced, the rest kept"

# Users may modify JobStore (and what comes into it), Varnell.log and Jobs, where the default log's
# job record goes. Wine keeps no access lists: what is checked is that the install ran icacls on
# exactly these three, as setup.exe runs it. The
# programs Wine started are in its process trace of the install.
sed -n 's/.*cmdline L"\(.*icacls\.exe.*\)".*/\1/p' "$MSI_ERR" | sed 's/\\\\/\\/g; s/\\"/"/g' |
  sed 's/^"\([^"]*\)"/\1/' | sort -u >"$WORK/icacls.commands"
icacls='C:\windows\System32\icacls.exe'
expected=$(printf '%s\n' "$icacls \"$spaced_win\\JobStore\" /grant *S-1-5-32-545:(OI)(CI)M" \
  "$icacls \"$spaced_win\\Varnell.log\" /grant *S-1-5-32-545:M" \
  "$icacls \"$spaced_win\\Jobs\" /grant *S-1-5-32-545:(OI)(CI)M" | sort)
[ "$(cat "$WORK/icacls.commands")" = "$expected" ] ||
  fail "icacls did not run as it should: $(cat "$WORK/icacls.commands")"
pass "the install let the Users group modify JobStore, Varnell.log and Jobs (icacls, as setup.exe)"

if ((programs_run)); then
  start_installed_corvale
  cp "$spaced/Varnell.log" "$WORK/log.before"
  pass "the upgraded Corvale starts from its shortcut"
else
  not_here "starting the upgraded Corvale"
fi

before=$(snapshot "$spaced")
msiexec /i "\"$(winpath "$older_msi")\"" /qn
expect_exit 1603 "installing $older over $version"
[ "$(snapshot "$spaced")" = "$before" ] || fail "the refused downgrade changed files"
expect_entry "$product_code" "$version" "$spaced_win"
pass "a lower version is refused (exit 1603) and changes nothing"

# --- Silent removal, as a deployment tool runs it ------------------------------------------------
msiexec /x "$product_code" /qn
expect_exit 0 "silent removal"
for f in "${shipped[@]}"; do [ ! -e "$spaced/$f" ] || fail "$f is still there"; done
[ ! -e "$MENU" ] || fail "shortcuts left: $(ls -A "$MENU")"
expect_no_product "$product_code"
! reg_key_exists "$package_key" 32 || fail "$package_key is still there"
[ -z "$(reg_value "$run_key" Corvale)" ] || fail "Corvale's own Run entry is still there"
operator_data_kept
[ ! -e "$spaced/JobStore/Dorrow_Laser" ] || fail "an empty printer's folder of the job store stayed"
pass "silent removal: programs, shortcuts, entry and Run entry gone; waiting job, log, settings kept"

# --- setup.exe's installation and the package's exclude each other ------------------------------
pf_win='C:\Program Files (x86)\Varnell'
pf=$(linux_path "$pf_win")
if ((programs_run)); then
  winrun "$setup" /S >/dev/null || fail "setup.exe /S"
  [ "$(reg_value "$setup_key" InstallLocation 32)" = "$pf_win" ] || fail "setup.exe's installation"
else
  not_here "installing with setup.exe"
  # What setup.exe writes, which is all the package looks at.
  reg_import <<REG
[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Varnell]
"DisplayName"="Corvale, Pennock and Falcrest"
"InstallLocation"="$(printf '%s' "$pf_win" | sed 's/\\/\\\\/g')"
REG
  echo "the test wrote setup.exe's Add/Remove Programs entry itself"
fi
before=$(snapshot "$pf")
msiexec /i "\"$(winpath "$msi")\"" /qn
expect_exit 1603 "installing the package over setup.exe's installation"
[ "$(snapshot "$pf")" = "$before" ] || fail "the refused package changed files"
[ ! -e "$MENU" ] || fail "the refused package made shortcuts"
expect_no_product "$product_code"
# With its basic user interface, the package says why.
qb_args="/i \"$(winpath "$msi")\" /qb"
winrun "$VARNELL_BIN/prefix_tool.exe" exit-code msiexec "$qb_args" >"$WORK/qb.out" &
refusal=$(drv message-box) || fail "no message from the package"
drv answer-message-box 1 >/dev/null
wait $! || fail "msiexec $qb_args did not run"
qb_exit=$(tail -n 1 "$WORK/qb.out")
echo "msiexec $qb_args: exit $qb_exit"
[ "$qb_exit" = 1603 ] || fail "msiexec $qb_args: exit $qb_exit, not 1603"
grep -qF "installed on this computer by setup.exe, in $pf_win. This package does not install over them" \
  <<<"$refusal" || fail "the package's message: $refusal"
pass "where setup.exe's installation is, the package installs nothing (exit 1603) and says why"

if ((programs_run)); then
  winrun "$pf_win\\uninstall.exe" /S '_?=C:\Program' 'Files' '(x86)\Varnell' >/dev/null ||
    fail "setup.exe's uninstaller"
  rm -f "$pf/uninstall.exe"
  rmdir "$pf" || fail "setup.exe's uninstaller left $(ls -A "$pf")"
else
  timeout 300 wine64 reg delete "$setup_key" /f /reg:32 >/dev/null 2>&1 || fail "reg delete"
fi
! reg_key_exists "$setup_key" 32 || fail "setup.exe's installation is still there"

msiexec /i "\"$(winpath "$msi")\"" /qn
expect_exit 0 "silent install into the default folder"
menu_from_log
installed "$pf" "$pf_win" built
expect_entry "$product_code" "$version" "$pf_win"
if ((programs_run)); then
  before=$(snapshot "$pf")
  status=0
  winrun "$setup" /S >/dev/null || status=$?
  echo "setup.exe /S: exit $status"
  [ "$status" = 3 ] || fail "setup.exe /S over the package's installation: exit $status, not 3"
  [ "$(snapshot "$pf")" = "$before" ] || fail "the refused setup.exe changed files"
  ! reg_key_exists "$setup_key" 32 || fail "the refused setup.exe wrote its entry"
  winrun "$VARNELL_BIN/prefix_tool.exe" exit-code "$(winpath "$setup")" "" >"$WORK/setup.out" &
  refusal=$(drv message-box) || fail "no message from setup.exe"
  drv answer-message-box 1 >/dev/null
  wait $! || fail "setup.exe did not run"
  status=$(tail -n 1 "$WORK/setup.out")
  echo "setup.exe, with its user interface: exit $status"
  [ "$status" = 3 ] || fail "setup.exe with its user interface: exit $status, not 3"
  grep -qF "installed on this computer from its Windows Installer package (product code $product_code)" \
    <<<"$refusal" || fail "setup.exe's message: $refusal"
  [ "$(snapshot "$pf")" = "$before" ] || fail "the refused setup.exe changed files"
  pass "where the package's installation is, setup.exe installs nothing (exit 3) and says why"
else
  not_here "setup.exe over the package's installation"
fi

# --- A removal that leaves nothing, and the Run entry of a Corvale elsewhere --------------------
other_run='C:\Elsewhere\corvale.exe /LaunchOnStartup'
mkdir -p "$c/Elsewhere"
cp "$built/corvale.exe" "$c/Elsewhere/"
timeout 300 wine64 reg add "$run_key" /v Corvale /d "$other_run" /f /reg:64 >/dev/null 2>&1 ||
  fail "reg add Run"
msiexec /x "\"$(winpath "$msi")\"" /qn
expect_exit 0 "silent removal from the default folder"
[ ! -e "$pf" ] || fail "left in $pf_win: $(cd "$pf" && find . -mindepth 1)"
[ ! -e "$MENU" ] || fail "shortcuts left: $(ls -A "$MENU")"
expect_no_product "$product_code"
[ "$(reg_value "$run_key" Corvale)" = "$other_run" ] || fail "the Run entry of another Corvale went"
pass "removal: nothing left of the installation in $pf_win; the Run entry of another Corvale kept"

# --- Corvale's service ---------------------------------------------------------------------------
# The package installs, keeps and removes the service with corvale.exe's own commands. Where 32-bit
# code cannot run, packages made the same way carry the 64-bit corvale.exe of the test build, so
# that its /InstallService and /RemoveService run for real all the same.
service_key='HKLM\SYSTEM\CurrentControlSet\Services\Corvale'
account=$(id -un)
if ((programs_run)); then
  corvale_from=$built/corvale.exe
else
  corvale_from=$VARNELL_BIN/corvale.exe
  echo "the service's packages carry the 64-bit corvale.exe of the test build: $why_not"
fi
make_package "$older"
service_older=$PACKAGE
make_package "$version"
service_built=$PACKAGE
# trace_line PATTERN: the number of the first line of the last msiexec's process trace that starts
# a program whose command line holds PATTERN, or nothing.
trace_line() { grep -n 'CreateProcessInternalW.*cmdline L' "$MSI_ERR" | grep -F -- "$1" | head -n 1 | cut -d: -f1; }
expect_service() {
  [ "$(reg_value "$service_key" ImagePath)" = "\"$pf_win\\corvale.exe\" /Service" ] ||
    fail "$1: the service runs '$(reg_value "$service_key" ImagePath)'"
  [ "$(reg_value "$service_key" ObjectName)" = ".\\$account" ] ||
    fail "$1: the service runs as '$(reg_value "$service_key" ObjectName)', not .\\$account"
  [ "$(reg_value "$service_key" Start)" = 0x2 ] && [ "$(reg_value "$service_key" ErrorControl)" = 0x1 ] ||
    fail "$1: the service does not start with Windows (Start, ErrorControl)"
  grep -q Spooler <<<"$(reg_value "$service_key" DependOnService)" || fail "$1: no dependency on the spooler"
}

msiexec /i "\"$(winpath "$service_older")\"" /qn SERVICE=1
expect_exit 1603 "SERVICE=1 without SERVICE_ACCOUNT"
[ ! -e "$pf" ] && ! reg_key_exists "$service_key" || fail "SERVICE=1 without an account changed something"
pass "SERVICE=1 without SERVICE_ACCOUNT is refused (exit 1603) and changes nothing"

WINEDEBUG=+process msiexec /i "\"$(winpath "$service_older")\"" /qn SERVICE=1 "SERVICE_ACCOUNT=$account" \
  SERVICE_PASSWORD=Pa55-Service
expect_exit 0 "install of $older with SERVICE=1"
expect_service "install with SERVICE=1"
# Windows Installer's log shows the service's password neither among the properties nor in the
# action's command line (Wine's own log lists every property whatever the package says).
action_type=$(msiinfo export "$service_older" CustomAction | tr -d '\r' |
  awk -F '\t' '$1 == "InstallOwnService" { print $2 }')
[ -n "$action_type" ] && (((action_type & 0x2000) != 0)) ||
  fail "InstallOwnService's command line is not hidden from the log (type '$action_type')"
pass "install of $older with SERVICE=1 SERVICE_ACCOUNT=$account: the service Corvale runs \"$pf_win\\corvale.exe\" /Service as .\\$account, starting with Windows"

WINEDEBUG=+process msiexec /i "\"$(winpath "$service_built")\"" /qn
expect_exit 0 "upgrade of the service's installation"
expect_service "upgrade"
stop=$(trace_line 'net.exe stop Corvale') older_gone=$(trace_line 'REMOVE=ALL') start=$(trace_line 'net.exe start Corvale')
[ -n "$stop" ] && [ -n "$older_gone" ] && [ -n "$start" ] && ((stop < older_gone && older_gone < start)) ||
  fail "the upgrade did not stop the service ($stop), remove $older ($older_gone), start the service ($start) in this order"
[ -z "$(trace_line /RemoveService)" ] || fail "the upgrade removed the service"
pass "upgrade to $version: the service stopped before $older is removed, kept with its account, started again"

WINEDEBUG=+process msiexec /x "\"$(winpath "$service_built")\"" /qn
expect_exit 0 "removal of the service's installation"
[ -n "$(trace_line "\\corvale.exe\\\" /RemoveService")" ] || fail "the removal did not run corvale.exe /RemoveService"
! reg_key_exists "$service_key" || fail "the service is still there after the removal"
for f in "${shipped[@]}"; do [ ! -e "$pf/$f" ] || fail "$f is still there"; done
expect_no_product "$product_code"
pass "removal: corvale.exe /RemoveService ran, no service Corvale is left, nor the programs"

# --- An upgrade while Corvale serves ------------------------------------------------------------
# The package asks the running Corvale to close through its own close path (its queued files back
# in the hot folder, its settings saved), replaces the programs without asking for a restart, and
# opens Corvale again, which prints every file once. The packages carry $corvale_from.
msiexec /i "\"$(winpath "$service_older")\"" /qn
expect_exit 0 "install of $older for the upgrade while Corvale serves"
upg=$WORK/upgrade
mkdir -p "$upg/hot" "$upg/done" "$upg/utility"
cp "$VARNELL_BIN/ftdwprt.exe" "$upg/utility/"
printf 'journal=%s\ndelay_ms=2000\n' "$(winpath "$upg/journal.txt")" >"$upg/utility/ftdwprt.ini"
reg_import <<REG
[HKEY_CURRENT_USER\\Software\\IBM\\AFP Workbench\\Default\\Misc]
"HelpCurPath"="$(reg_path "$upg/utility/ftdwprt.hlp")"

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell]
"LogFile"="$(reg_path "$upg/corvale.log")"
"LaunchOnStartup"=dword:00000000

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Dorrow_Laser]
"PrinterName"="Dorrow_Laser"
"EnableIPDSEmulation"=dword:00000001
"InputFolder"="$(reg_path "$upg/hot")"
"DoneFolder"="$(reg_path "$upg/done")"
"QueueDepth"=dword:00000004
"DeleteInputFileWhenDone"=dword:00000000
REG
upg_lines() { { tr -d '\r' <"$upg/corvale.log"; } 2>/dev/null | grep -cF -- "$1" || true; }
timeout 600 wine "$pf/corvale.exe" /LaunchOnStartup >"$WORK/upgrade-corvale.out" 2>&1 </dev/null &
wait_until 60 bash -c "[ \$(tr -d '\r' <'$upg/corvale.log' 2>/dev/null | grep -c 'Simulator started successfully.') = 1 ]" ||
  fail "the installed Corvale did not serve"
for i in 1 2 3 4 5 6; do printf 'upgrade %s\n' "$i" >"$upg/u$i.afp"; mv "$upg/u$i.afp" "$upg/hot/"; done
wait_until 60 bash -c "grep -qs 'u' '$upg/journal.txt'" || fail "nothing printed before the upgrade"
msiexec /i "\"$(winpath "$service_built")\"" /qn
expect_exit 0 "upgrade while Corvale serves"
[ "$(upg_lines 'Asked to close (corvale.exe /Close)')" = 1 ] || fail "Corvale was not asked to close"
wait_until 60 bash -c "[ \$(tr -d '\r' <'$upg/corvale.log' | grep -c 'Simulator started successfully.') = 2 ]" ||
  fail "Corvale did not run again after the upgrade"
# What the closing Corvale wrote, up to the first line of the Corvale opened again: the stop line
# comes last, but for a print that ended while the close waited for it.
closing_lines=$(tr -d '\r' <"$upg/corvale.log" | sed -n '/Asked to close (corvale.exe \/Close)/,$p' |
  sed '/Check for the availibility of input and done folder/,$d')
grep -qF 'Varnell server application stopped successfully.' <<<"$closing_lines" || fail "no stop line: $closing_lines"
sed '1,/Varnell server application stopped successfully./d' <<<"$closing_lines" |
  grep -vE 'MoveFile OK: Moved .*u[0-9]\.afp to |\[JobStatus\] Job u[0-9]\.afp ' && fail "after the stop line: $closing_lines"
moved_back=$(upg_lines ' was not printed; moved back to ')
wait_until 120 bash -c "[ \$(ls '$upg/done' | wc -l) = 6 ]" || fail "not every file printed: $(ls "$upg/done")"
for i in 1 2 3 4 5 6; do
  [ "$(grep -c "u$i.afp" "$upg/journal.txt")" = 1 ] || fail "u$i.afp printed $(grep -c "u$i.afp" "$upg/journal.txt") times"
done
pass "upgrade while Corvale served: closed cleanly ($moved_back queued files back, the stop line last), installed with exit 0, Corvale running again; each file printed once"
timeout 120 wine "$pf/corvale.exe" /Close 60 >/dev/null 2>&1 </dev/null || fail "corvale.exe /Close after the test"
msiexec /x "\"$(winpath "$service_built")\"" /qn
expect_exit 0 "removal after the upgrade while Corvale served"

# --- Start at logon and the event source ---------------------------------------------------------
event_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Corvale'
run_before=$(reg_value "$run_key" Corvale)
msiexec /i "\"$(winpath "$msi")\"" /qn SERVICE=1 "SERVICE_ACCOUNT=$account" AUTOSTART=1
expect_exit 1603 "SERVICE=1 with AUTOSTART=1"
[ ! -e "$pf/corvale.exe" ] && [ "$(reg_value "$run_key" Corvale)" = "$run_before" ] ||
  fail "SERVICE=1 with AUTOSTART=1 installed something"
msiexec /i "\"$(winpath "$msi")\"" /qn AUTOSTART=1
expect_exit 0 "install with AUTOSTART=1"
autostart_run="$(winrun "$VARNELL_BIN/prefix_tool.exe" short-path "$pf_win\corvale.exe") /LaunchOnStartup"
[ "$(reg_value "$run_key" Corvale)" = "$autostart_run" ] ||
  fail "AUTOSTART=1 wrote the Run entry '$(reg_value "$run_key" Corvale)', not '$autostart_run'"
[ "$(reg_value "$event_key" EventMessageFile)" = "$pf_win\corvale.exe" ] ||
  fail "the event source's messages are in '$(reg_value "$event_key" EventMessageFile)'"
msiexec /x "\"$(winpath "$msi")\"" /qn
expect_exit 0 "removal of the AUTOSTART=1 installation"
[ -z "$(reg_value "$run_key" Corvale)" ] || fail "the Run entry stayed: $(reg_value "$run_key" Corvale)"
! reg_key_exists "$event_key" || fail "the event source stayed after the removal"
pass "AUTOSTART=1 writes Corvale's Run entry (refused with SERVICE=1), the event source is registered; removal takes both"

timeout 60 wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
