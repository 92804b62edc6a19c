# corvale.exe under Wine: values of the administrator's policy key in HKLM (the 64-bit view) show
# in the window with their controls greyed and the status text, and closing leaves the user's own
# values in HKCU as they were; a machine-wide default fills in what the user has not set and is
# saved for the user.
source "$VARNELL_SOURCE/tests/wine/lib.sh"

policy='HKLM\SOFTWARE\Policies\Varnell\Corvale'
defaults='HKLM\SOFTWARE\Varnell\Corvale\Defaults'
user='HKCU\SOFTWARE\Varnell'
cleanup_keys() {
  for key in "$policy" "$defaults" "$user"; do
    timeout 120 wine64 reg delete "$key" /f /reg:64 >/dev/null 2>&1 || true
  done
}
cleanup_keys
trap cleanup_keys EXIT

reg_import <<REG
[HKEY_CURRENT_USER\\SOFTWARE\\Varnell]
"LogFile"="$(reg_path "$WORK/user.log")"

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Dorrow_Laser]
"PrinterName"="Dorrow_Laser"
"QueueDepth"=dword:00000003
REG
policy_log=$(winpath "$WORK/policy.log")
timeout 300 wine64 reg add "$policy" /v LogFile /t REG_SZ /d "$policy_log" /f /reg:64 >/dev/null ||
  fail "reg add LogFile"
timeout 300 wine64 reg add "$policy\\Devices" /v DefaultPrinter /t REG_SZ /d Dorrow_Laser /f \
  /reg:64 >/dev/null || fail "reg add DefaultPrinter"
timeout 300 wine64 reg add "$policy\\Devices\\Dorrow_Laser" /v QueueDepth /t REG_DWORD /d 7 /f \
  /reg:64 >/dev/null || fail "reg add QueueDepth"
timeout 300 wine64 reg add "$defaults" /v KeepLogFileSize /t REG_DWORD /d 9 /f /reg:64 \
  >/dev/null || fail "reg add KeepLogFileSize"

run_corvale
[ "$(drv get-text Corvale 1002)" = Dorrow_Laser ] || fail "the policy's printer is not shown"
[ "$(drv get-text Corvale 1021)" = "$policy_log" ] ||
  fail "log file box: $(drv get-text Corvale 1021)"
[ "$(drv get-text Corvale 1016)" = 7 ] || fail "queue depth: $(drv get-text Corvale 1016)"
[ "$(drv get-text Corvale 1024)" = 9 ] || fail "MB box (a default): $(drv get-text Corvale 1024)"
for control in 1021 1022 1016; do
  [ "$(drv enabled Corvale $control)" = 0 ] || fail "control $control is not greyed"
done
for control in 1017 1009 1023; do
  [ "$(drv enabled Corvale $control)" = 1 ] || fail "control $control is greyed"
done
status=$(drv status-text Corvale)
expected="Set by your administrator: LogFile, DefaultPrinter; for Dorrow_Laser: QueueDepth (greyed; your own values are kept)"
[ "$status" = "$expected" ] || fail "status text: $status"
pass "policy values shown greyed with the status text; the default shown"

close_corvale
[ "$(reg_value "$user" LogFile)" = "$(winpath "$WORK/user.log")" ] ||
  fail "the user's log file was overwritten: $(reg_value "$user" LogFile)"
[ "$(reg_value "$user\\Devices\\Dorrow_Laser" QueueDepth)" = 0x3 ] ||
  fail "the user's queue depth was overwritten"
[ -z "$(reg_value "$user\\Devices" DefaultPrinter)" ] || fail "the policy's DefaultPrinter was saved"
[ "$(reg_value "$user" KeepLogFileSize)" = 0x9 ] || fail "the default was not saved for the user"
[ "$(reg_value "$policy" LogFile)" = "$policy_log" ] || fail "the policy key changed"
pass "closing keeps the user's own values, saves the default, leaves the policy"

run_corvale
[ "$(drv get-text Corvale 1021)" = "$policy_log" ] || fail "the policy did not survive a close"
close_corvale
pass "the policy holds at the next start"
