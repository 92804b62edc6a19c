# Corvale end to end under Wine, with a stand-in print utility that exits at once: latency of one
# file, throughput of 100 files at queue depths 1, 10 and 100, the floor of 100 back-to-back
# starts of the stand-in, scan and intake of 10,000 files, idle CPU with 20 watched folders (the
# median of three readings), the working set over 5,000 files, the recovery of 10,000 files left
# in the job store, and what each Windows operation of a job costs here.
# Prints figures; it is not a test.
source "$VARNELL_SOURCE/tests/wine/lib.sh"

store=$VARNELL_BIN/JobStore/Pellam_Ink
log=$WORK/corvale.log
now_ms() { date +%s%3N; }

configure() {  # configure <depth> <watched folder count>
  local depth=$1 folders=$2
  corvale_reset_settings "$log"
  {
    cat <<REG
[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Pellam_Ink]
"PrinterName"="Pellam_Ink"
"EnableIPDSEmulation"=dword:00000001
"InputFolder"="$(reg_path "$WORK/hot")"
"DoneFolder"="$(reg_path "$WORK/done")"
"QueueDepth"=dword:$(printf '%08x' "$depth")
REG
    # Further watched folders on the other printers' slots.
    local i=1
    for printer in Dorrow_Laser "Office Laser 2"; do
      [ $i -lt "$folders" ] || break
      cat <<REG

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\$printer]
"PrinterName"="$printer"
"EnableIPDSEmulation"=dword:00000001
"InputFolder"="$(reg_path "$WORK/extra$i")"
"DoneFolder"="$(reg_path "$WORK/extra-done$i")"
REG
      i=$((i + 1))
    done
  } | reg_import
}

start_corvale() {
  rm -rf "$WORK/hot" "$WORK/done" "$store" "$log"
  mkdir -p "$WORK/hot" "$WORK/done"
  timeout 3600 wine "$VARNELL_BIN/corvale.exe" >"$WORK/corvale.out" 2>&1 &
  CORVALE=$!
  drv wait-window Corvale >/dev/null
  drv click Corvale 1030 >/dev/null
  wait_until 120 grep -q "Simulator started successfully." "$log"
}
stop_corvale() {
  drv close Corvale >/dev/null
  wait "$CORVALE" || true
}
done_count() { ls "$WORK/done" | wc -l; }
done_at_least() { [ "$(done_count)" -ge "$1" ]; }

drop_many() {  # drop_many <count> [prefix]: written elsewhere, moved in at once
  mkdir -p "$WORK/stage"
  for i in $(seq 1 "$1"); do printf 'job %s\n' "$i" >"$WORK/stage/${2:-f}$i.afp"; done
  find "$WORK/stage" -name '*.afp' -exec mv -t "$WORK/hot/" {} +
}
corvale_pid() { pgrep -f 'corvale.exe' | tail -n1; }
working_set_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
mb_of() { awk -v kb="$1" 'BEGIN { printf "%.1f MB", kb / 1024 }'; }

echo "== Corvale under Wine ($VARNELL_WINE_PRESET build)"

configure 1 1
start_corvale
t0=$(now_ms)
drop_file "$WORK/hot" one.afp "one"
wait_until 120 done_at_least 1
echo "(a) one file, drop to done folder: $(( $(now_ms) - t0 )) ms"
stop_corvale

for depth in 1 10 100; do
  configure "$depth" 1
  start_corvale
  t0=$(now_ms)
  drop_many 100
  wait_until 1800 done_at_least 100
  ms=$(( $(now_ms) - t0 ))
  echo "(b) 100 files at depth $depth: $ms ms, $(( 100 * 60000 / ms )) jobs per minute"
  stop_corvale
done

printf 'x\n' >"$WORK/floor.afp"
floor=$(winrun "$VARNELL_BIN/prefix_tool.exe" run 100 "$(winpath "$VARNELL_BIN/ftdwprt.exe")" \
  "$(winpath "$WORK/floor.afp")  /N /P")
echo "(c) 100 starts of the stand-in back to back: $floor ms, $(( 100 * 60000 / floor )) per minute"
# The same while a Corvale window is open and stopped: under Wine every process start costs more
# while another program's windows are open, which (b) pays and (c) does not.
timeout 3600 wine "$VARNELL_BIN/corvale.exe" >"$WORK/corvale.out" 2>&1 &
CORVALE=$!
drv wait-window Corvale >/dev/null
floor_open=$(winrun "$VARNELL_BIN/prefix_tool.exe" run 100 "$(winpath "$VARNELL_BIN/ftdwprt.exe")" \
  "$(winpath "$WORK/floor.afp")  /N /P")
stop_corvale
echo "(c) the same with a stopped Corvale window open: $floor_open ms, $(( 100 * 60000 / floor_open )) per minute"

configure 10 1
start_corvale
mkdir -p "$WORK/stage"
for i in $(seq 1 10000); do : >"$WORK/stage/b$i.afp"; done
t0=$(now_ms)
mv "$WORK/stage"/b*.afp "$WORK/hot/" 2>/dev/null || find "$WORK/stage" -name 'b*.afp' -exec mv -t "$WORK/hot/" {} +
scanned() { grep -q "New files found in .*will take 10 files." "$log"; }
wait_until 600 scanned
echo "(d) 10,000 files dropped: listed, sorted and 10 taken after $(( $(now_ms) - t0 )) ms (includes the 200 ms burst)"
stop_corvale

# Twenty watched folders: seventeen more CUPS queues for the time of the measurement.
bench_queues=$(seq -f 'Bench_%02g' 1 17)
for q in $bench_queues; do lpadmin -p "$q" -E -v "varnellfile:$VARNELL_PRINT_OUT/$q" -m raw 2>/dev/null; done
configure 1 3
{
  for q in $bench_queues; do
    mkdir -p "$WORK/in-$q"
    cat <<REG
[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\$q]
"PrinterName"="$q"
"EnableIPDSEmulation"=dword:00000001
"InputFolder"="$(reg_path "$WORK/in-$q")"
"DoneFolder"="$(reg_path "$WORK/done-$q")"

REG
  done
} | reg_import
mkdir -p "$WORK/extra1" "$WORK/extra2"
timeout 120 wineserver -k || true  # the next process reads the printer list afresh
start_corvale
pid=$(corvale_pid)
# The pointer off the window: resting on a themed button it keeps Wine polling for the hover.
drv move-mouse 0 0 >/dev/null
sleep 2
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
readings=()
# A minute each, so that every reading holds one of each minute's checks.
for reading in 1 2 3; do
  before=$(ticks "$pid")
  sleep 60
  after=$(ticks "$pid")
  readings+=("$(awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.1f", t * 1000 / hz / 60 }')")
done
median=$(printf '%s\n' "${readings[@]}" | sort -n | sed -n 2p)
echo "(e) idle corvale.exe, $(grep -c 'Adding on-watch folder' "$log") watched folders: $median ms CPU per second, the median of ${readings[*]} (status tick included)"
stop_corvale
for q in $bench_queues; do lpadmin -x "$q" 2>/dev/null || true; done

# The working set while 5,000 files go through one printer.
configure 100 1
start_corvale
pid=$(corvale_pid)
drop_many 1000 m
wait_until 1800 done_at_least 1000
at_1000=$(working_set_kb "$pid")
drop_many 4000 n
wait_until 3600 done_at_least 5000
at_5000=$(working_set_kb "$pid")
echo "(f) working set after 1,000 files: $(mb_of "$at_1000"), after 5,000: $(mb_of "$at_5000") ($(( at_5000 - at_1000 )) KB more)"
stop_corvale

# 10,000 files left in the job store by an earlier run: the time from Start to the first print,
# and how long the window took at most to answer meanwhile.
configure 10 1
rm -rf "$WORK/hot" "$WORK/done" "$store" "$log"
mkdir -p "$WORK/hot" "$WORK/done" "$store"
for i in $(seq 1 10000); do printf 'left %s\n' "$i" >"$store/r$i.afp"; done
timeout 3600 wine "$VARNELL_BIN/corvale.exe" >"$WORK/corvale.out" 2>&1 &
CORVALE=$!
drv wait-window Corvale >/dev/null
drv answer-time Corvale 30 >"$WORK/answers.txt" &
answering=$!
sleep 1
t0=$(now_ms)
drv click Corvale 1030 >/dev/null
wait_until 600 done_at_least 1
first=$(( $(now_ms) - t0 ))
wait "$answering" || true
read -r longest answers <"$WORK/answers.txt" || true
echo "(g) 10,000 files left in the job store: first print $first ms after Start; the window answered $answers times in 30 s, the longest wait $longest ms"
stop_corvale

echo "== what each Windows operation of a job costs here (win32_op_costs.exe)"
rm -rf "$WORK/op-costs"
mkdir -p "$WORK/op-costs"
winrun "$VARNELL_BIN/win32_op_costs.exe" "$(winpath "$WORK/op-costs")" Pellam_Ink 200 \
  "$(winpath "$VARNELL_BIN/ftdwprt.exe")"
