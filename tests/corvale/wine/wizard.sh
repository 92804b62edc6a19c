# corvale.exe's setup wizard under Wine: its size and place, the refused base folder, the base
# folder picker, printers ticked by picking them in the owner-drawn list, the summary page, OK
# configuring both ticked printers in the main window, Start making their hot folders and a
# dropped file printed; Cancel and closing by the frame change nothing. Saves screenshots of
# both pages: wizard-page1.png, wizard-page1-list.png (its printer list open), wizard-page2.png.
source "$VARNELL_SOURCE/tests/wine/lib.sh"

W="Configuration Wizard"
log=$WORK/corvale.log
# On the prefix's drive C, where Wine's folder picker selects a starting folder reliably.
base=$WINEPREFIX/drive_c/corvale_wizard base_win='C:\corvale_wizard'
rm -rf "$base" "$VARNELL_PRINT_OUT/Pellam_Ink" "$VARNELL_BIN/JobStore/Pellam_Ink"
mkdir -p "$base"

corvale_reset_settings "$log"

timeout 600 wine "$VARNELL_BIN/corvale.exe" >"$WORK/corvale.out" 2>&1 &
corvale=$!
drv wait-window Corvale >/dev/null || fail "the Corvale window did not appear"
mapfile -t printers < <(drv combo-items Corvale 1002)
[ "${printers[*]}" = "Dorrow_Laser Office Laser 2 Pellam_Ink" ] || fail "printers: ${printers[*]}"

open_wizard() {
  drv click Corvale 1004 >/dev/null
  drv wait-window "$W" >/dev/null || fail "the wizard did not open"
}
# Waits until a control of the wizard shows the text.
text_is() { [ "$(drv get-text "$W" "$1")" = "$2" ]; }
wait_text() { wait_until 20 text_is "$1" "$2" || fail "${3:-control $1}: $(drv get-text "$W" "$1")"; }
# The column of a control's line in list-controls: 4 enabled, 5 visible.
column_of() { drv list-controls "$1" | awk -F'\t' -v id="$2" -v c="$3" '$1 == id { print $c }'; }
shot() {
  read -r x y w h <<<"$(drv screen-rect "$W")"
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$WORK/$1" || fail "no screenshot $1"
}

# --- Size, place and the first page ---------------------------------------------------------
open_wizard
[ "$(drv window-rect "$W")" = "594 411" ] || fail "client area $(drv window-rect "$W")"
read -r x y w h <<<"$(drv screen-rect "$W")"
read -r mx my mw mh <<<"$(drv screen-rect Corvale)"
dx=$((x + w / 2 - mx - mw / 2)) dy=$((y + h / 2 - my - mh / 2))
[ ${dx#-} -le 1 ] && [ ${dy#-} -le 1 ] || fail "wizard at $x,$y ($w x $h), main window at $mx,$my ($mw x $mh)"
drv list-controls "$W" >"$WORK/page1.txt"
grep -qP '^1106\tStatic\t.*\\\\printsrv01\\hotfolders\\Dorrow_Laser is printed on the Dorrow_Laser printer\.\t1\t1' \
  "$WORK/page1.txt" || fail "Label4: $(grep ^1106 "$WORK/page1.txt")"
grep -qP '^1112\tButton\t&Next >\t1\t1' "$WORK/page1.txt" || fail "Next button"
grep -qP '^1111\tEdit\t\t1\t0' "$WORK/page1.txt" || fail "the summary box shows on page 1"
[ "$(drv get-text "$W" 1109)" = Dorrow_Laser ] || fail "the first printer is not selected"
pass "wizard: client 594 x 411 centred on the main window; Label4 names the first printer"

# A base folder of one character is refused; the wizard stays on page 1.
drv type-text "$W" 1104 'C' >/dev/null
drv click "$W" 1112 >/dev/null
box=$(drv answer-message-box) || fail "no message for a one-character base folder"
[ "$box" = $'Corvale\nBase hot folder is required.' ] || fail "message: $box"
[ "$(column_of "$W" 1111 5)" = 0 ] && [ "$(drv get-text "$W" 1112)" = "&Next >" ] ||
  fail "the wizard left page 1"
pass "a one-character base folder is refused with \"Base hot folder is required.\""

# The picker starts at the typed folder; its OK puts that folder back.
drv type-text "$W" 1104 "$base_win" >/dev/null
drv click "$W" 1105 >/dev/null
drv wait-window "Choose Folder" >/dev/null || fail "no folder picker"
drv list-controls "Choose Folder" >"$WORK/picker.txt"
grep -qP '\tPlease choose a base folder\t' "$WORK/picker.txt" || fail "picker: $(cat "$WORK/picker.txt")"
drv click "Choose Folder" 1 >/dev/null
drv wait-gone "Choose Folder" >/dev/null || fail "the picker did not close"
wait_text 1104 "$base_win" "base folder after the picker's OK"
pass "base folder picker \"Choose Folder\" with its prompt; OK gives the starting folder"

# Picking ticks, picking again unticks: two printers end ticked.
drv combo-pick "$W" 1109 text:Pellam_Ink >/dev/null || fail "cannot pick Pellam_Ink"
wait_text 1110 "AFP file dropped into $base_win\\Pellam_Ink folder will be sent to Pellam_Ink printer." Label7
drv combo-pick "$W" 1109 'text:Office Laser 2' >/dev/null
drv combo-pick "$W" 1109 'text:Office Laser 2' >/dev/null
wait_text 1110 "$base_win\\Office Laser 2 folder is not associated with Office Laser 2 printer." Label7
drv combo-pick "$W" 1109 text:Dorrow_Laser >/dev/null
wait_text 1110 "AFP file dropped into $base_win\\Dorrow_Laser folder will be sent to Dorrow_Laser printer." Label7
shot wizard-page1.png
drv combo-drop "$W" 1109 1 >/dev/null
shot wizard-page1-list.png
drv combo-drop "$W" 1109 0 >/dev/null
pass "printers ticked and unticked by mouse picks in the list; screenshots $WORK/wizard-page1.png, wizard-page1-list.png"

# --- The summary page, back and forth -------------------------------------------------------
summary="The following associations between printer and hot folder have been established

$base_win\\Dorrow_Laser ==> Dorrow_Laser
$base_win\\Pellam_Ink ==> Pellam_Ink"
drv click "$W" 1112 >/dev/null
wait_text 1111 "$summary" "summary"
[ "$(drv get-text "$W" 1113)" = OK ] && [ "$(drv get-text "$W" 1112)" = "< &Back" ] || fail "page 2 buttons"
[ "$(column_of "$W" 1109 5)" = 0 ] && [ "$(column_of "$W" 1111 5)" = 1 ] || fail "page 2 controls"
shot wizard-page2.png
drv click "$W" 1112 >/dev/null
wait_text 1112 "&Next >" "Next button after Back"
[ "$(drv get-text "$W" 1104)" = "$base_win" ] || fail "Back lost the base folder"
drv click "$W" 1112 >/dev/null
wait_text 1111 "$summary" "summary after Back and Next"
pass "summary read from Memo1; Back and Next keep the ticks; screenshot $WORK/wizard-page2.png"

# --- OK applies the result ------------------------------------------------------------------
drv click "$W" 1113 >/dev/null
drv wait-gone "$W" >/dev/null || fail "OK did not close the wizard"
[ "$(drv get-text Corvale 1009)" = "$base_win\\Dorrow_Laser" ] || fail "input folder $(drv get-text Corvale 1009)"
[ "$(drv get-text Corvale 1013)" = "$base_win\\Dorrow_Laser\\Completed Jobs" ] || fail "done folder"
[ "$(drv get-check Corvale 1003)" = 1 ] && [ "$(drv get-check Corvale 1011)" = 1 ] || fail "check boxes"
[ "$(column_of Corvale 1013 4)" = 0 ] || fail "the done folder box is enabled"
[ "$(drv get-text Corvale 1016)" = 2 ] || fail "queue depth"
drv combo-select Corvale 1002 text:Pellam_Ink >/dev/null
[ "$(drv get-text Corvale 1009)" = "$base_win\\Pellam_Ink" ] || fail "Pellam_Ink's input folder"
drv combo-select Corvale 1002 'text:Office Laser 2' >/dev/null
[ "$(drv get-text Corvale 1009)" = "" ] && [ "$(drv get-check Corvale 1003)" = 0 ] ||
  fail "the unticked printer changed"
drv no-message-box 300 >/dev/null || fail "a message box appeared"
[ ! -e "$base/Pellam_Ink" ] || fail "the wizard made a folder"
pass "OK: both ticked printers configured in the main window, the unticked one unchanged"

# Start makes the hot folders; a dropped file is printed and deleted.
drv click Corvale 1030 >/dev/null
wait_until 60 grep -q "Simulator started successfully." "$log" || fail "the server did not start"
grep -qF "[Shell] Adding on-watch folder $base_win\\Pellam_Ink" "$log" || fail "Pellam_Ink not watched"
[ -d "$base/Pellam_Ink" ] && [ -d "$base/Dorrow_Laser" ] || fail "Start made no hot folders"
drop_file "$base/Pellam_Ink" wizard.afp "configured by the wizard $$"
wait_until 120 bash -c "grep -lq 'configured by the wizard $$' '$VARNELL_PRINT_OUT'/Pellam_Ink/job-*.prn" ||
  fail "the file was not printed on Pellam_Ink"
wait_until 60 test ! -e "$base/Pellam_Ink/wizard.afp" || fail "the printed file was not deleted"
[ ! -e "$base/Pellam_Ink/Completed Jobs/wizard.afp" ] || fail "the printed file was moved, not deleted"
drv click Corvale 1031 >/dev/null
pass "Start made the hot folders; a file dropped into $base_win\\Pellam_Ink printed and deleted"

# --- Cancel and the frame change nothing ----------------------------------------------------
open_wizard
drv type-text "$W" 1104 'C:\elsewhere' >/dev/null
drv combo-pick "$W" 1109 'text:Office Laser 2' >/dev/null
drv click "$W" 1113 >/dev/null
drv wait-gone "$W" >/dev/null || fail "Cancel did not close the wizard"
open_wizard
[ "$(drv get-text "$W" 1104)" = "" ] || fail "a new wizard kept the base folder"
drv type-text "$W" 1104 'C:\elsewhere' >/dev/null
drv combo-pick "$W" 1109 'text:Office Laser 2' >/dev/null
drv click "$W" 1112 >/dev/null
wait_text 1113 OK "OK button"
drv close "$W" >/dev/null || fail "the wizard did not close by its frame"
[ "$(drv get-text Corvale 1002)" = "Office Laser 2" ] || fail "selected printer"
[ "$(drv get-text Corvale 1009)" = "" ] && [ "$(drv get-check Corvale 1003)" = 0 ] ||
  fail "Cancel or the frame changed Office Laser 2"
drv combo-select Corvale 1002 text:Pellam_Ink >/dev/null
[ "$(drv get-text Corvale 1009)" = "$base_win\\Pellam_Ink" ] || fail "Pellam_Ink changed"
pass "Cancel on page 1 and the frame on page 2 leave every printer as it was"

# The result reaches the registry when the window closes.
drv close Corvale >/dev/null || fail "the Corvale window did not close"
wait "$corvale" || true
key='HKCU\SOFTWARE\Varnell\Devices\Pellam_Ink'
[ "$(reg_value "$key" InputFolder)" = "$base_win\\Pellam_Ink" ] || fail "InputFolder"
[ "$(reg_value "$key" DoneFolder)" = "$base_win\\Pellam_Ink\\Completed Jobs" ] || fail "DoneFolder"
[ "$(reg_value "$key" DeleteInputFileWhenDone)" = 0x1 ] || fail "DeleteInputFileWhenDone"
[ "$(reg_value "$key" QueueDepth)" = 0x2 ] || fail "QueueDepth"
pass "the wizard's result saved at close"
