#!/usr/bin/env bash
# The main job: Corvale serving a hot folder on a real, local printer.
# Builds the Windows programs, starts the private printers and Wine (on $DISPLAY when there is
# one, else on a virtual display), configures the printer Pellam_Ink with the hot folder
# demo/hot and the done folder demo/done, starts Corvale and presses Start.
# Drop files into demo/hot; their printed bytes land in build/wine-env/print-out/Pellam_Ink/,
# the files themselves in demo/done, and the log in demo/corvale.log.
# Ends when the Corvale window is closed (or after DEMO_SECONDS, when set).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD

scripts/setup-deps.sh
source scripts/wine-env.sh
# The 32-bit build where this machine runs 32-bit code, else the 64-bit build of the same sources.
preset=$VARNELL_WINE_PRESET
echo "demo: building the Windows programs ($preset)"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target corvale ftdwprt gui_driver prefix_tool >build/demo-build.log 2>&1 ||
  { tail -n 40 build/demo-build.log; exit 1; }

echo "demo: starting the private printers and Wine (the first start sets up a Wine prefix)"
wine_env_start --use-display
trap wine_env_stop EXIT

demo=$root/demo
mkdir -p "$demo/hot" "$demo/done"
reg() { winpath "$1" | sed 's/\\/\\\\/g'; }
cat >"$VARNELL_ENV/run/demo.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\IBM\\AFP Workbench\\Default\\Misc]
"HelpCurPath"="$(reg "$VARNELL_BIN/ftdwprt.hlp")"

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell]
"LogFile"="$(reg "$demo/corvale.log")"

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices]
"DefaultPrinter"="Pellam_Ink"

[HKEY_CURRENT_USER\\SOFTWARE\\Varnell\\Devices\\Pellam_Ink]
"PrinterName"="Pellam_Ink"
"EnableIPDSEmulation"=dword:00000001
"InputFolder"="$(reg "$demo/hot")"
"DoneFolder"="$(reg "$demo/done")"
"DeleteInputFileWhenDone"=dword:00000000
"QueueDepth"=dword:00000002
REG
timeout 300 wine64 regedit /S "$(winpath "$VARNELL_ENV/run/demo.reg")"

timeout "${DEMO_SECONDS:-86400}" wine "$VARNELL_BIN/corvale.exe" >"$VARNELL_ENV/run/corvale.out" 2>&1 &
corvale=$!
drv() { timeout 300 wine "$VARNELL_BIN/gui_driver.exe" --timeout 120000 "$@" >/dev/null 2>&1 </dev/null; }
drv wait-window Corvale
drv click Corvale 1030
cat <<TEXT

Corvale is running and serving the printer Pellam_Ink (a private CUPS queue).
  Drop a file into:        $demo/hot
  Printed bytes appear in: $VARNELL_PRINT_OUT/Pellam_Ink/job-<n>.prn
  The printed file ends in: $demo/done
  Log file:                $demo/corvale.log
Close the Corvale window (or press Ctrl+C) to end the demo.
TEXT
wait "$corvale" || true
