#!/usr/bin/env bash
# gui_driver against the tools' test window: controls, text, check box, combo box, a message
# box opened by a click, the status bar, sizes and closing.
set -euo pipefail
source "$VARNELL_SOURCE/scripts/wine-env.sh"
work=$VARNELL_TEST_WORK
rm -rf "$work" && mkdir -p "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }
gd() { timeout 60 wine "$VARNELL_BIN/gui_driver.exe" "$@"; }
W="Tools Test Window"
expect() {  # expect <what> <wanted> <actual>
  [ "$2" = "$3" ] || fail "$1: wanted '$2', got '$3'"
}
status() { gd status-text "$W" | tr -d '\r'; }

timeout 200 wine "$VARNELL_BIN/tools_test_window.exe" &
window=$!
trap 'kill $window 2>/dev/null || true' EXIT

echo "== wait-window and list-controls"
gd wait-window "$W" | grep -qE '^0x[0-9a-f]+$' || fail "wait-window printed no handle"
gd list-controls "$W" >"$work/controls.txt"
cat "$work/controls.txt"
grep -qxF "101	Edit	C:\\hot\\in	1	1	-" "$work/controls.txt" || fail "edit box line"
grep -qxF "102	Button	&Delete after print	1	1	0" "$work/controls.txt" || fail "check box line"
grep -qxF "104	Button	&Start	1	1	-" "$work/controls.txt" || fail "button line"
grep -qP "^105\tmsctls_statusbar32\t" "$work/controls.txt" || fail "status bar line"
expect "status at start" "Ready" "$(status)"
expect "status bar by class" "Ready" "$(gd get-text "$W" class:msctls_statusbar32 | tr -d '\r')"
expect "button by text" "&Start" "$(gd get-text "$W" 'text:&Start' | tr -d '\r')"
expect "second button by class" "&Start" "$(gd get-text "$W" 'class:Button#1' | tr -d '\r')"

echo "== set-text, type-text, leave"
gd set-text "$W" 101 'Z:\hot folder\in'
expect "edit after set-text" 'Z:\hot folder\in' "$(gd get-text "$W" 101 | tr -d '\r')"
expect "changes after set-text" "Changes: 1" "$(status)"
gd type-text "$W" 101 'abc'
expect "edit after type-text" 'abc' "$(gd get-text "$W" 101 | tr -d '\r')"
expect "one change per keystroke" "Changes: 4" "$(status)"
gd leave "$W" 101
expect "status after leave" "Left: abc" "$(status)"

echo "== combo box"
gd combo-items "$W" 103 | tr -d '\r' >"$work/items.txt"
printf 'Dorrow_Laser\nOffice Laser 2\nPellam_Ink\n' | cmp - "$work/items.txt" || fail "combo items"
expect "combo text" "Dorrow_Laser" "$(gd get-text "$W" 103 | tr -d '\r')"
gd combo-select "$W" 103 'text:Office Laser 2'
expect "status after select by text" "Selected: Office Laser 2" "$(status)"
expect "combo text after select" "Office Laser 2" "$(gd get-text "$W" 103 | tr -d '\r')"
gd combo-select "$W" 103 2
expect "status after select by index" "Selected: Pellam_Ink" "$(status)"
if gd combo-select "$W" 103 'text:No Such' 2>/dev/null; then fail "selected a missing item"; fi
# A pick is a mouse click into the open list.
gd combo-pick "$W" 103 'text:Dorrow_Laser'
expect "status after pick" "Selected: Dorrow_Laser" "$(status)"
gd combo-pick "$W" 103 2
expect "combo text after pick by index" "Pellam_Ink" "$(gd get-text "$W" 103 | tr -d '\r')"
if gd combo-pick "$W" 103 7 2>/dev/null; then fail "picked a missing item"; fi
gd combo-drop "$W" 103 1
gd combo-drop "$W" 103 0
expect "text after the list opened and closed" "Pellam_Ink" "$(gd get-text "$W" 103 | tr -d '\r')"

echo "== check box"
expect "check at start" 0 "$(gd get-check "$W" 102 | tr -d '\r')"
gd set-check "$W" 102 1
expect "check after set-check 1" 1 "$(gd get-check "$W" 102 | tr -d '\r')"
gd set-check "$W" 102 1
expect "check after set-check 1 again" 1 "$(gd get-check "$W" 102 | tr -d '\r')"

echo "== the window is a dialog but no message box"
set +e; gd message-box --timeout 300 >"$work/box.txt" 2>"$work/err.txt"; rc=$?; set -e
expect "message-box exit code with only the main dialog" 1 "$rc"
grep -q "no message box appeared" "$work/err.txt" || fail "main dialog: $(cat "$work/box.txt")"
gd no-message-box 300

echo "== click opens a message box; answer it"
gd click "$W" 'text:&Start'
gd message-box | tr -d '\r' >"$work/box.txt"
printf 'Tools Test Message\nFolder: abc\nPrinter: Pellam_Ink\nDelete: 1\n' | cmp - "$work/box.txt" ||
  fail "message box: $(cat "$work/box.txt")"
if gd no-message-box 200 >/dev/null 2>&1; then fail "no-message-box missed the open box"; fi
gd answer-message-box 2 >/dev/null
expect "status after Cancel" "Answered: Cancel" "$(status)"
gd click "$W" 104
gd answer-message-box | tr -d '\r' | head -n1 | grep -qxF "Tools Test Message" || fail "second box"
expect "status after OK" "Answered: OK" "$(status)"
gd no-message-box 200

echo "== failures"
set +e
gd --timeout 300 get-text "$W" 999 2>"$work/err.txt"; rc=$?
set -e
expect "missing control exit code" 1 "$rc"
grep -q "no control 999" "$work/err.txt" || fail "reason: $(cat "$work/err.txt")"
set +e; gd --timeout 300 wait-window "No Such Window" 2>/dev/null; rc=$?; set -e
expect "missing window exit code" 1 "$rc"
set +e; gd get-text "$W" 2>/dev/null; rc=$?; set -e
expect "bad usage exit code" 2 "$rc"
set +e; gd move-mouse left 3 2>/dev/null; rc=$?; set -e
expect "move-mouse without a number" 2 "$rc"
gd move-mouse 0 0

echo "== end of the session"
# A window that lets the session end (the default answer) and stays, as this one does.
expect "answer to the end of the session" 1 "$(gd end-session "$W" | tr -d '\r')"
gd wait-window "$W" >/dev/null

echo "== sizes"
expect "minimized" 0 "$(gd minimized "$W" | tr -d '\r')"
gd send-resize "$W" 520 330
read -r w h < <(gd window-rect "$W" | tr -d '\r')
[ "$w" -gt 400 ] && [ "$w" -lt 520 ] && [ "$h" -gt 200 ] && [ "$h" -lt 330 ] ||
  fail "client size $w x $h after resizing to 520 x 330"

echo "== close"
gd close "$W"
gd --timeout 2000 wait-gone "$W"
for _ in $(seq 100); do kill -0 $window 2>/dev/null || break; sleep 0.05; done
kill -0 $window 2>/dev/null && fail "test window still running"
echo "PASS"
