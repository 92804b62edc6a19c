# Helpers for the end-to-end tests under Wine. Sourced by each test script, which runs inside
# the private Wine environment (scripts/with-wine-env.sh).
set -euo pipefail
source "$VARNELL_SOURCE/scripts/wine-env.sh"

WORK=${VARNELL_TEST_WORK:?}
rm -rf "$WORK"
mkdir -p "$WORK"

fail() {
  echo "FAIL: $*" >&2
  [ -n "${DISPLAY:-}" ] && import -window root "$WORK/failure.png" 2>/dev/null || true
  exit 1
}
pass() { echo "ok: $*"; }

# Runs our GUI test driver: drv <command> <args...>
drv() { timeout 300 wine "$VARNELL_BIN/gui_driver.exe" --timeout "${DRV_TIMEOUT:-60000}" "$@" 2>&1 | tr -d '\r'; }

# Imports registry settings given as REGEDIT4 text on standard input.
reg_import() {
  local file=$WORK/import-$RANDOM.reg
  { echo REGEDIT4; echo; cat; } >"$file"
  timeout 300 wine64 regedit /S "$(winpath "$file")" >/dev/null 2>&1 || fail "regedit $file"
}

# reg_value KEY NAME: the data of one value as `reg query` shows it, or nothing.
reg_value() {
  timeout 300 wine64 reg query "$1" /v "$2" /reg:64 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name { $1 = ""; $2 = ""; sub(/^  */, ""); print; exit }'
}
reg_key_exists() { timeout 300 wine64 reg query "$1" /reg:64 >/dev/null 2>&1; }

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
