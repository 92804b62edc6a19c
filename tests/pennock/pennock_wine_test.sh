#!/usr/bin/env bash
# pennock.exe under Wine with the private printers: runs it with one argument (the output file),
# waits until every worker reported, takes a screenshot, closes the window from outside and
# checks the start-up, worker and finalisation lines appended to the output file.
set -euo pipefail
source "$VARNELL_SOURCE/scripts/wine-env.sh"

work=$VARNELL_TEST_WORK
rm -rf "$work"
mkdir -p "$work"
helper=$VARNELL_BIN/pennock_test_helper.exe
caption="Printer Activities"
output="$work/pennock activity.log"
hyphens=$(printf '%068d' 0 | tr 0 -)
fail() { echo "FAIL: $*" >&2; exit 1; }

timeout 60 wine "$helper" printers | tr -d '\r' >"$work/printers.txt"
mapfile -t printers <"$work/printers.txt"
count=${#printers[@]}
[ "$count" -gt 0 ] || fail "the spooler lists no local printer"
echo "local printers: ${printers[*]}"

# The file exists already: the run appends to it.
printf 'earlier run\r\n' >"$output"

timeout 120 wine "$VARNELL_BIN/pennock.exe" "$(winpath "$output")" &
pennock=$!

# Every worker ends at its registration under Wine (a stub that always fails); wait for all.
timeout 60 wine "$helper" wait "$caption" "[*] [T] Invalid notification handle returned!" "$count" 30000 ||
  fail "the workers did not all report"
import -window root "$work/pennock.png" || echo "no screenshot taken"

if [ -f "$VARNELL_BIN/gui_driver.exe" ]; then
  timeout 60 wine "$VARNELL_BIN/gui_driver.exe" close "$caption" || fail "gui_driver could not close"
else
  timeout 60 wine "$helper" close "$caption" 10000 || fail "the window did not close"
fi
status=0
wait "$pennock" || status=$?
[ "$status" = 0 ] || fail "pennock.exe ended with $status"

tr -d '\r' <"$output" >"$work/lines.txt"
mapfile -t lines <"$work/lines.txt"
cat "$work/lines.txt"

# Start-up: the printers numbered in the spooler's order, their log names, the started threads.
expected=("earlier run" "$hyphens" "Starting initialisation." "Initialising critical section ..."
  "Getting needed buffer size for printer information (PRINTER_INFO_4).")
i=0
for line in "${expected[@]}"; do
  [ "${lines[$i]}" = "$line" ] || fail "line $i: '${lines[$i]}', expected '$line'"
  i=$((i + 1))
done
[[ "${lines[$i]}" =~ ^Required\ size\ is:\ [0-9]+\ Bytes$ ]] || fail "line $i: '${lines[$i]}'"
i=$((i + 1))
expected=("Enumerated the printers successfully!"
  "Got required amount of memory for ThreadBuffer. ($((count * 40)) Bytes)" ""
  "Copying the following names:")
for n in $(seq 1 "$count"); do
  expected+=("$(printf '%02d. %s' "$n" "${printers[$((n - 1))]}")")
done
for line in "${expected[@]}"; do
  [ "${lines[$i]}" = "$line" ] || fail "line $i: '${lines[$i]}', expected '$line'"
  i=$((i + 1))
done
for name in "${printers[@]}"; do
  [ "${lines[$i]}" = "Output will be written to: \"${name// /_}.log\"" ] || fail "line $i: '${lines[$i]}'"
  [ "${lines[$((i + 1))]}" = "Started thread successfully [$name]" ] || fail "line $((i + 1))"
  [[ "${lines[$((i + 2))]}" =~ ^-\>\ Threadhandle\ =\ [0-9A-F]{8}$ ]] || fail "line $((i + 2))"
  i=$((i + 3))
done
if printf '%s\n' "${printers[@]}" | grep -qx "Office Laser 2"; then
  grep -qx 'Output will be written to: "Office_Laser_2.log"' "$work/lines.txt" ||
    fail "no log name for Office Laser 2"
fi

# The workers' lines follow start-up, lines of different workers in any order.
[ "$(grep -c '^\[\*\] ' "$work/lines.txt")" = $((2 * count)) ] || fail "unexpected worker lines"
for name in "${printers[@]}"; do
  grep -qF "[*] [T] Openprinter() called successfully for \"$name\" [hPrinter = " "$work/lines.txt" ||
    fail "no open line for $name"
done
[ "$(grep -cxF '[*] [T] Invalid notification handle returned! (hNotify = INVALID_HANDLE_VALUE)' \
  "$work/lines.txt")" = "$count" ] || fail "not one registration failure per worker"

# Finalisation: every worker (already ended by itself) is terminated without complaint.
total=${#lines[@]}
tail_expected=("$hyphens" "Starting finalisation." "Finished finalisation." "$hyphens")
start=$((total - ${#tail_expected[@]}))
for k in "${!tail_expected[@]}"; do
  [ "${lines[$((start + k))]}" = "${tail_expected[$k]}" ] ||
    fail "line $((start + k)): '${lines[$((start + k))]}', expected '${tail_expected[$k]}'"
done
closing=$((i))
[ "${lines[$closing]}" = "Finished initialisation." ] || fail "line $closing: '${lines[$closing]}'"
[ "${lines[$((closing + 1))]}" = "$hyphens" ] && [ "${lines[$((closing + 2))]}" = "" ] ||
  fail "start-up closing lines"
[ $((closing + 3 + 2 * count + 4)) = "$total" ] || fail "unexpected lines between start-up and end"
echo "PASS: $count workers, $total lines"
