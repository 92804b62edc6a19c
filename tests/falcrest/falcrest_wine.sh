#!/usr/bin/env bash
# falcrest.exe under Wine with an installation kit of dummy files (not real DLLs):
#   1. removal clears what an earlier run left, and leaves the spooler running;
#   2. an install whose monitor DLL cannot be loaded copies the monitor and API DLLs into the
#      system folder and ends at the port: "\r\nFailed to create printer port\r\n", status -1;
#   3. an install over the monitor key of an earlier install writes the port name, restarts the
#      spooler and copies driver files until the missing third one: no driver, no printer;
#   4. removal deletes the monitor key again.
# The installer's printer is never added: its name is that of a printer the prefix already has,
# which Wine's AddPrinterW would take over. Every run leaves the spooler running. The whole
# install with the stand-in kit, in a prefix of its own, is falcrest_kit_wine.sh.
set -euo pipefail
source "$VARNELL_SOURCE/scripts/wine-env.sh"
source "$VARNELL_SOURCE/tests/falcrest/falcrest_output.sh"

exe=$VARNELL_BIN/falcrest.exe
work=$VARNELL_TEST_WORK
windows=$WINEPREFIX/drive_c/windows
monitor_key='HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\Tollard Port Monitor'
driver_files=(CWBAFP.DLL CWBAFPUI.DLL ODAFP.CHM CWBAFPR.DLL CWBAFAPI.dll LABCMYK.LUT
  CMYK212HALF.PS AFP.EXE)

if ! timeout 60 wine --version >/dev/null 2>&1; then
  echo "SKIP: this machine cannot start the 32-bit Wine loader"
  exit 77
fi
[ -f "$exe" ] || { echo "FAIL: $exe not built"; exit 1; }

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# A 32-bit program in a 64-bit prefix has syswow64 as its system folder; the 64-bit test build
# (on hosts that cannot run 32-bit code) has system32 and the 64-bit registry.
if [ "${VARNELL_WINE_PRESET:-windows}" = windows64 ]; then
  system=$windows/system32
  reg_wine() { timeout 60 wine64 reg "$@" /reg:64; }
elif [ -d "$windows/syswow64" ]; then
  system=$windows/syswow64
  reg_wine() { timeout 60 wine64 reg "$@" /reg:64; }
else
  system=$windows/system32
  reg_wine() { timeout 60 wine reg "$@" /reg:32; }
fi
spool_folders=("$windows/system32/spool/drivers/w32x86" "$windows/syswow64/spool/drivers/w32x86")

monitor_key_exists() { reg_wine query "$monitor_key" >/dev/null 2>&1; }

# Our files only: the kit's names in the system and spool driver folders.
remove_copies() {
  rm -f "$system/AFP32.dll" "$system/CWBAFAPI.DLL"
  local folder file
  for folder in "${spool_folders[@]}"; do
    for file in "${driver_files[@]}" CWBAFAPI.DLL; do rm -f "$folder/$file" "$folder/3/$file"; done
  done
}

# The spool driver folder a driver file was copied to; empty when it is in none.
spool_copy_of() {
  local folder
  for folder in "${spool_folders[@]}"; do
    if [ -f "$folder/$1" ]; then
      echo "$folder/$1"
      return
    fi
  done
}

# run NAME ARGS...: falcrest's output in $work/NAME.out and .err, its exit status in $status.
run() {
  local name=$1
  shift
  set +e
  timeout 120 wine "$exe" "$@" </dev/null >"$work/$name.out" 2>"$work/$name.err"
  status=$?
  set -e
  echo "== falcrest $* -> exit status $status"
  echo "-- standard output:"
  od -c "$work/$name.out" | sed 's/^/   /'
  echo "-- standard error:"
  sed 's/^/   /' "$work/$name.err"
}

expect_no_privilege_complaint() {
  if grep -q "Cannot " "$work/$1.err"; then fail "$1: privilege complaint on standard error"; fi
}

rm -rf "$work"
mkdir -p "$work/kit/Driver"
printf 'dummy AFP32.dll\n' >"$work/kit/AFP32.dll"
for file in "${driver_files[@]}"; do printf 'dummy %s\n' "$file" >"$work/kit/Driver/${file^^}"; done
kit=$(winpath "$work/kit")
remove_copies

# 1. Removal first, so that nothing of an earlier run is left.
run remove-first a b c d
[ "$status" = 0 ] || fail "remove-first: exit status $status"
expect_output "$work" remove-first 'Service start pending...\nService started successfully.\nCannot start the service because it is already running\n'
expect_no_privilege_complaint remove-first
if monitor_key_exists; then fail "remove-first: monitor key still there"; fi

# 2. AddMonitorW cannot load a dummy AFP32.dll, so the monitor key is never made.
run install-no-monitor "$kit"
[ "$status" = 255 ] || fail "install-no-monitor: exit status $status, not -1"
printf '\r\nFailed to create printer port\r\n' >"$work/install-no-monitor.expected"
cmp -s "$work/install-no-monitor.out" "$work/install-no-monitor.expected" ||
  fail "install-no-monitor: output differs"
expect_no_privilege_complaint install-no-monitor
cmp -s "$system/AFP32.dll" "$work/kit/AFP32.dll" || fail "AFP32.dll not copied to $system"
cmp -s "$system/CWBAFAPI.DLL" "$work/kit/Driver/CWBAFAPI.DLL" ||
  fail "CWBAFAPI.DLL not copied to $system"
[ -z "$(spool_copy_of CWBAFP.DLL)" ] || fail "install-no-monitor: a driver file was copied"
if monitor_key_exists; then fail "install-no-monitor: monitor key made"; fi

# 3. The key of an earlier install: AddMonitorW refuses, the port name is written anyway.
reg_wine add "$monitor_key" /v Driver /t REG_SZ /d AFP32.dll /f >/dev/null
rm "$work/kit/Driver/ODAFP.CHM"
run install-over-earlier "$kit"
[ "$status" = 0 ] || fail "install-over-earlier: exit status $status"
expect_output "$work" install-over-earlier 'Service start pending...\nService started successfully.\nPreparing to install AFP driver...\r\n'
expect_no_privilege_complaint install-over-earlier
reg_wine query "$monitor_key" /v 1 >"$work/port-value.txt" 2>&1 || true
grep -q 'REG_SZ *AFP Printer Port' "$work/port-value.txt" ||
  fail "port name value missing: $(cat "$work/port-value.txt")"
for file in CWBAFP.DLL CWBAFPUI.DLL; do
  copy=$(spool_copy_of "$file")
  if [ -z "$copy" ]; then
    fail "$file not copied to the spool driver folder"
  else
    echo "copied: ${copy#"$WINEPREFIX/"}"
    cmp -s "$copy" "$work/kit/Driver/$file" || fail "$copy differs from the kit's"
  fi
done
for file in ODAFP.CHM CWBAFPR.DLL CWBAFAPI.dll LABCMYK.LUT CMYK212HALF.PS AFP.EXE; do
  [ -z "$(spool_copy_of "$file")" ] || fail "$file copied after the missing third file"
done

# 4. Removal deletes the monitor key; the spooler stays running.
run remove-again a b c d
[ "$status" = 0 ] || fail "remove-again: exit status $status"
expect_output "$work" remove-again 'Service start pending...\nService started successfully.\nCannot start the service because it is already running\n'
if monitor_key_exists; then fail "remove-again: monitor key still there"; fi

remove_copies
if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "falcrest under Wine: all checks passed"
