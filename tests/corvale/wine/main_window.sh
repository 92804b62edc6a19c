# corvale.exe's main window under Wine: its caption, size and place, which no resize or maximize
# request changes; a printer configured entirely through the window, started, and a dropped
# file printed; refused queue depths answered in their message boxes; the folder picker; help;
# About; the settings and the Run entry written at close; and a start at logon, minimized.
# Saves a screenshot of the window as main-window.png.
source "$VARNELL_SOURCE/tests/wine/lib.sh"

hot=$WORK/hot done=$WORK/done log=$WORK/corvale.log
done_win=$(winpath "$done")
# The folder picker's starting folder: one the prefix has had since it was made. Wine's picker
# does not select a folder made a moment before it opens (it stays at the Desktop, or picks a
# sibling) until that folder has been listed once.
picked='C:\windows'
mkdir -p "$hot" "$done"
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
# Wine's start-up runs the Run entries: none may outlive the test.
remove_run_entry() { timeout 120 wine64 reg delete "$run_key" /v Corvale /f /reg:64 >/dev/null 2>&1 || true; }
trap 'remove_run_entry; kill $(jobs -p) 2>/dev/null || true' EXIT

remove_run_entry
corvale_reset_settings "$log"

# --- Caption, size and place ---------------------------------------------------------------
run_corvale
[ "$(drv window-rect Corvale)" = "662 622" ] || fail "client area $(drv window-rect Corvale)"
read -r x y w h <<<"$(drv screen-rect Corvale)"
read -r screen_w screen_h <<<"$(xdpyinfo | awk '/dimensions:/ { sub(/x/, " ", $2); print $2 }')"
[ $((x - (screen_w - w) / 2)) -le 1 ] && [ $(((screen_w - w) / 2 - x)) -le 1 ] &&
  [ $((y - (screen_h - h) / 2)) -le 1 ] && [ $(((screen_h - h) / 2 - y)) -le 1 ] ||
  fail "window at $x,$y ($w x $h) is not centred on $screen_w x $screen_h"
placed="$x $y $w $h"
drv send-resize Corvale 900 700 >/dev/null
[ "$(drv window-rect Corvale)" = "662 622" ] || fail "a resize changed the client area"
drv maximize Corvale >/dev/null
[ "$(drv window-rect Corvale)" = "662 622" ] || fail "maximizing changed the client area"
[ "$(drv screen-rect Corvale)" = "$placed" ] || fail "maximizing moved the window"
pass "caption Corvale, client 662 x 622, centred; resize and maximize leave it so"

# --- A printer configured through the window -----------------------------------------------
drv combo-select Corvale 1002 text:Pellam_Ink >/dev/null
drv set-check Corvale 1003 1 >/dev/null
drv type-text Corvale 1009 "$(winpath "$hot")" >/dev/null
drv type-text Corvale 1013 "$done_win" >/dev/null
drv focus Corvale 1016 >/dev/null
drv type-text Corvale 1016 3 >/dev/null
drv press-tab Corvale >/dev/null
drv no-message-box 500 >/dev/null || fail "a valid queue depth was refused"
read -r x y w h <<<"$(drv screen-rect Corvale)"
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$WORK/main-window.png" ||
  fail "no screenshot"
pass "printer configured by typing; screenshot $WORK/main-window.png"

# Refused depths: the message and an emptied box, or the integer error and the box kept.
drv focus Corvale 1016 >/dev/null
drv type-text Corvale 1016 0 >/dev/null
drv focus Corvale 1009 >/dev/null
box=$(drv answer-message-box) || fail "no message box for queue depth 0"
[ "$box" = $'Corvale\nInvalid queue depth!\nQueue depth should be an integer value and larger than zero.' ] ||
  fail "queue depth message: $box"
[ "$(drv get-text Corvale 1016)" = "" ] || fail "the refused depth stayed in the box"
drv focus Corvale 1016 >/dev/null
drv type-text Corvale 1016 99999999999 >/dev/null
drv press-tab Corvale >/dev/null
box=$(drv answer-message-box) || fail "no error box for 99999999999"
[ "$box" = $'Corvale\n\'99999999999\' is not a valid integer value' ] || fail "integer error: $box"
[ "$(drv get-text Corvale 1016)" = 99999999999 ] || fail "the box lost the too large number"
pass "queue depth 0 and 99999999999 refused in message boxes the driver answered"

# The folder picker opens at the box's folder; its OK puts that folder back.
drv set-text Corvale 1013 "$picked" >/dev/null
drv click Corvale 1014 >/dev/null
drv wait-window "Choose Folder" >/dev/null || fail "no folder picker"
drv list-controls "Choose Folder" >"$WORK/picker.txt"
grep -qP '\tPlease choose a folder to store printed AFP files\t' "$WORK/picker.txt" ||
  fail "picker prompt: $(cat "$WORK/picker.txt")"
drv click "Choose Folder" 1 >/dev/null
drv wait-gone "Choose Folder" >/dev/null || fail "the picker did not close"
[ "$(drv get-text Corvale 1013)" = "$picked" ] ||
  fail "after the picker's OK the box holds $(drv get-text Corvale 1013)"
drv set-text Corvale 1013 "$done_win" >/dev/null
pass "folder picker \"Choose Folder\" with its prompt; OK gives the starting folder"

drv click Corvale 1030 >/dev/null
wait_until 60 grep -q "Simulator started successfully." "$log" || fail "the server did not start"
grep -qF "[Shell] Adding on-watch folder $(winpath "$hot")" "$log" || fail "hot folder not watched"
drop_file "$hot" window.afp "configured through the window $$"
wait_until 120 test -e "$done/window.afp" || fail "the dropped file did not reach the done folder"
wait_until 60 bash -c "grep -lq 'configured through the window $$' '$VARNELL_PRINT_OUT'/Pellam_Ink/job-*.prn" ||
  fail "the file was not printed on Pellam_Ink"
pass "Start; the dropped file printed on Pellam_Ink and moved to the done folder"

# --- Help and About ------------------------------------------------------------------------
drv click Corvale 1032 >/dev/null
drv wait-window "Corvale Help" >/dev/null || fail "no help window"
drv close "Corvale Help" >/dev/null || fail "the help window did not close"
pass "Help opens Corvale.chm in a window \"Corvale Help\""

drv click Corvale 1033 >/dev/null
drv wait-window About >/dev/null || fail "no About window"
drv list-controls About >"$WORK/about.txt"
grep -qP '\tCorvale\t' "$WORK/about.txt" || fail "About without the name: $(cat "$WORK/about.txt")"
version=$(program_version corvale)
about_version="${version%.*} (build ${version##*.})"
grep -qF "$(printf '\t%s\t' "$about_version")" "$WORK/about.txt" ||
  fail "About without the version $about_version: $(cat "$WORK/about.txt")"
drv click About 1 >/dev/null
drv wait-gone About >/dev/null || fail "About did not close with OK"
pass "About shows Corvale and $about_version, closes with OK"

# --- Closing writes the settings and the Run entry -----------------------------------------
drv set-check Corvale 1018 1 >/dev/null
close_corvale
devices='HKCU\SOFTWARE\Varnell\Devices'
[ "$(reg_value "$devices" DefaultPrinter)" = Pellam_Ink ] || fail "DefaultPrinter"
[ "$(reg_value "$devices\\Pellam_Ink" EnableIPDSEmulation)" = 0x1 ] || fail "EnableIPDSEmulation"
[ "$(reg_value "$devices\\Pellam_Ink" InputFolder)" = "$(winpath "$hot")" ] || fail "InputFolder"
[ "$(reg_value "$devices\\Pellam_Ink" DoneFolder)" = "$done_win" ] || fail "DoneFolder"
[ "$(reg_value "$devices\\Pellam_Ink" QueueDepth)" = 0x3 ] ||
  fail "QueueDepth $(reg_value "$devices\\Pellam_Ink" QueueDepth)"
[ "$(reg_value 'HKCU\SOFTWARE\Varnell' LaunchOnStartup)" = 0x1 ] || fail "LaunchOnStartup"
entry=$(reg_value "$run_key" Corvale)
short=$(winrun "$VARNELL_BIN/prefix_tool.exe" short-path "$(winpath "$VARNELL_BIN/corvale.exe")")
[ -n "$short" ] && [ "$entry" = "$short /LaunchOnStartup" ] || fail "Run entry '$entry' (short path '$short')"
pass "settings and the Run entry \"$entry\" written at close"

# --- Started at logon ----------------------------------------------------------------------
starts=$(grep -c "Simulator started successfully." "$log")
run_corvale /LAUNCHONSTARTUP
wait_until 60 bash -c "[ \$(grep -c 'Simulator started successfully.' '$log') -gt $starts ]" ||
  fail "the server did not start by itself"
is_minimized() { [ "$(drv minimized Corvale)" = 1 ]; }
wait_until 30 is_minimized || fail "the window is not minimized"
[ "$(drv status-text Corvale)" = Ready. ] || fail "status $(drv status-text Corvale)"
close_corvale
pass "/LAUNCHONSTARTUP: the server runs and the window is minimized"
