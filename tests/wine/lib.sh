# Helpers for the end-to-end tests under Wine. Sourced by each test script, which runs inside
# the private Wine environment (scripts/with-wine-env.sh).
set -euo pipefail
source "$VARNELL_SOURCE/scripts/wine-env.sh"

WORK=${VARNELL_TEST_WORK:?}
rm -rf "$WORK"
mkdir -p "$WORK"

# Programs a test started in the background end with it.
trap 'kill $(jobs -p) 2>/dev/null || true' EXIT

fail() {
  echo "FAIL: $*" >&2
  [ -n "${DISPLAY:-}" ] && import -window root "$WORK/failure.png" 2>/dev/null || true
  exit 1
}
pass() { echo "ok: $*"; }

# program_version PROGRAM: the program's four-part version as the file VERSION gives it.
program_version() {
  local version
  version=$(awk -v name="$1" '$1 == name { print $2 }' "$VARNELL_SOURCE/VERSION")
  [[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "VERSION gives no version of $1"
  echo "$version"
}

# Runs a Windows program and prints its output without CRs. The output goes through a file, not
# a pipe: Wine's helper processes started on the way inherit the descriptors and outlive it.
winrun() {
  local out=$WORK/.out-$BASHPID status=0
  timeout 300 wine "$@" >"$out" 2>&1 </dev/null || status=$?
  tr -d '\r' <"$out"
  rm -f "$out"
  return $status
}

# Runs our GUI test driver: drv <command> <args...>
drv() { winrun "$VARNELL_BIN/gui_driver.exe" --timeout "${DRV_TIMEOUT:-60000}" "$@"; }

# Imports registry settings given as REGEDIT4 text on standard input.
reg_import() {
  local file=$WORK/import-$RANDOM.reg
  { echo REGEDIT4; echo; cat; } >"$file"
  timeout 300 wine64 regedit /S "$(winpath "$file")" >/dev/null 2>&1 || fail "regedit $file"
}

# reg_value KEY NAME [VIEW]: the data of one value as `reg query` shows it, or nothing. VIEW is the
# registry view, 64 unless given (32: where a 32-bit program's HKLM\Software goes).
reg_value() {
  local out=$WORK/.reg-$BASHPID
  timeout 300 wine64 reg query "$1" /v "$2" /reg:"${3:-64}" >"$out" 2>/dev/null </dev/null || true
  tr -d '\r' <"$out" | awk -v name="$2" '$1 == name { $1 = ""; $2 = ""; sub(/^  */, ""); print; exit }'
  rm -f "$out"
}
reg_key_exists() { timeout 300 wine64 reg query "$1" /reg:"${2:-64}" >/dev/null 2>&1 </dev/null; }

# A backslash-escaped Windows path for .reg files.
reg_path() { winpath "$1" | sed 's/\\/\\\\/g'; }

# wait_until SECONDS COMMAND...: polls until the command succeeds.
wait_until() {
  local limit=$1
  shift
  local end=$((SECONDS + limit))
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.5
  done
}

# Drops a file into a folder atomically, as a writer that closes it at once would.
drop_file() {
  local folder=$1 name=$2 content=$3
  printf '%s' "$content" >"$WORK/.drop-$name"
  mv "$WORK/.drop-$name" "$folder/$name"
}

# Forgets every stored setting of Corvale, then stores where the stand-in print utility is and
# the log file $1.
corvale_reset_settings() {
  timeout 120 wine64 reg delete 'HKCU\SOFTWARE\Varnell' /f >/dev/null 2>&1 || true
  reg_import <<REG
[HKEY_CURRENT_USER\\Software\\IBM\\AFP Workbench\\Default\\Misc]
"HelpCurPath"="$(reg_path "$VARNELL_BIN/ftdwprt.hlp")"

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell]
"LogFile"="$(reg_path "$1")"
REG
}

# Starts corvale.exe with the arguments given and waits for its window; CORVALE_PID is its process.
run_corvale() {
  timeout 600 wine "$VARNELL_BIN/corvale.exe" "$@" >"$WORK/corvale.out" 2>&1 &
  CORVALE_PID=$!
  drv wait-window Corvale >/dev/null || fail "the Corvale window did not appear"
}
# Closes the window that run_corvale opened and waits for the process to end.
close_corvale() {
  drv close Corvale >/dev/null || fail "the Corvale window did not close"
  wait "$CORVALE_PID" || true
}

# Files for the hot folders $WORK/hot1..3 of the tests that count where every file went: each has
# a content of its own, and a line "name<TAB>slot<TAB>content" in the file $manifest.
# stage NAME SLOT [MARK]: the file, written to $WORK/stage, with MARK (a text the stand-in print
# utility is told to act on, such as FAIL-ME) in its bytes.
stage() {
  local name=$1 slot=$2 content
  content="job $name $RANDOM$RANDOM${3:+ $3}"
  mkdir -p "$WORK/stage"
  printf '%s\n' "$content" >"$WORK/stage/$name"
  printf '%s\t%s\t%s\n' "$name" "$slot" "$content" >>"$manifest"
}
# wave W COUNT EVERY: COUNT files w<W>-s<n>-<i>.afp for each slot n of 1..3, every EVERY-th marked
# FAIL-ME (0: none); the three folders get theirs at the same moment.
wave() {
  local w=$1 count=$2 every=$3 n i name movers=()
  for n in 1 2 3; do
    mkdir -p "$WORK/stage/w$w-$n"
    for i in $(seq -w 1 "$count"); do
      name=w$w-s$n-$i.afp
      stage "$name" $n $([ "$every" -gt 0 ] && [ $((10#$i % every)) = 0 ] && echo FAIL-ME)
      mv "$WORK/stage/$name" "$WORK/stage/w$w-$n/"
    done
  done
  for n in 1 2 3; do
    mv "$WORK/stage/w$w-$n"/* "$WORK/hot$n/" &
    movers+=($!)
  done
  wait "${movers[@]}"
}

# register_event_source PROGRAM: Corvale's event source in the Application log, with PROGRAM's
# message table, until the test ends; `events` then lists the text of each event the test's
# Corvale wrote to $WORK/corvale.out when it ran with WINEDEBUG=+eventlog.
event_source_key='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\EventLog\Application\Corvale'
register_event_source() {
  reg_import <<REG
[$event_source_key]
"EventMessageFile"="$(reg_path "$1")"
"TypesSupported"=dword:00000007
REG
  trap 'kill $(jobs -p) 2>/dev/null || true
    timeout 60 wine reg delete "$event_source_key" /f >/dev/null 2>&1 || true' EXIT
}
events() { tr -d '\r' <"$WORK/corvale.out" | grep -E ':eventlog:ReportEventW ' | sed 's/.*ReportEventW //'; }
