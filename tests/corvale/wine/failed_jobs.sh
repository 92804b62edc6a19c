# corvale.exe under Wine with a print utility that fails some jobs: two failing and three good jobs
# give the standing notice of the failed jobs and a job record of five lines whose outcomes match;
# with the utility mended, "Print again" in the window prints the two, and a third failed job is
# printed again by a script through `corvale.exe /PrintFailedAgain`, which the window answers.
# With Corvale's event source registered, the start, the failed prints and the stop reach the
# event log (Wine's eventlog channel shows each event's text).
source "$VARNELL_SOURCE/tests/wine/lib.sh"

# Programs of the test's own, so that the stand-in utility reads a side file only this test writes.
app=$WORK/app hot=$WORK/hot done=$WORK/done log=$WORK/logs/corvale.log journal=$WORK/journal.txt
failed=$app/JobStore/Dorrow_Laser/Failed
mkdir -p "$app" "$hot" "$done" "$WORK/logs"
cp "$VARNELL_BIN/corvale.exe" "$VARNELL_BIN/ftdwprt.exe" "$app/"
: >"$journal"
utility() { printf 'journal=%s\nfail_when=%s\n' "$(winpath "$journal")" "$1" >"$app/ftdwprt.ini"; }
utility BAD

corvale_reset_settings "$log"
reg_import <<REG
[HKEY_CURRENT_USER\\Software\\IBM\\AFP Workbench\\Default\\Misc]
"HelpCurPath"="$(reg_path "$app/ftdwprt.hlp")"

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Dorrow_Laser]
"PrinterName"="Dorrow_Laser"
"EnableIPDSEmulation"=dword:00000001
"InputFolder"="$(reg_path "$hot")"
"DoneFolder"="$(reg_path "$done")"
"QueueDepth"=dword:00000005
"DeleteInputFileWhenDone"=dword:00000000
REG

register_event_source "$app/corvale.exe"

printed() { grep -c "\\\\$1	" "$journal" || true; }
failed_files() { find "$failed" -maxdepth 1 -name '*.afp' 2>/dev/null | wc -l; }
WINEDEBUG=${WINEDEBUG:+$WINEDEBUG,}+eventlog timeout 900 wine "$app/corvale.exe" \
  >"$WORK/corvale.out" 2>&1 </dev/null &
corvale=$!
drv wait-window Corvale >/dev/null || fail "no Corvale window"
drv combo-select Corvale 1002 text:Dorrow_Laser >/dev/null || fail "Dorrow_Laser cannot be selected"
drv click Corvale 1030 >/dev/null
wait_until 60 grep -qs "Simulator started successfully." "$log" || fail "the server did not start"

for i in 1 2 3; do drop_file "$hot" "good-$i.afp" "good $i"; done
for i in 1 2; do drop_file "$hot" "bad-$i.afp" "BAD $i"; done
wait_until 120 bash -c "[ \$(ls '$done' | wc -l) = 3 ] && [ \$(find '$failed' -maxdepth 1 -name '*.afp' | wc -l) = 2 ]" ||
  fail "not three printed and two failed: done $(ls "$done"), failed $(ls "$failed" 2>/dev/null)"
for i in 1 2; do
  grep -qs "exit code 3" "$failed/bad-$i.afp.why.txt" || fail "no reason beside bad-$i.afp: $(cat "$failed/bad-$i.afp.why.txt" 2>&1)"
done
notice() {
  status=$(drv status-text Corvale)
  [[ $status == *"2 failed jobs of Dorrow_Laser"* ]]
}
wait_until 90 notice || fail "no notice of the failed jobs: $status"
pass "two failing and three good jobs: the failed two in Failed with their reasons, a standing notice"

record=$(ls "$WORK"/logs/Jobs/Jobs_*.tsv 2>/dev/null | head -n 1)
[ -n "$record" ] || fail "no job record beside the log: $(ls -R "$WORK/logs")"
rows() { tail -n +2 "$record" | tr -d '\r'; }
[ "$(head -n 1 "$record" | tr -d '\r' | cut -f1,9)" = "End time	Outcome" ] || fail "record header: $(head -n 1 "$record")"
[ "$(rows | wc -l)" = 5 ] || fail "the record has $(rows | wc -l) jobs: $(cat "$record")"
for i in 1 2 3; do
  [ "$(rows | awk -F '\t' -v f="good-$i.afp" '$3 == f { print $9 }')" = "done folder" ] || fail "good-$i.afp: $(rows)"
done
for i in 1 2; do
  [ "$(rows | awk -F '\t' -v f="bad-$i.afp" '$3 == f { print $8 "/" $9 }')" = "3/failed" ] || fail "bad-$i.afp: $(rows)"
done
pass "the job record $(basename "$record"): five lines, three to the done folder, two failed with exit code 3"

# The utility mended, Print again in the window puts both back; they print once.
utility NEVER-IN-A-FILE
drv click Corvale 1035 >/dev/null
wait_until 120 bash -c "[ \$(ls '$done' | wc -l) = 5 ]" || fail "Print again did not print the two: $(ls "$done")"
[ "$(failed_files)" = 0 ] || fail "left in Failed: $(ls "$failed")"
for i in 1 2; do
  [ ! -e "$failed/bad-$i.afp.why.txt" ] || fail "the reason of bad-$i.afp stayed"
  [ "$(grep -c "bad-$i.afp" "$journal")" = 2 ] || fail "bad-$i.afp ran $(grep -c "bad-$i.afp" "$journal") times"
done
gone() { status=$(drv status-text Corvale); [[ $status != *"failed job"* ]]; }
wait_until 90 gone || fail "the notice stayed: $status"
pass "Print again in the window: both printed, the notice gone"

# A script puts a third failed job back through the running window.
utility BAD
drop_file "$hot" bad-3.afp "BAD 3"
wait_until 60 bash -c "[ -e '$failed/bad-3.afp' ]" || fail "bad-3.afp did not fail"
utility NEVER-IN-A-FILE
status=0
out=$(timeout 180 wine "$app/corvale.exe" /PrintFailedAgain Dorrow_Laser 2>&1 </dev/null | tr -d '\r' | grep -v ':fixme:') ||
  status=$?
[ "$status" = 0 ] || fail "/PrintFailedAgain exited $status: $out"
wait_until 60 bash -c "[ -e '$done/bad-3.afp' ]" || fail "bad-3.afp was not printed again: $out"
pass "corvale.exe /PrintFailedAgain Dorrow_Laser: exit 0, bad-3.afp printed ($out)"

drv close Corvale >/dev/null || fail "the window did not close"
wait "$corvale" || true
if grep -q "terminate called\|exception" "$WORK/corvale.out"; then fail "crash: $(cat "$WORK/corvale.out")"; fi
for event in 'trace:eventlog:ReportEventW L"Corvale serves as' \
  'warn:eventlog:ReportEventW L"' \
  'trace:eventlog:ReportEventW L"Corvale stopped serving."'; do
  grep -qF -- "$event" "$WORK/corvale.out" || fail "no event $event; the events: $(events)"
done
# One failed print an hour reaches the event log, whichever of the three it is.
[ "$(grep -c 'warn:eventlog:ReportEventW L".*was not printed (exit code 3)' "$WORK/corvale.out")" = 1 ] ||
  fail "failed prints in the event log: $(events)"
pass "the start, one of the failed prints (the others within the hour) and the stop reached the event log"
