# Corvale as a Windows service under Wine, in a prefix of the test's own: installed for the Wine
# user, it prints the files dropped into its hot folder with no window open; `net stop` moves its
# queued files back; after a simulated reboot with nobody logged on (its Run entry gone, no
# window started) it starts by itself, and the files dropped while it was down and those left in
# the job store print once; the window opened meanwhile shows the service's state and stops and
# starts it; removing it leaves no service.
# Wine ignores service accounts and rights: the service runs as the Wine user, with its settings.
source "$VARNELL_SOURCE/tests/wine/lib.sh"

app=$WORK/app store=$WORK/app/JobStore/Dorrow_Laser
log=$WORK/corvale.log journal=$WORK/journal.txt
mkdir -p "$app" "$WORK/hot" "$WORK/done" "$WORK/stage"
cp "$VARNELL_BIN/corvale.exe" "$VARNELL_BIN/ftdwprt.exe" "$app/"
: >"$journal"
# The service does not see this shell's environment: the stand-in utility reads its side file.
printf 'journal=%s\ndelay_ms=1500\n' "$(winpath "$journal")" >"$app/ftdwprt.ini"

export WINEPREFIX=$WORK/prefix
trap 'kill $(jobs -p) 2>/dev/null || true; timeout 60 wineserver -k 2>/dev/null || true' EXIT
wine_prefix_init || fail "wineboot in $WINEPREFIX"
# Debian's wineserver ends a service a second after the last program; a persistent one keeps it.
keep_server() { timeout 900 wineserver -p >/dev/null 2>&1 </dev/null & }
keep_server

corvale_reset_settings "$log"
reg_import <<REG
[HKEY_CURRENT_USER\\Software\\IBM\\AFP Workbench\\Default\\Misc]
"HelpCurPath"="$(reg_path "$app/ftdwprt.hlp")"

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Dorrow_Laser]
"PrinterName"="Dorrow_Laser"
"EnableIPDSEmulation"=dword:00000001
"InputFolder"="$(reg_path "$WORK/hot")"
"DoneFolder"="$(reg_path "$WORK/done")"
"QueueDepth"=dword:00000014
"DeleteInputFileWhenDone"=dword:00000000
REG

in_log() { { tr -d '\r' <"$log"; } 2>/dev/null | grep -cF -- "$1" || true; }
printed() { grep -c "\\\\$1	" "$journal" || true; }
service_proc() { pgrep -f 'corvale\.exe /Service' >/dev/null; }
# Runs a program of the prefix through a file (its helpers outlive it and hold a pipe open).
run() {
  local out=$WORK/.run-$BASHPID status=0
  timeout 120 wine "$@" >"$out" 2>&1 </dev/null || status=$?
  tr -d '\r' <"$out" | grep -v ':fixme:'
  rm -f "$out"
  return $status
}

# Installed for the Wine user, started, serving with no window.
user=$(whoami)
out=$(run "$app/corvale.exe" /InstallService "/Account:$user") || fail "install: $out"
[[ $out == "The service Corvale is installed; it runs as .\\$user and starts with Windows."* ]] ||
  fail "install said: $out"
run net start Corvale >/dev/null || fail "net start Corvale"
wait_until 60 grep -qs "Simulator started successfully." "$log" || fail "the service did not serve"
[ "$(in_log "The Corvale service starts, as $user")" = 1 ] || fail "no line for the service's start"
pgrep -f 'corvale\.exe$' >/dev/null && fail "a window runs"
for i in 1 2 3; do drop_file "$WORK/hot" "a$i.afp" "first $i"; done
wait_until 120 bash -c "[ \$(ls '$WORK/done' | wc -l) = 3 ]" || fail "the service did not print"
for i in 1 2 3; do [ "$(printed "a$i.afp")" = 1 ] || fail "a$i.afp printed $(printed "a$i.afp") times"; done
pass "installed and started: three files printed with no window open"

# net stop with jobs queued: they go back to the hot folder.
for i in $(seq 1 8); do drop_file "$WORK/hot" "q$i.afp" "queued $i"; done
wait_until 60 bash -c "[ \$(ls '$store' 2>/dev/null | grep -c '^q') -ge 4 ]" || fail "nothing queued"
run net stop Corvale >/dev/null || fail "net stop Corvale"
wait_until 30 bash -c "! pgrep -f 'corvale\\.exe /Service' >/dev/null" || fail "the service process stayed"
moved_back=$(in_log " was not printed; moved back to ")
[ "$moved_back" -ge 3 ] || fail "only $moved_back queued files moved back at the stop"
[ -z "$(find "$store" -maxdepth 1 -type f)" ] || fail "left in the job store: $(ls "$store")"
[ "$(in_log 'The Corvale service stops')" = 1 ] || fail "no line for the service's stop"
pass "net stop: $moved_back queued files moved back, the job store empty"

# A reboot with nobody logged on: the service starts by itself; files dropped while it was down
# and a file left in the job store (as a power cut leaves it) print once.
drop_file "$WORK/hot" while-down.afp "dropped while down"
printf 'left in the store\n' >"$store/left.afp"
timeout 60 wineserver -k || true
keep_server
run reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v Corvale /f >/dev/null 2>&1 || true
timeout 300 wine wineboot >/dev/null 2>&1 </dev/null || true
wait_until 120 service_proc || fail "the service did not start at the reboot"
wait_until 180 bash -c "[ -z \"\$(ls '$WORK/hot')\" ] && [ \$(ls '$WORK/done' | wc -l) = 13 ]" ||
  fail "not every file printed after the reboot: hot $(ls "$WORK/hot" | wc -l), done $(ls "$WORK/done" | wc -l)"
for name in while-down.afp left.afp $(seq -f 'q%g.afp' 1 8); do
  [ "$(printed "$name")" = 1 ] || fail "$name printed $(printed "$name") times"
done
pass "after a reboot with nobody logged on the service served by itself; every file printed once"

# The window is the service's console: it shows the service's state and stops and starts it.
timeout 600 wine "$app/corvale.exe" >"$WORK/window.out" 2>&1 </dev/null &
window=$!
drv wait-window Corvale >/dev/null || fail "no window"
shows() {
  status=$(drv status-text Corvale)
  [[ $status == *"$1"* ]]
}
# A running service's latest status text, whatever it is.
shows_running() {
  status=$(drv status-text Corvale)
  [ -n "$status" ] && [[ $status != *"is not running"* ]]
}
wait_until 20 shows_running || fail "the window shows: $status"
drv click Corvale 1031 >/dev/null  # Stop
wait_until 60 bash -c "! pgrep -f 'corvale\\.exe /Service' >/dev/null" || fail "Stop did not stop the service"
wait_until 30 shows "The Corvale service is not running." || fail "after Stop the window shows: $status"
drv click Corvale 1030 >/dev/null  # Start
wait_until 60 service_proc || fail "Start did not start the service"
wait_until 30 shows_running || fail "after Start the window shows: $status"
[ "$(in_log 'Simulator started successfully.')" -ge 3 ] || fail "the service did not serve again"
drop_file "$WORK/hot" after-window.afp "after the window"
wait_until 60 bash -c "grep -q 'after-window.afp' '$journal'" || fail "the restarted service did not print"
drv close Corvale >/dev/null || fail "the window did not close"
wait "$window" || true
service_proc || fail "closing the window stopped the service"
pass "the window showed the service's state, stopped and started it"

# Removed: stopped and gone.
out=$(run "$app/corvale.exe" /RemoveService) || fail "remove: $out"
[ "$out" = "The service Corvale is removed." ] || fail "remove said: $out"
wait_until 30 bash -c "! pgrep -f 'corvale\\.exe /Service' >/dev/null" || fail "the service still runs"
if run sc query Corvale >/dev/null 2>&1; then fail "the service is still installed"; fi
grep -q "terminate called\|exception" "$WORK/window.out" && fail "crash: $(cat "$WORK/window.out")"
pass "removed: no service left"
