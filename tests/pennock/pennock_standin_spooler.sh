#!/usr/bin/env bash
# pennock.exe decoding a spooler's change notifications under Wine. A copy of the unmodified
# program runs beside the stand-in spooler (tools/standin_spooler), which lists four printers and
# plays standin/notifications.script: for "Varnell" every job and printer field, status words,
# unknown codes, discarded data, a failed fetch, and two spooler restarts, the second one for
# good. The output file must match standin/notifications.expected line by line (written by hand
# from the decoding tables), and the spooler's record of the calls standin/notifications.calls.
# The window is closed while the worker pauses a minute between tries to register again.
source "$VARNELL_SOURCE/tests/wine/lib.sh"

data=$VARNELL_SOURCE/tests/pennock/standin
helper=$VARNELL_BIN/pennock_test_helper.exe
standin=$VARNELL_BIN/standin_spooler/winspool.drv
caption="Printer Activities"
others=("Dorrow_Laser" "Office Laser 2" "Tollard Proof")
[ -f "$standin" ] || fail "no $standin: build the $VARNELL_WINE_PRESET preset first"

# The names a module exports, or imports from WINSPOOL.DRV.
# The 64-bit one reads the programs of both builds.
objdump_tool=$(command -v x86_64-w64-mingw32-objdump || command -v i686-w64-mingw32-objdump) ||
  fail "no mingw-w64 objdump"
exports() {
  "$objdump_tool" -p "$1" | awk '/\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
    on && NF == 0 { exit } on { print $NF }' | sort
}
spooler_imports() {
  "$objdump_tool" -p "$1" | awk '/DLL Name:/ { dll = toupper($3); next }
    dll == "WINSPOOL.DRV" && NF == 3 && $2 ~ /^[0-9]+$/ { print $3 }' | sort
}

# Worker lines grouped by printer: first Varnell's (every line that names none of the others),
# then those of each printer in `others`. Start-up and finalisation stay where they are.
arrange_output() {
  awk -v others="$(printf '%s\n' "${others[@]}")" '
    BEGIN { n = split(others, name, "\n") }
    { line[NR] = $0 }
    $0 == "Finished initialisation." && !head { head = NR + 2 }
    $0 == "Starting finalisation." { tail = NR - 1 }
    END {
      if (!head || !tail) { for (i = 1; i <= NR; i++) print line[i]; exit }
      for (i = 1; i <= head; i++) print line[i]
      for (g = 0; g <= n; g++)
        for (i = head + 1; i < tail; i++) {
          owner = 0
          for (k = 1; k <= n; k++)
            if (index(line[i], "\"" name[k] "\"") || index(line[i], "[" name[k] "]")) owner = k
          if (owner == g) print line[i]
        }
      for (i = tail; i <= NR; i++) print line[i]
    }' "$1"
}
# The record's lines grouped by the printer they name (in the order listed), after those that
# name none.
arrange_calls() {
  awk -v printers="$(printf '%s\n' Dorrow_Laser Varnell "Office Laser 2" "Tollard Proof")" '
    BEGIN { n = split(printers, name, "\n") }
    { line[NR] = $0 }
    END {
      for (g = 0; g <= n; g++)
        for (i = 1; i <= NR; i++) {
          owner = 0
          for (k = 1; k <= n; k++) if (index(line[i], "\"" name[k] "\"")) owner = k
          if (owner == g) print line[i]
        }
    }' "$1"
}

# --- The program under test, beside the stand-in ------------------------------------------------
run=$WORK/run
mkdir -p "$run"
cp "$VARNELL_BIN/pennock.exe" "$standin" "$run/"
missing=$(comm -23 <(spooler_imports "$run/pennock.exe") <(exports "$run/winspool.drv"))
[ -n "$(spooler_imports "$run/pennock.exe")" ] || fail "pennock.exe imports nothing from winspool.drv"
[ -z "$missing" ] || fail "the stand-in lacks what pennock.exe imports: $missing"
acp=$(winrun "$helper" acp) || fail "pennock_test_helper acp"
[ "$acp" = 1252 ] || fail "the ANSI code page is $acp; the expected texts are those of code page 1252"

output=$WORK/activity.log
record=$WORK/spooler-record.txt
STANDIN_SPOOLER_SCRIPT=$(winpath "$data/notifications.script")
STANDIN_SPOOLER_RECORD=$(winpath "$record")
export STANDIN_SPOOLER_SCRIPT STANDIN_SPOOLER_RECORD
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winspool.drv=n" \
  timeout 300 wine "$run/pennock.exe" "$(winpath "$output")" >"$WORK/pennock.out" 2>&1 &
pennock=$!

# The script ends with the spooler gone for good: the worker's first try fails, and it pauses.
winrun "$helper" wait "$caption" "next try in a minute." 1 120000 ||
  fail "the worker did not come to its pause between tries"
rect=$(drv screen-rect "$caption") || fail "no window rectangle"
read -r x y w h <<<"$rect"
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$WORK/pennock-decoded.png" ||
  fail "no screenshot"
pass "$VARNELL_WINE_BUILD: the script played to its end"

closing=$(date +%s%N)
winrun "$helper" close "$caption" 30000 >/dev/null || fail "the window did not close"
status=0
wait "$pennock" || status=$?
closed_ms=$((($(date +%s%N) - closing) / 1000000))
[ "$status" = 0 ] || fail "pennock.exe ended with $status"
# Closing waits 1.5 s by design; a worker that held it up would keep it until its minute is over.
[ "$closed_ms" -lt 20000 ] || fail "closing took $closed_ms ms while the worker paused"
pass "closed in $closed_ms ms while the worker paused between tries"

# --- The output file, line by line -----------------------------------------------------------
[ -f "$output" ] || fail "no output file"
iconv -f CP1252 -t UTF-8 "$output" | tr -d '\r' | sed -E \
  -e 's/^(\[\*\] \[T\] ----->>> Event triggered at \[)[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}(\]: )/\1{time}\2/' \
  -e 's/( \[hPrinter = )[0-9A-F]{8}\]$/\1{handle}]/' \
  -e 's/^(-> Threadhandle = )[0-9A-F]{8}$/\1{handle}/' \
  -e 's/^(Required size is: )[0-9]+( Bytes)$/\1{number}\2/' >"$WORK/output.txt" ||
  fail "the output file is not text of code page 1252"
arrange_output "$data/notifications.expected" >"$WORK/expected-arranged.txt"
arrange_output "$WORK/output.txt" >"$WORK/output-arranged.txt"
diff -u "$WORK/expected-arranged.txt" "$WORK/output-arranged.txt" >"$WORK/output.diff" || {
  cat "$WORK/output.diff" >&2
  fail "the output file differs from notifications.expected"
}
pass "the output file matches notifications.expected: $(wc -l <"$WORK/output.txt") lines"

# --- The calls the stand-in was given --------------------------------------------------------
! grep -n FAULT "$record" >&2 || fail "the stand-in spooler recorded a fault"
cut -d' ' -f2- "$record" | sed -E -e 's/needed=[0-9]+ /needed={number} /' \
  -e 's/buffer=[1-9][0-9]* /buffer={number} /' >"$WORK/calls.txt"
arrange_calls "$data/notifications.calls" >"$WORK/calls-expected-arranged.txt"
arrange_calls "$WORK/calls.txt" >"$WORK/calls-arranged.txt"
diff -u "$WORK/calls-expected-arranged.txt" "$WORK/calls-arranged.txt" >"$WORK/calls.diff" || {
  cat "$WORK/calls.diff" >&2
  fail "the calls differ from notifications.calls"
}
pass "the calls match notifications.calls: every information block freed once"
