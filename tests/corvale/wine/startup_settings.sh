# corvale.exe under Wine: the printer list, the settings written at close, the job store
# folder, and a remembered printer selected at the next start.
source "$VARNELL_SOURCE/tests/wine/lib.sh"

timeout 120 wine64 reg delete 'HKCU\SOFTWARE\Varnell' /f >/dev/null 2>&1 || true
rm -rf "$VARNELL_BIN/JobStore"

run_corvale
drv combo-items Corvale 1002 >"$WORK/printers.txt"
import -window root "$WORK/corvale.png" 2>/dev/null || true
grep -qx Dorrow_Laser "$WORK/printers.txt" || fail "Dorrow_Laser not listed: $(cat "$WORK/printers.txt")"
grep -qx Pellam_Ink "$WORK/printers.txt" || fail "Pellam_Ink not listed"
grep -qx "Office Laser 2" "$WORK/printers.txt" || fail "Office Laser 2 not listed"
grep -qix Varnell "$WORK/printers.txt" && fail "Varnell must not get a slot"
grep -qix "AFP Printer" "$WORK/printers.txt" && fail "AFP Printer must not get a slot"
first=$(head -n1 "$WORK/printers.txt")
[ "$(drv get-text Corvale 1002)" = "$first" ] || fail "the first printer is not selected"
[ "$(drv get-text Corvale 1021)" = "$(winpath "$VARNELL_BIN")\\Varnell.log" ] ||
  fail "log file box: $(drv get-text Corvale 1021)"
pass "printer list without Varnell and AFP Printer, first selected"
close_corvale

devices='HKCU\SOFTWARE\Varnell\Devices'
while read -r printer; do
  [ "$(reg_value "$devices\\$printer" PrinterName)" = "$printer" ] ||
    fail "no settings key for $printer"
  [ "$(reg_value "$devices\\$printer" QueueDepth)" = 0x1 ] || fail "QueueDepth of $printer"
done <"$WORK/printers.txt"
reg_key_exists "$devices\\Varnell" && fail "a key was written for Varnell"
reg_key_exists "$devices\\AFP Printer" && fail "a key was written for AFP Printer"
[ "$(reg_value "$devices" DefaultPrinter)" = "$first" ] || fail "DefaultPrinter not saved"
[ "$(reg_value 'HKCU\SOFTWARE\Varnell' KeepLogFileSize)" = 0xa ] || fail "KeepLogFileSize"
[ -d "$VARNELL_BIN/JobStore" ] || fail "no JobStore folder beside the program"
pass "settings saved for every listed printer; JobStore created"

reg_import <<REG
[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices]
"DefaultPrinter"="pellam_ink"

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Pellam_Ink]
"PrinterName"="Pellam_Ink"
"EnableIPDSEmulation"=dword:00000001
"InputFolder"="$(reg_path "$WORK/hot")"
"QueueDepth"=dword:00000003
REG
run_corvale
[ "$(drv get-text Corvale 1002)" = Pellam_Ink ] || fail "the remembered printer is not selected"
[ "$(drv get-check Corvale 1003)" = 1 ] || fail "emulation of the remembered printer not shown"
[ "$(drv get-text Corvale 1009)" = "$(winpath "$WORK/hot")" ] || fail "input folder not shown"
[ "$(drv get-text Corvale 1016)" = 3 ] || fail "queue depth not shown"
pass "the stored DefaultPrinter is selected with its slot shown"
close_corvale
