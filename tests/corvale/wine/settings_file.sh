# corvale.exe /ExportSettings and /ImportSettings under Wine: an export imported after the
# settings were deleted gives the same registry; a wrong file or a running Corvale changes nothing.
source "$VARNELL_SOURCE/tests/wine/lib.sh"

varnell='HKCU\SOFTWARE\Varnell'
corvale_reset_settings "$WORK/corvale.log"
# Settings as an operator left them: two printers of this computer and one on a print server that
# is not installed here, a negative number, texts with blanks and quotes.
reg_import <<REG
[HKEY_CURRENT_USER\\SOFTWARE\\Varnell]
"LogEnabled"=dword:00000001
"KeepLogFileSmall"=dword:00000001
"KeepLogFileSize"=dword:00000019
"DeleteLogFileDays"=dword:fffffffd
"LaunchOnStartup"=dword:00000000
"PrintSuccessExitCodes"="0; 3 = \\"ok\\""
"PrintTimeoutMinutes"=dword:0000000a

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices]
"DefaultPrinter"="Pellam_Ink"

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Dorrow_Laser]
"PrinterName"="Dorrow_Laser"
"EnableIPDSEmulation"=dword:00000001
"InputFolder"="$(reg_path "$WORK/hot1")"
"DoneFolder"="$(reg_path "$WORK/done1")"
"DeleteInputFileWhenDone"=dword:00000000
"QueueDepth"=dword:00000002

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Pellam_Ink]
"PrinterName"="Pellam_Ink"
"EnableIPDSEmulation"=dword:00000000
"InputFolder"=" $(reg_path "$WORK/hot2") "
"DeleteInputFileWhenDone"=dword:00000001
"QueueDepth"=dword:00000005

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\##print01#Laser 5]
"PrinterName"="\\\\\\\\print01\\\\Laser 5"
"EnableIPDSEmulation"=dword:00000001
"InputFolder"="\\\\\\\\files\\\\hot\\\\Laser5"
"QueueDepth"=dword:00000007
REG

# The whole key as `reg export` writes it, each value line after its key's name and sorted: the
# registry keeps values in the order they were written, which the import need not repeat.
reg_dump() {
  rm -f "$WORK/$1.utf16"
  timeout 300 wine64 reg export "$varnell" "$(winpath "$WORK/$1.utf16")" /y >/dev/null 2>&1 \
    </dev/null || fail "reg export $1"
  iconv -f UTF-16 -t UTF-8 "$WORK/$1.utf16" | tr -d '\r' |
    awk '/^\[/ { key = $0; print key; next } NF && key != "" { print key " " $0 }' | sort >"$WORK/$1"
  [ -s "$WORK/$1" ] || fail "reg export $1 is empty"
}
same_registry() { cmp -s "$WORK/before.reg" "$WORK/$1" || fail "$2: $(diff "$WORK/before.reg" "$WORK/$1")"; }
file=$(winpath "$WORK/corvale.ini")

reg_dump before.reg
out=$(winrun "$VARNELL_BIN/corvale.exe" /ExportSettings "$file") || fail "export exit $?: $out"
[[ $out == *"The settings are exported to $file: [General] and 3 printers."* ]] ||
  fail "export text: $out"
grep -q '^\[Printer ##print01#Laser 5\]' <(tr -d '\r' <"$WORK/corvale.ini") ||
  fail "no section of the printer that is not installed: $(cat "$WORK/corvale.ini")"
grep -qx 'DeleteLogFileDays=-3' <(tr -d '\r' <"$WORK/corvale.ini") || fail "DeleteLogFileDays"
pass "export: $out"

timeout 120 wine64 reg delete "$varnell" /f >/dev/null 2>&1 || fail "reg delete"
reg_key_exists "$varnell" && fail "the settings are still there"
out=$(winrun "$VARNELL_BIN/corvale.exe" /ImportSettings "$file") || fail "import exit $?: $out"
[[ $out == *"are imported: 24 values, 3 printers."* ]] || fail "import text: $out"
reg_dump after.reg
same_registry after.reg "the registry differs after the import"
pass "import after deleting $varnell gives the same registry"

# A wrong line at the end: exit 2, the line named, nothing changed.
{ cat "$WORK/corvale.ini"; printf '[Printer Extra]\r\nPrinterName=Extra\r\nQueueDepth=many\r\n'; } \
  >"$WORK/wrong.ini"
sed -i 's/^QueueDepth=2\r$/QueueDepth=9\r/' "$WORK/wrong.ini"
lines=$(wc -l <"$WORK/wrong.ini")
status=0
out=$(winrun "$VARNELL_BIN/corvale.exe" /ImportSettings "$(winpath "$WORK/wrong.ini")") || status=$?
[ $status = 2 ] || fail "a wrong file: exit $status: $out"
[[ $out == *"Line $lines: 'QueueDepth' takes a whole number, not 'many'"* ]] || fail "text: $out"
reg_dump unchanged.reg
same_registry unchanged.reg "a wrong file changed the registry"
pass "a wrong file: exit 2, line $lines named, nothing changed"

# A wrong-typed value: the export names the printer and the key, and writes no file.
reg_import <<'REG'
[HKEY_CURRENT_USER\SOFTWARE\Varnell\Devices\Pellam_Ink]
"QueueDepth"="5"
REG
status=0
out=$(winrun "$VARNELL_BIN/corvale.exe" /ExportSettings "$(winpath "$WORK/bad.ini")") || status=$?
[ $status = 1 ] || fail "a wrong-typed value: exit $status: $out"
[[ $out == *"Invalid data type for 'QueueDepth' of printer 'Pellam_Ink' (HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Pellam_Ink)"* ]] ||
  fail "text: $out"
[ ! -e "$WORK/bad.ini" ] || fail "a file was written"
pass "a wrong-typed value: exit 1, printer and key named"

# While the window runs, an import would be undone at its close.
reg_import <<'REG'
[HKEY_CURRENT_USER\SOFTWARE\Varnell\Devices\Pellam_Ink]
"QueueDepth"=dword:00000005
REG
run_corvale
status=0
out=$(winrun "$VARNELL_BIN/corvale.exe" /ImportSettings "$file") || status=$?
[ $status = 1 ] || fail "import while Corvale runs: exit $status: $out"
[[ $out == *"Corvale runs: close it first"* ]] || fail "text: $out"
reg_dump running.reg
same_registry running.reg "the refused import changed the registry"
close_corvale
pass "import refused while Corvale runs"
