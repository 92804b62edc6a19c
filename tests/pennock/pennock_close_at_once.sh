#!/usr/bin/env bash
# pennock.exe closed the moment its window exists, round after round: the close message waits in
# the queue while start-up creates the workers, so finalisation meets workers still inside their
# threads' start-up. Every round the process must end by itself with exit code 0 and its output
# file must hold the whole start-up and the finalisation, with no termination failure.
set -euo pipefail
source "$VARNELL_SOURCE/tests/wine/lib.sh"

rounds=${PENNOCK_CLOSE_ROUNDS:-15}
helper=$VARNELL_BIN/pennock_test_helper.exe
caption="Printer Activities"
hyphens=$(printf '%068d' 0 | tr 0 -)

winrun "$helper" printers >"$WORK/printers.txt"
count=$(grep -c . "$WORK/printers.txt") || true
[ "$count" -gt 0 ] || fail "the spooler lists no local printer"

# Keeps the print DLL loaded between rounds, so that every round starts as fast as it can.
timeout 600 wine "$VARNELL_BIN/prefix_tool.exe" hold 600000 >/dev/null 2>&1 &

for round in $(seq 1 "$rounds"); do
  output="$WORK/round $round.log"
  timeout 60 wine "$VARNELL_BIN/pennock.exe" "$(winpath "$output")" >/dev/null 2>&1 &
  pennock=$!
  winrun "$helper" close-at-once "$caption" 30000 >"$WORK/close-$round.txt" ||
    fail "round $round: $(cat "$WORK/close-$round.txt")"
  status=0
  wait "$pennock" || status=$?
  [ "$status" = 0 ] || fail "round $round: pennock.exe ended with $status"
  [ -f "$output" ] || fail "round $round: no output file"

  tr -d '\r' <"$output" >"$WORK/lines-$round.txt"
  mapfile -t lines <"$WORK/lines-$round.txt"
  total=${#lines[@]}
  [ "$total" -ge 8 ] || fail "round $round: only $total lines"
  [ "${lines[0]}" = "$hyphens" ] && [ "${lines[1]}" = "Starting initialisation." ] ||
    fail "round $round: start-up lines missing"
  [ "$(grep -c '^Started thread successfully \[' "$WORK/lines-$round.txt")" = "$count" ] ||
    fail "round $round: not every worker was started"
  grep -qx "Finished initialisation." "$WORK/lines-$round.txt" ||
    fail "round $round: start-up did not finish"
  tail=("${lines[@]:$((total - 4))}")
  [ "${tail[0]}" = "$hyphens" ] && [ "${tail[1]}" = "Starting finalisation." ] &&
    [ "${tail[2]}" = "Finished finalisation." ] && [ "${tail[3]}" = "$hyphens" ] ||
    fail "round $round: the output does not end with the finalisation lines: ${tail[*]}"
  ! grep -qE '^Could not terminate|^FInitnotificationThreads\(\) failed' "$WORK/lines-$round.txt" ||
    fail "round $round: a worker could not be terminated"
done
pass "$rounds rounds closed at once, $count workers each: every run ended cleanly"
