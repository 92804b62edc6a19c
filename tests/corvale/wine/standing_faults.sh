# corvale.exe under Wine facing faults that stand for a while: two printers given one input folder
# (the texts differ only in case and a trailing "\") refuse Start; the print utility missing at
# Start keeps every job queued, with a notice, and each prints once when it is put in place; and
# three files held open by their writers in a depth-1 slot for a minute add a few log lines and
# delay nothing of another slot. With Corvale's event source registered, the refused Start, the
# server's start and stop and the missing utility's beginning and end reach the event log (Wine's
# eventlog channel shows each event's text).
source "$VARNELL_SOURCE/tests/wine/lib.sh"

store=$VARNELL_BIN/JobStore
log=$WORK/corvale.log journal=$WORK/journal.txt
mkdir -p "$WORK/hota" "$WORK/hotb" "$WORK/done" "$WORK/later"
for key in Dorrow_Laser Pellam_Ink "Office Laser 2"; do rm -rf "${store:?}/$key"; done
: >"$journal"
corvale_reset_settings "$log"
upper_a=$(winpath "$WORK/hota" | tr '[:lower:]' '[:upper:]')\\
slot() {  # slot KEY INPUT DEPTH ENABLED
  cat <<REG

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\$1]
"PrinterName"="$1"
"EnableIPDSEmulation"=dword:0000000$4
"InputFolder"="$(printf '%s' "$2" | sed 's/\\/\\\\/g')"
"DoneFolder"="$(reg_path "$WORK/done")"
"QueueDepth"=dword:0000000$3
"DeleteInputFileWhenDone"=dword:00000000
REG
}
{
  echo '[HKEY_CURRENT_USER\SOFTWARE\Varnell]'
  slot Dorrow_Laser "$(winpath "$WORK/hota")" 1 1
  slot Pellam_Ink "$(winpath "$WORK/hotb")" 2 1
  slot "Office Laser 2" "$upper_a" 1 1
} | reg_import

register_event_source "$VARNELL_BIN/corvale.exe"

in_log() { { tr -d '\r' <"$log"; } 2>/dev/null | grep -cF -- "$1" || true; }
export FTDWPRT_JOURNAL=$(winpath "$journal")
start_window() {
  WINEDEBUG=${WINEDEBUG:+$WINEDEBUG,}+eventlog timeout 900 wine "$VARNELL_BIN/corvale.exe" \
    >>"$WORK/corvale.out" 2>&1 </dev/null &
  corvale=$!
  drv wait-window Corvale >/dev/null || fail "no Corvale window"
}
close_window() {
  drv close Corvale >/dev/null || fail "the window did not close"
  wait "$corvale" || true
}

# Two printers on one folder: Start refuses, naming both, and watches nothing.
start_window
drv click Corvale 1030 >/dev/null
box=$(drv answer-message-box) || fail "no box for the shared folder"
[[ $box == *"is given to both Dorrow_Laser and Office Laser 2."* ]] || fail "box: $box"
drv no-message-box 1500 >/dev/null || fail "a second box at Start"
[ "$(in_log 'Simulator started successfully.')" = 0 ] || fail "the server started"
[ "$(in_log 'Adding on-watch folder')" = 0 ] || fail "a folder was watched"
close_window
pass "two printers on one folder ($upper_a): Start refused with both names"

# The print utility missing at Start: the jobs wait, then print once each.
{
  echo '[HKEY_CURRENT_USER\Software\IBM\AFP Workbench\Default\Misc]'
  echo "\"HelpCurPath\"=\"$(reg_path "$WORK/later/ftdwprt.hlp")\""
  slot "Office Laser 2" "$upper_a" 1 0
} | reg_import
start_window
drv click Corvale 1030 >/dev/null
wait_until 60 grep -q "Simulator started successfully." "$log" || fail "the server did not start"
[ "$(in_log 'is not there; jobs wait in the queue and print once it is there')" = 1 ] ||
  fail "no line for the missing print utility at Start"
for i in 1 2 3; do drop_file "$WORK/hotb" "wait-$i.afp" "waited $i"; done
wait_until 60 bash -c "[ \$(ls '$store/Pellam_Ink' 2>/dev/null | grep -c wait-) = 2 ]" ||
  fail "the jobs were not taken"
notice() {
  status=$(drv status-text Corvale)
  [[ $status == *"is not there; jobs wait until it is."* ]]
}
wait_until 10 notice || fail "status while the utility is missing: $status"
[ ! -s "$journal" ] || fail "something printed without the utility: $(cat "$journal")"
cp "$VARNELL_BIN/ftdwprt.exe" "$WORK/later/ftdwprt.exe"
wait_until 120 bash -c "[ \$(grep -c 'wait-' '$journal') = 3 ]" || fail "the waiting jobs did not all print"
for i in 1 2 3; do
  [ "$(grep -c "wait-$i.afp" "$journal")" = 1 ] || fail "wait-$i.afp printed $(grep -c "wait-$i.afp" "$journal") times"
  [ -f "$WORK/done/wait-$i.afp" ] || fail "wait-$i.afp is not in the done folder"
done
[ "$(in_log 'is there; the jobs that waited print')" = 1 ] || fail "no line for the utility back"
pass "utility missing at Start: the jobs waited with a notice and printed once each when it came"

# Three files held by their writers for a minute in the depth-1 slot.
hota_lines() { tr -d '\r' <"$log" | grep -F "$(winpath "$WORK/hota")" | grep -vc 'Print jobs in queue' || true; }
before_holding=$(hota_lines)
holders=()
for i in 1 2 3; do
  timeout 120 wine "$VARNELL_BIN/hold_file.exe" "$(winpath "$WORK/hota/held-$i.afp")" 65000 \
    "held $i" >"$WORK/hold-$i.out" 2>&1 </dev/null &
  holders+=($!)
done
for i in 1 2 3; do wait_until 60 grep -qs holding "$WORK/hold-$i.out" || fail "writer $i did not start"; done
dropped_at=$SECONDS
drop_file "$WORK/hotb" other.afp "other slot"
wait_until 30 bash -c "grep -q 'other.afp' '$journal'" || fail "the other slot's file waited"
pass "another slot's file printed $((SECONDS - dropped_at)) s after it was dropped"
wait "${holders[@]}" || fail "a writer failed"
held=$(($(hota_lines) - before_holding))
# The first scan (its listing, its count, three failed moves) and a minute's look (its listing
# and count): no rescan every second.
[ "$held" -le 8 ] || fail "$held log lines on the held files' folder in their minute: $(grep -F hota "$log" | tail -n 20)"
# A writer's close changes nothing Wine reports: the files are taken at the next minute's look,
# then one after the other as the slot has room.
wait_until 150 bash -c "[ \$(grep -c 'held-' '$journal') = 3 ]" ||
  fail "the held files were not printed once free"
pass "three files held for a minute: $held log lines on their folder meanwhile, each printed once free"
close_window
if grep -q "terminate called\|exception" "$WORK/corvale.out"; then fail "crash: $(cat "$WORK/corvale.out")"; fi
for event in 'err:eventlog:ReportEventW L"Corvale does not start: The input folder' \
  'trace:eventlog:ReportEventW L"Corvale serves as' \
  'err:eventlog:ReportEventW L"The print utility' \
  'trace:eventlog:ReportEventW L"Over: The print utility' \
  'trace:eventlog:ReportEventW L"Corvale stopped serving."'; do
  grep -qF -- "$event" "$WORK/corvale.out" || fail "no event $event; the events: $(events)"
done
pass "the refused Start, the start and stop and the missing utility reached the event log"
