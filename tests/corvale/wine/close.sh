# corvale.exe closed while the print utility runs: the window closes through the dispatcher's
# wait. A utility that ends within the close's time limit (30 s) has its file moved to the done
# folder before the process ends, and the next Start prints nothing again; a utility that hangs
# past the limit leaves its job in the job store with a line, and the process ends all the same.
# `corvale.exe /Close`, as a deployment script runs it, closes a serving Corvale the same way (its
# queued files back in the input folder) and exits 0, as it does when none runs; `corvale.exe
# /Reopen` then starts it again, serving.
source "$VARNELL_SOURCE/tests/wine/lib.sh"

store=$VARNELL_BIN/JobStore/Dorrow_Laser
log=$WORK/corvale.log journal=$WORK/journal.txt
mkdir -p "$WORK/hot" "$WORK/done" "$WORK/stage"
rm -rf "$store"
: >"$journal"
corvale_reset_settings "$log"
reg_import <<REG
[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Dorrow_Laser]
"PrinterName"="Dorrow_Laser"
"EnableIPDSEmulation"=dword:00000001
"InputFolder"="$(reg_path "$WORK/hot")"
"DoneFolder"="$(reg_path "$WORK/done")"
"QueueDepth"=dword:00000002
"DeleteInputFileWhenDone"=dword:00000000
REG

in_log() { tr -d '\r' <"$log" | grep -cF -- "$1" || true; }
printed() { grep -c "^0	.*\\\\$1	" "$journal" || true; }
corvale_gone() { ! pgrep -f 'corvale\.exe' >/dev/null; }
export FTDWPRT_JOURNAL=$(winpath "$journal")

# Starts Corvale, presses Start and waits for the server's start number $1.
start_serving() {
  timeout 600 wine "$VARNELL_BIN/corvale.exe" >>"$WORK/corvale.out" 2>&1 </dev/null &
  drv wait-window Corvale >/dev/null || fail "no Corvale window"
  drv click Corvale 1030 >/dev/null
  wait_until 60 bash -c "[ \$(tr -d '\r' <'$log' | grep -c 'Simulator started successfully.') -ge $1 ]" ||
    fail "the server did not start"
}
# Drops $1 with the mark $2 and waits until the utility prints it.
drop_and_wait_for_print() {
  printf 'job %s %s\n' "$1" "$2" >"$WORK/stage/$1"
  mv "$WORK/stage/$1" "$WORK/hot/"
  wait_until 60 grep -qF "Printing $(winpath "$store")\\$1 to Dorrow_Laser ..." "$log" ||
    fail "$1 was not handed to the print utility"
}
# Closes the window and gives the process the close's limit and $1 seconds more to end; prints
# the seconds it took.
close_within() {
  local started=$SECONDS
  timeout 120 wine "$VARNELL_BIN/gui_driver.exe" --timeout 60000 close Corvale >/dev/null 2>&1 &
  wait_until $((30 + $1)) corvale_gone || fail "corvale.exe still runs $((30 + $1)) s after the close"
  echo $((SECONDS - started))
}

# A utility that takes 6 s ends inside the close's wait.
export FTDWPRT_SLOW_WHEN=SLOW-ME FTDWPRT_SLOW_MS=6000
start_serving 1
drop_and_wait_for_print slow.afp SLOW-ME
took=$(close_within 5)
[ -f "$WORK/done/slow.afp" ] || fail "slow.afp is not in its done folder after the close"
[ -z "$(find "$store" -maxdepth 1 -type f)" ] || fail "the job store holds $(ls "$store")"
[ "$(in_log "MoveFile OK: Moved $(winpath "$store")\\slow.afp")" = 1 ] || fail "no move logged for slow.afp"
[ "$(in_log 'A job is still printing as Corvale closes')" = 0 ] || fail "slow.afp was given up"
# The server stops first; the job that was printing finishes after.
tr -d '\r' <"$log" | grep -B1 -F "MoveFile OK: Moved $(winpath "$store")\\slow.afp" | head -n1 |
  grep -qF "Varnell server application stopped successfully." ||
  fail "the stop is not the line before the move: $(tail -n3 "$log")"
pass "closed while a 6 s print ran: corvale.exe gone after ${took} s, the file in its done folder"

start_serving 2
wait_until 30 bash -c "[ \$(tr -d '\r' <'$log' | grep -c 'Print jobs in queue: 0') -ge 1 ]" ||
  fail "no status tick after the restart"
[ "$(in_log 'was left in the job store by an earlier run')" = 0 ] || fail "the restart found a job left behind"
[ "$(printed slow.afp)" = 1 ] || fail "slow.afp printed $(printed slow.afp) times"
pass "the next Start printed nothing again"

# A utility that hangs past the close's limit: its job stays in the job store, with a line.
export FTDWPRT_SLOW_MS=300000
drv close Corvale >/dev/null || fail "the idle window did not close"
wait_until 30 corvale_gone || fail "corvale.exe did not end"
start_serving 3
drop_and_wait_for_print hung.afp SLOW-ME
took=$(close_within 10)
[ -f "$store/hung.afp" ] || fail "hung.afp is not in the job store"
[ "$(in_log "A job is still printing as Corvale closes: $(winpath "$store")\\hung.afp stays in the job store")" = 1 ] ||
  fail "no line for the job still printing"
pkill -f 'ftdwprt\.exe' || true
grep -q "terminate called\|exception" "$WORK/corvale.out" && fail "crash: $(cat "$WORK/corvale.out")"
pass "closed while a print hung: corvale.exe gone after ${took} s, its job left in the job store with a line"

# corvale.exe /Close: none runs, then one serving with jobs queued behind a 3 s print.
closing=$WORK/close-exit
close_exit() { timeout 120 wine "$VARNELL_BIN/corvale.exe" /Close "$@" >"$WORK/close.out" 2>&1 </dev/null; echo $? >"$closing"; }
close_exit
[ "$(cat "$closing")" = 0 ] && grep -qF "No Corvale window runs on this computer." "$WORK/close.out" ||
  fail "/Close with none running: exit $(cat "$closing"), $(cat "$WORK/close.out")"
unset FTDWPRT_SLOW_MS
export FTDWPRT_DELAY_MS=3000
start_serving 4
for i in 1 2 3 4; do printf 'queued %s\n' "$i" >"$WORK/stage/q$i.afp"; done
mv "$WORK"/stage/q?.afp "$WORK/hot/"
wait_until 60 grep -qF "Printing $(winpath "$store")\\q" "$log" || fail "nothing printing"
close_exit 60
[ "$(cat "$closing")" = 0 ] && grep -qF "Closed 1 Corvale: process " "$WORK/close.out" ||
  fail "/Close 60: exit $(cat "$closing"), $(cat "$WORK/close.out")"
corvale_gone || fail "corvale.exe still runs after /Close"
[ "$(in_log 'Asked to close (corvale.exe /Close)')" = 1 ] || fail "no line for the request"
[ -z "$(find "$store" -maxdepth 1 -type f)" ] || fail "the job store holds $(ls "$store")"
[ "$(($(ls "$WORK/hot" | wc -l) + $(ls "$WORK/done" | grep -c '^q')))" = 4 ] ||
  fail "queued files lost: hot $(ls "$WORK/hot"), done $(ls "$WORK/done")"
pass "/Close with none running exits 0; /Close 60 closed the serving Corvale: $(ls "$WORK/hot" | wc -l) queued files back in the hot folder"

# /Reopen starts the closed Corvale again; it serves from the start, as at a logon.
timeout 120 wine "$VARNELL_BIN/corvale.exe" /Reopen >"$WORK/reopen.out" 2>&1 </dev/null ||
  fail "/Reopen: exit $?, $(cat "$WORK/reopen.out")"
grep -qF "Corvale runs again in session " "$WORK/reopen.out" || fail "/Reopen said: $(cat "$WORK/reopen.out")"
drv wait-window Corvale >/dev/null || fail "no Corvale window after /Reopen"
wait_until 60 bash -c "[ \$(tr -d '\r' <'$log' | grep -c 'Simulator started successfully.') -ge 5 ]" ||
  fail "the reopened Corvale does not serve"
wait_until 120 bash -c "[ \$(ls '$WORK/done' | grep -c '^q') = 4 ]" || fail "the queued files were not printed after /Reopen"
drv close Corvale >/dev/null || fail "the reopened window did not close"
wait_until 60 corvale_gone || fail "the reopened corvale.exe did not end"
pass "/Reopen started Corvale again, serving: the files /Close had put back printed"
