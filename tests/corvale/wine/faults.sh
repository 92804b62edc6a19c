# corvale.exe under Wine through a run of faults: three slots (one deleting what it printed),
# waves of files dropped into all their folders at once, a slow print utility that fails some
# jobs, a wrong-typed stored value, a watched folder deleted and made again, a Stop and Start in
# the middle, the log folder removed and restored, a done folder removed, a file held open by
# its writer, a name outside the ANSI code page, and a close with jobs queued. At the end every
# file dropped is accounted for: printed once, or in a named place with a line saying why. A
# failed print in a done folder, or deleted, fails the test. The tally is printed.
source "$VARNELL_SOURCE/tests/wine/lib.sh"

store=$VARNELL_BIN/JobStore
printers=(Dorrow_Laser Pellam_Ink "Office Laser 2")
keys=(Dorrow_Laser Pellam_Ink "Office Laser 2")
depths=(10 25 5)
logs=$WORK/logs log=$WORK/logs/corvale.log
journal=$WORK/journal.txt manifest=$WORK/manifest.txt
mkdir -p "$logs" "$WORK/stage"
: >"$manifest"
for n in 1 2 3; do mkdir -p "$WORK/hot$n" "$WORK/done$n"; done
for key in "${keys[@]}"; do rm -rf "${store:?}/$key"; done
rm -rf "$VARNELL_PRINT_OUT/Dorrow_Laser" "$VARNELL_PRINT_OUT/Pellam_Ink"

corvale_reset_settings "$log"
{
  cat <<REG
[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices]
"DefaultPrinter"="Pellam_Ink"
REG
  for n in 1 2 3; do
    cat <<REG

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\${keys[$((n - 1))]}]
"PrinterName"="${printers[$((n - 1))]}"
"EnableIPDSEmulation"=dword:00000001
"InputFolder"="$(reg_path "$WORK/hot$n")"
"DoneFolder"="$(reg_path "$WORK/done$n")"
"QueueDepth"=dword:$(printf %08x "${depths[$((n - 1))]}")
REG
    # One value of the wrong type: it is shown, and costs no other setting. Slot 1 deletes what
    # it printed, and must keep what failed.
    case $n in
      1) echo '"DeleteInputFileWhenDone"=dword:00000001' ;;
      2) echo '"DeleteInputFileWhenDone"=dword:00000000' ;;
      3) echo '"DeleteInputFileWhenDone"="0"' ;;
    esac
  done
} | reg_import

in_log() { cat "$WORK"/logs*/corvale.log 2>/dev/null | tr -d '\r' | grep -cF -- "$1" || true; }
files_in() { find "$1" -maxdepth 1 -type f | wc -l; }

timeout 900 wine "$VARNELL_BIN/prefix_tool.exe" hold 880000 >/dev/null 2>&1 </dev/null &
startup_default=$(winrun "$VARNELL_BIN/prefix_tool.exe" default-printer)

FTDWPRT_DELAY_MS=60 FTDWPRT_FAIL_WHEN=FAIL-ME FTDWPRT_JOURNAL="$(winpath "$journal")" \
  timeout 900 wine "$VARNELL_BIN/corvale.exe" >"$WORK/corvale.out" 2>&1 </dev/null &
corvale=$!

# Item: a wrong-typed value is shown at start-up; the rest loads.
box=$(drv answer-message-box) || fail "no message box for the wrong-typed value"
[[ $box == *"Invalid data type for 'DeleteInputFileWhenDone' of printer 'Office Laser 2' (HKEY_CURRENT_USER\SOFTWARE\Varnell\Devices\Office Laser 2)"* ]] || fail "start-up box: $box"
drv wait-window Corvale >/dev/null || fail "no Corvale window"
drv no-message-box 1500 >/dev/null || fail "a second box at start-up"
drv click Corvale 1030 >/dev/null
wait_until 60 grep -q "Simulator started successfully." "$log" || fail "server did not start"
[ "$(in_log "[Shell] Adding on-watch folder")" = 3 ] || fail "not all three folders watched"
pass "wrong-typed value shown once; all three slots load and are watched"

# A file held open by its writer in an idle slot, then wave 1 with a name outside the ANSI code
# page, all while the writer still holds its file.
printf 'held.afp\t1\theld by its writer\n' >>"$manifest"
timeout 120 wine "$VARNELL_BIN/hold_file.exe" "$(winpath "$WORK/hot1/held.afp")" 8000 \
  "held by its writer" >"$WORK/hold.out" 2>&1 </dev/null &
holder=$!
wait_until 60 grep -qs holding "$WORK/hold.out" || fail "the writer did not start"
wait_until 60 bash -c "grep -q 'MoveFileEx ERROR (.*held.afp' '$log'" ||
  fail "no failed move of the held file"
cjk=$(printf '\xe6\x97\xa5\xe6\x9c\xac.afp')
stage "$cjk" 2
wave 1 30 7
mv "$WORK/stage/$cjk" "$WORK/hot2/"
# The held file, the oldest of its folder, costs no capacity: the slot fills with the others.
wait_until 60 bash -c "grep -q 'MoveFileEx OK: Moved .*w1-s1-10.afp' '$log'" ||
  fail "the held file blocked its slot"
kill -0 "$holder" 2>/dev/null || fail "the writer ended too soon to tell"
wait "$holder" || fail "the writer failed"
wait_until 120 bash -c "grep -q 'MoveFileEx OK: Moved .*held.afp' '$log'" ||
  fail "the held file was not taken once its writer closed it"
[ "$(grep -c 'MoveFileEx ERROR (.*held.afp' "$log")" = 1 ] ||
  fail "the held file's failure was not logged exactly once"
pass "held file: its failed move logged once, the slot filled meanwhile, taken once its writer closed it"

# A watched folder deleted once its files are taken counts as gone after several checks, with a
# line; made again, it is watched again and its files are taken, without a Stop and a Start.
wait_until 120 bash -c "[ \$(find '$WORK/hot3' -type f | wc -l) = 0 ]" || fail "hot3 not emptied"
rm -rf "$WORK/hot3"
wait_until 60 grep -qF "$(winpath "$WORK/hot3") cannot be reached; it is watched again when it is back" "$log" ||
  fail "no line for the deleted folder"
gone_status=$(drv status-text Corvale)
[[ $gone_status == *"Not watched: $(winpath "$WORK/hot3")"* ]] || fail "status while hot3 is gone: $gone_status"
mkdir -p "$WORK/hot3"
for i in 1 2 3; do stage "late-$i.afp" 3; mv "$WORK/stage/late-$i.afp" "$WORK/hot3/"; done
# A folder counted as gone is looked for once a minute.
wait_until 90 grep -qF "$(winpath "$WORK/hot3") is back; it is watched again" "$log" ||
  fail "the folder made again is not watched again"
wait_until 60 bash -c "grep -q 'MoveFileEx OK: Moved .*late-3.afp' '$log'" ||
  fail "the files of the folder made again were not taken"
pass "deleted watched folder: gone after several checks, watched again and its files taken when back"

# Stop in the middle of wave 2: every queued job's file goes back into its input folder.
printed_before=$(wc -l <"$journal")
wave 2 30 7
wait_until 120 bash -c "[ \$(wc -l <'$journal') -ge $((printed_before + 10)) ]" ||
  fail "wave 2 not printing"
# Jobs queued: files taken into the job store and not yet handed to the print utility. A slot
# refills only once it is idle, so how many wait at a given moment depends on the pace of the
# earlier waves: Stop comes once at least ten wait.
queued() {
  echo $(($(in_log "[MoveFile] MoveFileEx OK: Moved ") - $(in_log "[JobStatus] Printing ") +
    $(in_log "[JobStatus] Printing ERROR")))
}
wait_until 120 bash -c "$(declare -f in_log queued); WORK='$WORK'; [ \$(queued) -ge 10 ]" ||
  fail "never ten jobs queued (now $(queued))"
drv click Corvale 1031 >/dev/null
wait_until 60 grep -q "Varnell server application stopped successfully." "$log" ||
  fail "Stop did not finish"
moved_back=$(in_log " was not printed; moved back to ")
[ "$moved_back" -ge 5 ] || fail "only $moved_back queued jobs moved back at Stop"
# The job that was printing finishes; nothing else is left in the job store.
wait_until 30 bash -c "[ \$(find '$store' -mindepth 2 -maxdepth 2 -type f | wc -l) = 0 ]" ||
  fail "files left in the job store after Stop: $(find "$store" -type f)"
drv click Corvale 1030 >/dev/null
wait_until 60 bash -c "[ \$(grep -c 'Simulator started successfully.' '$log') = 2 ]" ||
  fail "second Start"
pass "Stop moved $moved_back queued files back; Start took them again"

# The log folder removed while files are printed: no box, the status bar says so, intake and
# Idle: every folder emptied, nothing waiting in the job store, and the status tick's last count 0.
idle() {
  [ "$(find "$WORK"/hot? -type f | wc -l)" = 0 ] &&
    [ "$(find "$store" -mindepth 2 -maxdepth 2 -type f | wc -l)" = 0 ] &&
    [ "$(tr -d '\r' <"$log" | grep -F '[DeviceStatus] Print jobs in queue: ' | tail -n1 | sed 's/.*: //')" = 0 ]
}
# printing go on; once the folder is back, so does the log. The waves before are printed first and
# wave 3 fails nothing, so that every failed print has its line in the log.
wait_until 300 idle || fail "the waves before the log's removal were not all printed"
mv "$logs" "$WORK/logs-removed"
printed_before=$(wc -l <"$journal")
wave 3 10 0
wait_until 120 bash -c "[ \$(wc -l <'$journal') -ge $((printed_before + 15)) ]" ||
  fail "printing stopped while the log could not be written"
wait_until 30 bash -c "grep -q 'w3-s2-10.afp' '$journal'" ||
  fail "files dropped while the log was gone were not printed"
# Every status tick shows it again, whatever a job's end showed in between.
log_broken() {
  log_status=$(drv status-text Corvale)
  [[ $log_status == *"The log file $(winpath "$log") cannot be written: "* ]]
}
wait_until 10 log_broken || fail "status while the log is gone: $log_status"
drv no-message-box 2000 >/dev/null || fail "a box opened for the log that cannot be written"
import -window root "$WORK/log-removed.png" 2>/dev/null || true
mkdir -p "$logs"
wait_until 60 grep -qs "Print jobs in queue" "$log" || fail "logging did not go on by itself"
pass "log folder removed: no box, the status bar said so ($log_status), printing and then logging went on"

# The done folder of slot 3 removed: its printed files stay in the job store, each with a line.
mv "$WORK/done3" "$WORK/done3-removed"
for i in 1 2 3 4; do stage "after-done-$i.afp" 3; mv "$WORK/stage/after-done-$i.afp" "$WORK/hot3/"; done
wait_until 300 idle || fail "the waves were not all taken and printed"
[ "$(grep -c "MoveFile ERROR (.*): Failed to move .*Office Laser 2" "$log")" -ge 1 ] ||
  fail "no failed move into the removed done folder"
drv no-message-box 1000 >/dev/null || fail "a box is open"

# A close with jobs queued.
wave 4 5 7
wait_until 60 bash -c "[ \$(find '$WORK'/hot? -type f | wc -l) = 0 ]" || fail "wave 4 not taken"
before_close=$(in_log " was not printed; moved back to ")
drv close Corvale >/dev/null || fail "the window did not close"
status=0
wait "$corvale" || status=$?
[ $status = 0 ] || fail "corvale.exe ended with $status"
grep -q "terminate called\|exception" "$WORK/corvale.out" && fail "crash: $(cat "$WORK/corvale.out")"
[ "$(winrun "$VARNELL_BIN/prefix_tool.exe" default-printer)" = "$startup_default" ] ||
  fail "default printer not restored at close"
at_close=$(($(in_log " was not printed; moved back to ") - before_close))
[ "$at_close" -ge 1 ] || fail "no queued job moved back at close"
pass "closed with jobs queued ($at_close moved back); the process ended cleanly and restored the default printer"

dev='HKCU\SOFTWARE\Varnell\Devices\Office Laser 2'
[ "$(reg_value "$dev" InputFolder)" = "$(winpath "$WORK/hot3")" ] &&
  [ "$(reg_value "$dev" QueueDepth)" = 0x5 ] && [ "$(reg_value "$dev" DeleteInputFileWhenDone)" = 0x0 ] ||
  fail "Office Laser 2's settings were not saved back"

# The tally: where every file dropped has gone.
cat "$WORK"/logs*/corvale.log | tr -d '\r' >"$WORK/all.log"
grep -F "[JobStatus] Printing ERROR (exit code 3): " "$WORK/all.log" >"$WORK/failed-prints.log" || true
cat "$VARNELL_PRINT_OUT"/Dorrow_Laser/job-*.prn "$VARNELL_PRINT_OUT"/Pellam_Ink/job-*.prn \
  2>/dev/null | sort >"$WORK/cups.txt"
declare -A tally
lost=0 twice=0
while IFS=$'\t' read -r name slot content; do
  key=${keys[$((slot - 1))]}
  ok=$(grep -c "^0	[^	]*	[^	]*\\\\${name//./\\.}	" "$journal" || true)
  failed=$(grep -c "^3	[^	]*	[^	]*\\\\${name//./\\.}	" "$journal" || true)
  [ "$ok" -le 1 ] || { echo "printed twice: $name" >&2; twice=$((twice + 1)); }
  at_printer=0
  if [ "$slot" != 3 ]; then
    at_printer=$(grep -cxF -- "$content" "$WORK/cups.txt" || true)
    [ "$at_printer" = "$ok" ] || { echo "$name: journal $ok, at the printer $at_printer" >&2; twice=$((twice + 1)); }
  fi
  job=$(winpath "$store/$key")\\$name
  in_done=$([ -f "$WORK/done$slot/$name" ] || [ -f "$WORK/done$slot-removed/$name" ] && echo 1 || echo 0)
  if [ "$failed" -ge 1 ] && [ "$ok" = 0 ]; then
    if [ "$in_done" = 1 ]; then
      where="FAILED PRINT IN A DONE FOLDER"
    elif [ -f "$store/$key/Failed/$name" ] && grep -qF " did not print $job" "$WORK/failed-prints.log"; then
      where="utility failed, in Failed with its exit code logged"
    else
      where="FAILED PRINT LOST"
    fi
  elif [ "$ok" -ge 1 ] && [ "$in_done" = 1 ]; then
    where="printed, in its done folder"
  elif [ "$ok" -ge 1 ] && [ "$slot" = 1 ] && [ "$at_printer" -ge 1 ] && [ ! -e "$WORK/hot1/$name" ] &&
    [ ! -e "$store/$key/$name" ]; then
    where="printed, deleted (its slot deletes what it printed)"
  elif [ "$ok" -ge 1 ] && [ -f "$store/$key/Printed/$name" ] &&
    grep -qF "[MoveFile] MoveFile OK: Moved $job to $(winpath "$store/$key")\\Printed\\$name" "$WORK/all.log"; then
    where="printed, in Printed: its done folder was removed (logged)"
  elif [ -f "$WORK/hot$slot/$name" ] && grep -qF "$job was not printed; moved back to" "$WORK/all.log"; then
    where="not printed, back in its input folder: the close came first (logged)"
  else
    where="LOST"
  fi
  case $where in [A-Z]*) lost=$((lost + 1)); echo "$where: $name (slot $slot)" >&2 ;; esac
  tally[$where]=$((${tally[$where]:-0} + 1))
done <"$manifest"

# Names outside the ANSI code page: printed through the short path, logged with "?".
grep -q "^0	Pellam_Ink	[^	]*\\\\$cjk	" "$journal" || fail "$cjk was not printed"
grep -q "MoveFileEx OK: Moved .*\\\\??.afp to " "$WORK/all.log" || fail "$cjk not logged as ??.afp"
[ -f "$WORK/done2/$cjk" ] || fail "$cjk is not in its done folder"
short=$(grep "^0	Pellam_Ink	.*\\\\$cjk	" "$journal" | cut -f4)
pass "$cjk: listed, moved, printed on Pellam_Ink through its short path $short, finished; the log spells it ??.afp"
echo "== tally of $(wc -l <"$manifest") files"
for where in "${!tally[@]}"; do printf '%5d  %s\n' "${tally[$where]}" "$where"; done | sort -k2
[ "$lost" = 0 ] || fail "$lost files lost, or failed prints not set aside"
[ "$twice" = 0 ] || fail "$twice files printed twice or not at their printer"
pass "every file accounted for, none printed twice"
