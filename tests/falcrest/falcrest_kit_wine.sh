#!/usr/bin/env bash
# falcrest.exe under Wine with the stand-in kit, in a fresh private prefix of its own (the
# shared one has a file-port printer of the same name), beside a printer of another driver:
#   1. the install registers the monitor, whose port the spooler then lists, copies the files,
#      adds the driver and the printer "AFP Printer" with the kit's default device mode;
#   2. corvale.exe lists every printer but "AFP Printer" and "Varnell", and pennock.exe starts
#      a worker for "AFP Printer";
#   3. a second install over the first rewrites the port name value and every file;
#   4. the removal takes printer, driver, port and monitor key away and leaves the other printer;
#   5. afterwards neither corvale.exe nor pennock.exe sees "AFP Printer".
# The 64-bit test build (hosts that cannot run 32-bit code) cannot add a printer of a
# "Windows NT x86" driver; there the printer and what needs it are skipped, with the reason.
source "$VARNELL_SOURCE/tests/wine/lib.sh"
source "$VARNELL_SOURCE/tests/falcrest/falcrest_output.sh"

bin=$VARNELL_BIN
kit=$bin/standin_kit
helper=$bin/falcrest_test_helper.exe
monitor_key='HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\Tollard Port Monitor'
driver="Generic InfoPrint 600dpi AFP"
driver_files=(CWBAFP.DLL CWBAFPUI.DLL ODAFP.CHM CWBAFPR.DLL CWBAFAPI.dll LABCMYK.LUT
  CMYK212HALF.PS AFP.EXE)
bystander="Office Laser 2"

if ! timeout 60 wine --version >/dev/null 2>&1; then
  echo "SKIP: this machine cannot start the Wine loader of the build under test"
  exit 77
fi
for file in falcrest.exe corvale.exe pennock.exe gui_driver.exe prefix_tool.exe \
  falcrest_test_helper.exe standin_kit/AFP32.dll; do
  [ -f "$bin/$file" ] || fail "$bin/$file not built"
done

# The 32-bit programs run in the 64-bit prefix under WOW64, with syswow64 as their system
# folder; the 64-bit build has system32. The spool folder is the same for both.
if [ "$VARNELL_WINE_PRESET" = windows64 ]; then
  printer_possible=0
  system_folder=system32
else
  printer_possible=1
  system_folder=syswow64
fi
skip() {
  echo "SKIP: $*: the 64-bit build cannot add a printer of a \"Windows NT x86\" driver" \
    "(${VARNELL_WINE_BUILD:-64-bit build})"
}

export WINEPREFIX=$WORK/prefix
windows=$WINEPREFIX/drive_c/windows
spool=$windows/system32/spool/drivers/w32x86
trap 'kill $(jobs -p) 2>/dev/null || true; timeout 60 wineserver -k 2>/dev/null || true' EXIT

echo "== a fresh prefix: $WINEPREFIX"
# It waits until the set-up has ended: before, the spooler cannot start in time.
wine_prefix_init || fail "wineboot could not set up the prefix"
# One process stays alive, so that each start is quick and the printer list is synchronised
# with CUPS once.
timeout 900 wine "$bin/prefix_tool.exe" hold 900000 >"$WORK/hold.out" 2>&1 &
wait_until 60 grep -q holding "$WORK/hold.out" || fail "the prefix tool did not start"
winrun "$bin/prefix_tool.exe" addprinter "$bystander" "$(winpath "$WORK/bystander.prn")" \
  Dorrow_Laser >/dev/null || fail "could not add $bystander"
bystander_line=$(winrun "$bin/prefix_tool.exe" printers | grep "^$bystander"$'\t') ||
  fail "$bystander not listed"

# run NAME ARGS...: falcrest's standard output in $WORK/NAME.out, standard error in .err.
run() {
  local name=$1
  shift
  status=0
  timeout 120 wine "$bin/falcrest.exe" "$@" </dev/null >"$WORK/$name.out" 2>"$WORK/$name.err" ||
    status=$?
  echo "== falcrest $* -> exit status $status"
  sed 's/^/   /' "$WORK/$name.out"
  echo
  if [ -s "$WORK/$name.err" ]; then fail "$name: standard error: $(cat "$WORK/$name.err")"; fi
}

printers() { winrun "$bin/prefix_tool.exe" printers; }
printer_names() { printers | cut -f1 | sort; }
helper() { winrun "$helper" "$@"; }
port_name_value() { reg_value "$monitor_key" 1; }

expect_kit_files() {
  local file
  cmp -s "$windows/$system_folder/AFP32.dll" "$kit/AFP32.dll" ||
    fail "$1: AFP32.dll is not the kit's in $system_folder"
  cmp -s "$windows/$system_folder/CWBAFAPI.DLL" "$kit/Driver/CWBAFAPI.dll" ||
    fail "$1: CWBAFAPI.DLL is not the kit's in $system_folder"
  for file in "${driver_files[@]}"; do
    cmp -s "$spool/$file" "$kit/Driver/$file" || fail "$1: $file is not the kit's in $spool"
  done
}

# corvale.exe's printer list, one name a line, sorted.
corvale_printers() {
  timeout 300 wine "$WORK/programs/corvale.exe" >"$WORK/corvale.out" 2>&1 &
  local corvale=$!
  drv wait-window Corvale >/dev/null || fail "the Corvale window did not appear"
  drv combo-items Corvale 1002 | sort >"$WORK/corvale-printers.txt"
  import -window root "$WORK/corvale-$1.png" 2>/dev/null || true
  drv close Corvale >/dev/null || fail "the Corvale window did not close"
  wait "$corvale" || true
}

# The printers pennock.exe starts a worker for, one name a line, sorted.
pennock_workers() {
  local log=$WORK/pennock-$1.log caption="Printer Activities"
  timeout 300 wine "$WORK/programs/pennock.exe" "$(winpath "$log")" >"$WORK/pennock.out" 2>&1 &
  local pennock=$!
  drv wait-window "$caption" >/dev/null || fail "the Pennock window did not appear"
  wait_until 60 pennock_initialised "$caption" || fail "Pennock did not finish its start-up"
  import -window root "$WORK/pennock-$1.png" 2>/dev/null || true
  drv close "$caption" >/dev/null || fail "the Pennock window did not close"
  wait "$pennock" || fail "pennock.exe did not end well"
  tr -d '\r' <"$log" | sed -n 's/^Started thread successfully \[\(.*\)\]$/\1/p' | sort
}
pennock_initialised() { drv get-text "$1" 1000 | grep -q 'Finished initialisation\.'; }

# The meeting of the three programs: Corvale leaves out "AFP Printer" and "Varnell", Pennock
# follows every printer of the spooler.
expect_programs_meet() {
  printer_names >"$WORK/spooler-printers.txt"
  grep -vx -e "AFP Printer" -e Varnell "$WORK/spooler-printers.txt" >"$WORK/corvale-expected.txt"
  corvale_printers "$1"
  diff "$WORK/corvale-expected.txt" "$WORK/corvale-printers.txt" >/dev/null ||
    fail "$1: Corvale lists $(paste -sd, "$WORK/corvale-printers.txt"), expected $(paste -sd, "$WORK/corvale-expected.txt")"
  pennock_workers "$1" >"$WORK/pennock-workers.txt"
  diff "$WORK/spooler-printers.txt" "$WORK/pennock-workers.txt" >/dev/null ||
    fail "$1: Pennock starts workers for $(paste -sd, "$WORK/pennock-workers.txt"), expected $(paste -sd, "$WORK/spooler-printers.txt")"
  pass "$1: Corvale lists $(paste -sd, "$WORK/corvale-printers.txt"); Pennock follows $(paste -sd, "$WORK/pennock-workers.txt")"
}

mkdir -p "$WORK/programs"
cp "$bin/corvale.exe" "$bin/pennock.exe" "$WORK/programs/"
kit_path=$(winpath "$kit")
expected_start='Service start pending...\nService started successfully.\n'

# 1. The install.
run install "$kit_path"
[ "$status" = 0 ] || fail "install: exit status $status"
if [ "$printer_possible" = 1 ]; then
  expect_output "$WORK" install "${expected_start}Preparing to install AFP driver...\r\n"
else
  expect_output "$WORK" install "${expected_start}Preparing to install AFP driver...\r\nError Code: 1797"
fi
[ "$(port_name_value)" = "AFP Printer Port" ] || fail "port name value: '$(port_name_value)'"
[ "$(reg_value "$monitor_key" Driver)" = AFP32.dll ] || fail "the monitor was not added"
helper monitors | grep -qx $'Tollard Port Monitor\tWindows NT x86\tAFP32.dll' ||
  fail "the spooler lists no monitor Tollard Port Monitor: $(helper monitors)"
helper ports | grep -q $'^AFP Printer Port\tTollard Port Monitor\t' ||
  fail "the monitor offers no port AFP Printer Port: $(helper ports)"
expect_kit_files install
helper drivers "Windows NT x86" >"$WORK/drivers.txt"
grep -F "$driver"$'\t3\t' "$WORK/drivers.txt" >"$WORK/driver.txt" ||
  fail "driver not added: $(cat "$WORK/drivers.txt")"
IFS=$'\t' read -r _ _ driver_path data_file config_file help_file dependents <"$WORK/driver.txt"
for role in "$driver_path:CWBAFP.DLL" "$data_file:CWBAFP.DLL" "$config_file:CWBAFPUI.DLL" \
  "$help_file:ODAFP.CHM"; do
  [[ "${role%:*}" == *'\'"${role##*:}" ]] || fail "driver record: '${role%:*}' is not ${role##*:}"
done
[ "$(tr ',' '\n' <<<"$dependents" | sed 's/.*\\//' | paste -sd' ')" = "${driver_files[*]}" ] ||
  fail "dependent files: $dependents"
# The spooler keeps its own copies in the version folder.
for file in "${driver_files[@]}"; do
  cmp -s "$spool/3/$file" "$kit/Driver/$file" || fail "$file not in the driver's version folder"
done
pass "monitor, port, files and driver of the kit in place"

if [ "$printer_possible" = 1 ]; then
  [ "$(printers | grep -c '^AFP Printer'$'\t')" = 1 ] || fail "printers: $(printers)"
  printers | grep -qx $'AFP Printer\tAFP Printer Port\t'"$driver" ||
    fail "AFP Printer not on its port and driver: $(printers)"
  # The kit's configuration DLL made the default device mode: A4 (9), portrait (1), 600 dpi.
  [ "$(helper printer "AFP Printer")" = \
    "AFP Printer"$'\t'"AFP Printer Port"$'\t'"$driver"$'\t'"C:\\windows\\System32\\Spool\\Drivers\\W32x86\\3"$'\t'"WinPrint"$'\t'"RAW"$'\t'"AFP Printer"$'\t9\t1\t600' ] ||
    fail "printer record: $(helper printer "AFP Printer")"
  pass "printer AFP Printer on AFP Printer Port with the kit's device mode"
else
  skip "printer AFP Printer not checked"
fi

echo "== what the install left in the prefix"
echo "-- wine reg query $monitor_key"
timeout 120 wine64 reg query "$monitor_key" /reg:64 | tr -d '\r' | sed '/^$/d; s/^/   /'
echo "-- prefix_tool printers"
printers | sed 's/^/   /'
echo "-- ports (not of the local monitor)"
helper ports | grep -v $'\tLocal Monitor\t' | sed 's/^/   /'
echo "-- drivers of Windows NT x86"
sed 's/^/   /' "$WORK/drivers.txt"
echo "-- files of the kit"
(
  cd "$windows"
  for file in "$system_folder/AFP32.dll" "$system_folder/CWBAFAPI.DLL" \
    "${driver_files[@]/#/system32/spool/drivers/w32x86/}" \
    "${driver_files[@]/#/system32/spool/drivers/w32x86/3/}"; do
    printf '   %8d  C:\\windows\\%s\n' "$(stat -c %s "$file")" "${file//\//\\}"
  done
)

# 2. The programs meet through the spooler.
if [ "$printer_possible" = 1 ]; then
  grep -qx "AFP Printer" <(printer_names) || fail "no AFP Printer to meet at"
  expect_programs_meet after-install
  grep -qx "AFP Printer" "$WORK/pennock-workers.txt" || fail "Pennock has no worker for AFP Printer"
else
  skip "Corvale and Pennock with AFP Printer not checked"
fi

# 3. A second install over the first: AddMonitorW refuses, and the rest runs again.
timeout 120 wine64 reg add "$monitor_key" /v 1 /t REG_SZ /d "Stale Port" /f /reg:64 >/dev/null ||
  fail "could not change the port name value"
printf 'stale\n' >"$spool/ODAFP.CHM"
printf 'stale\n' >"$windows/$system_folder/AFP32.dll"
run install-again "$kit_path"
[ "$status" = 0 ] || fail "install-again: exit status $status"
if [ "$printer_possible" = 1 ]; then
  # Wine's spooler lets the printer be added over itself.
  expect_output "$WORK" install-again "${expected_start}Preparing to install AFP driver...\r\n"
  [ "$(printers | grep -c '^AFP Printer'$'\t')" = 1 ] || fail "install-again: $(printers)"
else
  expect_output "$WORK" install-again "${expected_start}Preparing to install AFP driver...\r\nError Code: 1797"
fi
[ "$(port_name_value)" = "AFP Printer Port" ] || fail "install-again: port '$(port_name_value)'"
expect_kit_files install-again
[ "$(helper drivers "Windows NT x86" | grep -c "^$driver"$'\t')" = 1 ] ||
  fail "install-again: drivers $(helper drivers "Windows NT x86")"
pass "a second install rewrote the port name value and the files"

# 4. The removal.
run remove a b c d
[ "$status" = 0 ] || fail "remove: exit status $status"
expect_output "$WORK" remove "${expected_start}Cannot start the service because it is already running\n"
if reg_key_exists "$monitor_key"; then fail "remove: the monitor key is still there"; fi
if helper monitors | grep -q "^Tollard Port Monitor"$'\t'; then fail "remove: monitor listed"; fi
if helper ports | grep -q "^AFP Printer Port"$'\t'; then fail "remove: port still listed"; fi
if helper drivers "Windows NT x86" | grep -q "^$driver"$'\t'; then
  fail "remove: the driver is still there"
fi
if printers | grep -q "^AFP Printer"$'\t'; then fail "remove: AFP Printer is still there"; fi
[ "$(printers | grep "^$bystander"$'\t')" = "$bystander_line" ] ||
  fail "remove: $bystander did not survive: $(printers)"
# The files stay where the install put them.
expect_kit_files remove
pass "printer, driver, port and monitor key removed; $bystander left alone"

# 5. Neither program sees the printer any more.
if [ "$printer_possible" = 1 ]; then
  expect_programs_meet after-remove
else
  skip "Corvale and Pennock after the removal not checked"
fi

kill "$(jobs -p)" 2>/dev/null || true
timeout 60 wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
echo "PASS: falcrest with the stand-in kit (${VARNELL_WINE_BUILD:-$VARNELL_WINE_PRESET})"
