# corvale.exe under Wine serving hot folders: intake up to the queue depth, printing through the
# stand-in print utility to the private CUPS printers, the done folder and the delete option,
# the log file, a watched folder deleted and made again while running, an unstartable utility,
# and Stop.
source "$VARNELL_SOURCE/tests/wine/lib.sh"

hot=$WORK/hot done=$WORK/done hot2=$WORK/hot2 log=$WORK/corvale.log
mkdir -p "$hot" "$done" "$hot2"
store=$VARNELL_BIN/JobStore
rm -rf "$store/Pellam_Ink" "$store/Dorrow_Laser" "$VARNELL_PRINT_OUT/Pellam_Ink" \
  "$VARNELL_PRINT_OUT/Dorrow_Laser"

corvale_reset_settings "$WORK/unused.log"
reg_import <<REG
[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices]
"DefaultPrinter"="Pellam_Ink"

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Pellam_Ink]
"PrinterName"="Pellam_Ink"
"EnableIPDSEmulation"=dword:00000001
"InputFolder"="$(reg_path "$hot")"
"DoneFolder"="$(reg_path "$done")"
"DeleteInputFileWhenDone"=dword:00000000
"QueueDepth"=dword:00000002

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Dorrow_Laser]
"PrinterName"="Dorrow_Laser"
"EnableIPDSEmulation"=dword:00000001
"InputFolder"="$(reg_path "$hot2")"
"DoneFolder"="$(reg_path "$WORK/done2")"
"DeleteInputFileWhenDone"=dword:00000001
"QueueDepth"=dword:00000001
REG

# Wine resets the default printer whenever the first process that loads the print DLL starts:
# one kept alive lets the test see what Corvale leaves behind when it closes.
timeout 600 wine "$VARNELL_BIN/prefix_tool.exe" hold 550000 >/dev/null 2>&1 </dev/null &
startup_default=$(winrun "$VARNELL_BIN/prefix_tool.exe" default-printer)

FTDWPRT_DELAY_MS=1500 FTDWPRT_RECORD="$(winpath "$WORK/record.txt")" \
  timeout 1200 wine "$VARNELL_BIN/corvale.exe" >"$WORK/corvale.out" 2>&1 &
corvale=$!
drv wait-window Corvale >/dev/null || fail "no Corvale window"

# The log file box names the file the lines go to.
drv set-text Corvale 1021 "$(winpath "$log")" >/dev/null
drv click Corvale 1030 >/dev/null
wait_until 120 grep -q "Simulator started successfully." "$log" || fail "server did not start"
[ "$(head -n1 "$log" | tr -d '\r' | sed -E 's/^[0-9]{2}\/[0-9]{2}\/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} //')" = \
  "Log file created" ] || fail "first log line: $(head -n1 "$log")"
grep -qE $'^[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} \\[General\\] Check for the availibility of input and done folder\r$' "$log" ||
  fail "log line layout"
grep -qF "[Shell] Adding on-watch folder $(winpath "$hot")" "$log" || fail "watch line"
grep -qF "[General] Total on-watch folders: 2" "$log" || fail "folder count line"
pass "started; log lines in the file named by the log file box, CR LF, timestamped"

# Five files at once into a slot of depth 2: the oldest first, two at a time.
for i in 1 2 3 4 5; do
  printf 'job %s payload\n' "$i" >"$WORK/f$i.afp"
  touch -d "2024-01-0$i 10:00:00" "$WORK/f$i.afp"
done
mv "$WORK"/f?.afp "$hot/"
wait_until 120 grep -qF "New files found in $(winpath "$hot"), will take 2 files." "$log" ||
  fail "the first scan did not take two files"
wait_until 600 bash -c "[ \$(ls '$done' | wc -l) = 5 ]" || fail "not all files reached the done folder: $(ls "$done")"
for i in 1 2 3 4 5; do
  cmp -s <(printf 'job %s payload\n' "$i") "$done/f$i.afp" || fail "done file f$i.afp"
done
order=$(cut -f3 "$WORK/record.txt" | tr -d '\r' | sed 's/.*\\//' | tr '\n' ' ')
[ "$order" = "f1.afp f2.afp f3.afp f4.afp f5.afp " ] || fail "printing order: $order"
wait_until 60 bash -c "[ \$(ls '$VARNELL_PRINT_OUT/Pellam_Ink'/job-*.prn 2>/dev/null | wc -l) = 5 ]" ||
  fail "CUPS did not receive five jobs"
cat "$VARNELL_PRINT_OUT"/Pellam_Ink/job-*.prn | sort >"$WORK/printed.txt"
cat "$done"/f?.afp | sort | cmp -s - "$WORK/printed.txt" || fail "printed bytes differ"
cut -f2 "$WORK/record.txt" | tr -d '\r' | sort -u | grep -qx Pellam_Ink ||
  fail "the default printer at each start was not Pellam_Ink"
grep -q "\[JobStatus\] Printing .*f1.afp to Pellam_Ink ..." "$log" || fail "Printing line"
grep -qF "[MoveFile] MoveFile OK: Moved $(winpath "$store")\Pellam_Ink\f5.afp to $(winpath "$done")\f5.afp" "$log" ||
  fail "MoveFile OK line"
status=$(drv status-text Corvale)
case "$status" in *" is processed successfully."* | "Ready.") ;; *) fail "status: $status" ;; esac
[ "$(winrun "$VARNELL_BIN/prefix_tool.exe" default-printer)" = Pellam_Ink ] ||
  fail "the default printer is not the last job's printer"
pass "five files printed oldest first, byte for byte, moved to the done folder"

# The delete option: printed, then deleted.
drop_file "$hot2" del.afp "to be deleted"
wait_until 300 grep -q "DeleteFile OK: Deleted .*del.afp" "$log" || fail "no DeleteFile OK line"
[ ! -e "$hot2/del.afp" ] && [ ! -e "$store/Dorrow_Laser/del.afp" ] || fail "del.afp still there"
wait_until 60 bash -c "cat '$VARNELL_PRINT_OUT'/Dorrow_Laser/job-*.prn 2>/dev/null | grep -q 'to be deleted'" ||
  fail "del.afp not printed"
pass "delete option: printed on Dorrow_Laser and deleted"

# A watched folder deleted and made again at once is printed from again, without a Stop and a
# Start: its watch is made afresh when the check finds another folder there, or, where the file
# system hands the old folder's number on (Linux), the look into every idle folder once a minute
# takes the file.
rm -rf "$hot2"
mkdir -p "$hot2"
drop_file "$hot2" late.afp "late"
wait_until 90 grep -q "DeleteFile OK: Deleted .*late.afp" "$log" ||
  fail "the file in the re-created folder was not printed"
pass "re-created folder watched again; its file printed without a Stop and a Start"

# A print utility that is there but does not start costs no file: the job fails and waits in
# "Failed".
mkdir -p "$WORK/broken"
printf 'not a program\n' >"$WORK/broken/ftdwprt.exe"
reg_import <<REG
[HKEY_CURRENT_USER\\Software\\IBM\\AFP Workbench\\Default\\Misc]
"HelpCurPath"="$(reg_path "$WORK/broken/ftdwprt.hlp")"
REG
drop_file "$hot" lost.afp "not printed"
wait_until 300 grep -q "\[JobStatus\] Printing ERROR (cannot start: .*): .* did not print .*lost.afp" "$log" ||
  fail "no failure line for an unstartable utility"
[ -e "$store/Pellam_Ink/Failed/lost.afp" ] || fail "the job file is not in Failed"
[ ! -e "$done/lost.afp" ] || fail "an unprinted file reached the done folder"
status=$(drv status-text Corvale)
case "$status" in *"lost.afp was not printed (cannot start: "*"; it is in "*"Failed"*) ;; *"Ready."*) ;; *) fail "status: $status" ;; esac
pass "unstartable utility: failure logged, file set aside in Failed"

drv click Corvale 1031 >/dev/null
status_is() { [ "$(drv status-text Corvale)" = "$1" ]; }
wait_until 60 status_is Idle. ||
  fail "status after Stop: $(drv status-text Corvale)"
[ "$(drv get-text Corvale 1006)" = 0 ] || fail "job count label after Stop"
grep -q "Varnell server application stopped successfully." "$log" || fail "stop line"
pass "Stop: status Idle., job count 0"

drv close Corvale >/dev/null
wait "$corvale" || true
[ "$(winrun "$VARNELL_BIN/prefix_tool.exe" default-printer)" = "$startup_default" ] ||
  fail "the default printer at start-up ($startup_default) was not restored at close"
pass "closing restores the default printer of program start ($startup_default)"
