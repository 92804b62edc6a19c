#!/usr/bin/env bash
# prefix_tool and the ftdwprt stand-in against the private printers: the printer list, RAW jobs
# reaching a local file port and CUPS unchanged, and ftdwprt printing to the default printer.
set -euo pipefail
source "$VARNELL_SOURCE/scripts/wine-env.sh"
work=$VARNELL_TEST_WORK
rm -rf "$work" && mkdir -p "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }
tool() { timeout 60 wine "$VARNELL_BIN/prefix_tool.exe" "$@"; }
# The queue's folder belongs to CUPS's backend (user lp): the test only reads it.
# The job file that appears in a CUPS queue's folder after the given list of existing ones.
new_job() {
  local queue_dir=$1 before=$2 f
  for _ in $(seq 200); do
    for f in "$queue_dir"/job-*.prn; do
      [ -e "$f" ] && ! grep -qxF "$f" "$before" && { echo "$f"; return 0; }
    done
    sleep 0.05
  done
  return 1
}
jobs_before() { ls "$VARNELL_PRINT_OUT"/Pellam_Ink/job-*.prn 2>/dev/null >"$work/before.txt" || true; }

# Wine puts the default printer back to the CUPS default whenever the first process that loads
# the print DLL starts: one such process stays alive for the whole test.
timeout 200 wine "$VARNELL_BIN/prefix_tool.exe" hold 180000 >"$work/hold.out" 2>&1 &
holder=$!
trap 'kill $holder 2>/dev/null || true' EXIT
for _ in $(seq 200); do grep -q holding "$work/hold.out" 2>/dev/null && break; sleep 0.05; done

echo "== printers"
tool printers | tr -d '\r' >"$work/printers.txt"
cat "$work/printers.txt"
for q in Varnell Dorrow_Laser Pellam_Ink; do
  grep -qP "^$q\t" "$work/printers.txt" || fail "CUPS printer $q not listed"
done
for p in "AFP Printer" "Office Laser 2"; do
  grep -qxF "$p	$(winpath "$VARNELL_PRINT_OUT/$p.prn")	Dorrow_Laser" "$work/printers.txt" ||
    fail "local printer $p not listed on its file port"
done

echo "== addprinter again leaves one printer"
tool addprinter "Office Laser 2" "$(winpath "$VARNELL_PRINT_OUT/Office Laser 2.prn")" Dorrow_Laser
[ "$(tool printers | grep -c "^Office Laser 2	")" = 1 ] || fail "Office Laser 2 listed twice"

echo "== print-raw to a local file port"
head -c 3000 /dev/urandom >"$work/job.bin"
printf '\r\n\x00\x1a end' >>"$work/job.bin"
rm -f "$VARNELL_PRINT_OUT/Office Laser 2.prn"
tool print-raw "Office Laser 2" "$(winpath "$work/job.bin")"
for _ in $(seq 100); do [ -s "$VARNELL_PRINT_OUT/Office Laser 2.prn" ] && break; sleep 0.05; done
cmp "$work/job.bin" "$VARNELL_PRINT_OUT/Office Laser 2.prn" || fail "port file differs"

echo "== print-raw through CUPS"
jobs_before
tool print-raw Pellam_Ink "$(winpath "$work/job.bin")"
job=$(new_job "$VARNELL_PRINT_OUT/Pellam_Ink" "$work/before.txt") || fail "no CUPS job for Pellam_Ink"
cmp "$work/job.bin" "$job" || fail "CUPS job differs"

echo "== print-raw and short-path failures"
if tool print-raw "No Such Printer" "$(winpath "$work/job.bin")" 2>/dev/null; then
  fail "print-raw to a missing printer succeeded"
fi
if tool short-path "$(winpath "$work/missing.afp")" 2>/dev/null; then
  fail "short-path of a missing file succeeded"
fi
set +e; tool frobnicate 2>/dev/null; rc=$?; set -e
[ $rc = 2 ] || fail "bad usage gave exit code $rc"

echo "== default printer"
tool set-default Pellam_Ink
[ "$(tool default-printer | tr -d '\r')" = Pellam_Ink ] || fail "default printer not Pellam_Ink"

echo "== ftdwprt prints a file by its short path to the default printer"
mkdir -p "$work/hot in"
printf 'AFP job\x00\x5a\xd3\r\n' >"$work/hot in/first job.afp"
short=$(tool short-path "$(winpath "$work/hot in/first job.afp")" | tr -d '\r')
case "$short" in *" "*) fail "short path has a space: $short" ;; esac
jobs_before
record=$work/record.txt
FTDWPRT_RECORD=$(winpath "$record") timeout 60 wine "$VARNELL_BIN/ftdwprt.exe" "$short" /N /P ||
  fail "ftdwprt exit code $?"
job=$(new_job "$VARNELL_PRINT_OUT/Pellam_Ink" "$work/before.txt") || fail "no job from ftdwprt"
cmp "$work/hot in/first job.afp" "$job" || fail "ftdwprt's job differs"
[ "$(wc -l <"$record")" = 1 ] || fail "record has not one line"
IFS=$'\t' read -r stamp printer file command <"$record"
[ "$printer" = Pellam_Ink ] || fail "recorded default printer: $printer"
[ "$file" = "$short" ] || fail "recorded file: $file"
case "$command" in *"$short /N /P") ;; *) fail "recorded command line: $command" ;; esac
now=$(date +%s%3N)
[ $((now - stamp)) -ge 0 ] && [ $((now - stamp)) -lt 120000 ] || fail "recorded time $stamp"

echo "== ftdwprt told to fail by its side file, which wins over the environment"
mkdir -p "$work/bin"
cp "$VARNELL_BIN/ftdwprt.exe" "$work/bin/"
printf 'fail=1\r\nrecord=%s\r\n' "$(winpath "$work/side-record.txt")" >"$work/bin/ftdwprt.ini"
jobs_before
set +e
FTDWPRT_FAIL=0 FTDWPRT_RECORD=$(winpath "$record") timeout 60 wine "$work/bin/ftdwprt.exe" "$short" /N /P
rc=$?
set -e
[ $rc = 3 ] || fail "ftdwprt told to fail gave exit code $rc"
[ "$(wc -l <"$work/side-record.txt")" = 1 ] || fail "side file's record not written"
[ "$(wc -l <"$record")" = 1 ] || fail "environment's record written despite the side file"
sleep 1
[ "$(ls "$VARNELL_PRINT_OUT"/Pellam_Ink/job-*.prn | wc -l)" = "$(wc -l <"$work/before.txt")" ] ||
  fail "ftdwprt told to fail printed"

echo "== ftdwprt with a missing file"
rm "$work/bin/ftdwprt.ini"
set +e; timeout 60 wine "$work/bin/ftdwprt.exe" "$(winpath "$work/missing.afp")" /N /P; rc=$?; set -e
[ $rc = 1 ] || fail "ftdwprt with a missing file gave exit code $rc"

echo "PASS"
