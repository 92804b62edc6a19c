# Sourced by the scripts that run our Windows programs: a private Wine prefix, a private CUPS
# server whose printers write every job to a file, and a virtual display, all inside the build
# tree. Touches neither the machine's CUPS configuration nor the user's own Wine prefix.
#
#   source scripts/wine-env.sh; wine_env_start [--use-display]; ...; wine_env_stop
#
# Printers: CUPS queues "Varnell", "Dorrow_Laser" (the CUPS default) and "Pellam_Ink", each job
# landing as $VARNELL_PRINT_OUT/<queue>/job-<id>.prn; Wine-local printers "AFP Printer" and
# "Office Laser 2" on file ports $VARNELL_PRINT_OUT/<name>.prn (CUPS refuses names with spaces).

VARNELL_SOURCE=${VARNELL_SOURCE:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
VARNELL_ENV=${VARNELL_ENV:-$VARNELL_SOURCE/build/wine-env}

# Which build runs under Wine here. We ship 32-bit programs; on a host that runs only 64-bit user
# code (i386 programs get ENOEXEC) Wine's 32-bit side cannot run natively, and under QEMU's
# user-mode emulation it is far too slow to use, so there the 64-bit build of the same sources
# runs instead. Sets VARNELL_WINE_PRESET ("windows" or "windows64") and VARNELL_WINE_BUILD, the
# choice in words, unless the caller chose the preset already.
_choose_wine_build() {
  local emulator=/proc/sys/fs/binfmt_misc/qemu-i386
  if [ -f "$emulator" ] && grep -qx enabled "$emulator"; then
    # An emulator registered for i386 programs would run Wine's 32-bit side, far too slowly, and
    # hide whether this machine runs 32-bit code itself. It is the machine's own setting: only a
    # CI run, on a machine of its own, turns it off.
    if [ "${CI:-}" = true ] && [ -w "$emulator" ]; then
      echo "wine-env: CI: turning off the qemu-i386 emulator registered in binfmt_misc" >&2
      echo 0 >"$emulator"
    else
      echo "wine-env: 32-bit programs run here under the qemu-i386 emulator (binfmt_misc)," \
        "far too slowly for Wine: using the 64-bit build. To test the 32-bit build, turn the" \
        "emulator off (echo 0 > $emulator) or run with CI=true." >&2
      VARNELL_WINE_PRESET=windows64
      VARNELL_WINE_BUILD="64-bit build, because 32-bit code runs here only under an emulator"
      return 0
    fi
  fi
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    VARNELL_WINE_PRESET=windows
    VARNELL_WINE_BUILD="32-bit build"
  else
    VARNELL_WINE_PRESET=windows64
    VARNELL_WINE_BUILD="64-bit build, because this machine does not run 32-bit code"
  fi
}
if [ -z "${VARNELL_WINE_PRESET:-}" ]; then
  _choose_wine_build
elif [ -z "${VARNELL_WINE_BUILD:-}" ]; then
  case $VARNELL_WINE_PRESET in
    windows) VARNELL_WINE_BUILD="32-bit build" ;;
    *) VARNELL_WINE_BUILD="64-bit build, as VARNELL_WINE_PRESET asks" ;;
  esac
fi
export VARNELL_WINE_PRESET VARNELL_WINE_BUILD
VARNELL_BIN=${VARNELL_BIN:-$VARNELL_SOURCE/build/$VARNELL_WINE_PRESET/bin}
VARNELL_PRINT_OUT=$VARNELL_ENV/print-out
export VARNELL_SOURCE VARNELL_BIN VARNELL_ENV VARNELL_PRINT_OUT

export WINEPREFIX=$VARNELL_ENV/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export CUPS_SERVER=$VARNELL_ENV/cups/run/cups.sock
export PATH="$PATH:/usr/lib/wine"
if [ "$VARNELL_WINE_PRESET" = windows64 ]; then
  # `wine` starts the 64-bit loader directly; the 32-bit one cannot run here.
  mkdir -p "$VARNELL_ENV/shim"
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$VARNELL_ENV/shim/wine"
  chmod 755 "$VARNELL_ENV/shim/wine"
  export WINELOADER=/usr/lib/wine/wine64
  case ":$PATH:" in *":$VARNELL_ENV/shim:"*) ;; *) export PATH="$VARNELL_ENV/shim:$PATH" ;; esac
fi

varnell_cups_queues=(Varnell Dorrow_Laser Pellam_Ink)
varnell_local_printers=("AFP Printer" "Office Laser 2")

# Windows form of a Linux path: /a/b -> Z:\a\b
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

_pid_alive() { [ -s "$1" ] && kill -0 "$(cat "$1")" 2>/dev/null; }

_start_display() {
  local run=$VARNELL_ENV/run
  if [ "${1:-}" = --use-display ] && [ -n "${DISPLAY:-}" ]; then return 0; fi
  if ! _pid_alive "$run/xvfb.pid"; then
    rm -f "$run/xvfb.display"
    exec 9>"$run/xvfb.display"
    Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp >"$run/xvfb.log" 2>&1 &
    echo $! >"$run/xvfb.pid"
    exec 9>&-
    for _ in $(seq 200); do [ -s "$run/xvfb.display" ] && break; sleep 0.05; done
  fi
  export DISPLAY=":$(head -n1 "$run/xvfb.display")"
}

_write_cups_config() {
  local c=$VARNELL_ENV/cups
  mkdir -p "$c"/{etc,run,cache,spool/tmp,log,serverbin/filter,serverbin/backend} "$VARNELL_PRINT_OUT"
  chmod 755 "$VARNELL_ENV" "$c"
  chown root:lp "$c/spool" 2>/dev/null || true
  chmod 770 "$c/spool"
  chmod 1777 "$VARNELL_PRINT_OUT"
  cat >"$c/etc/cupsd.conf" <<CONF
Listen $c/run/cups.sock
Browsing No
LogLevel warn
MaxLogSize 0
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow localhost
</Location>
<Location /admin>
  Order allow,deny
  Allow localhost
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
  cat >"$c/etc/cups-files.conf" <<CONF
FileDevice Yes
ServerRoot $c/etc
StateDir $c/run
CacheDir $c/cache
RequestRoot $c/spool
TempDir $c/spool/tmp
ErrorLog $c/log/error_log
AccessLog $c/log/access_log
PageLog $c/log/page_log
Printcap $c/run/printcap
ServerBin $c/serverbin
DataDir /usr/share/cups
User lp
Group lp
SystemGroup root lpadmin
CONF
  for d in daemon notifier; do ln -sfn "/usr/lib/cups/$d" "$c/serverbin/$d"; done
  for b in /usr/lib/cups/backend/*; do ln -sfn "$b" "$c/serverbin/backend/"; done
  # A raw queue on a file:// device prints nothing in CUPS 2.4; this backend writes each job
  # to <dir>/job-<id>.prn, renamed into place when complete.
  cat >"$c/serverbin/backend/varnellfile" <<'BACKEND'
#!/bin/sh
if [ $# -eq 0 ]; then echo 'direct varnellfile "Unknown" "Job to file"'; exit 0; fi
umask 022
dir="${DEVICE_URI#varnellfile:}"
mkdir -p "$dir" || exit 1
tmp="$dir/.job-$1.tmp"
if [ -n "$6" ]; then cat "$6" > "$tmp" || exit 1; else cat > "$tmp" || exit 1; fi
printf 'job=%s\nuser=%s\ntitle=%s\n' "$1" "$2" "$3" > "$dir/job-$1.meta" || exit 1
mv -f "$tmp" "$dir/job-$1.prn" || exit 1
exit 0
BACKEND
  chmod 755 "$c/serverbin" "$c/serverbin/backend" "$c/serverbin/backend/varnellfile"
}

_start_cups() {
  local run=$VARNELL_ENV/run c=$VARNELL_ENV/cups
  if _pid_alive "$run/cupsd.pid"; then return 0; fi
  _write_cups_config
  cupsd -f -c "$c/etc/cupsd.conf" -s "$c/etc/cups-files.conf" >"$c/log/cupsd.stdout" 2>&1 &
  echo $! >"$run/cupsd.pid"
  # `lpstat -r` exits with 0 whether the scheduler runs or not: only its text tells. Until
  # cupsd listens on its socket, every lpadmin fails ("Unable to connect to server").
  local ready=0
  for _ in $(seq 400); do
    if [ -S "$c/run/cups.sock" ] && LC_ALL=C lpstat -r 2>/dev/null | grep -qx 'scheduler is running'; then
      ready=1
      break
    fi
    _pid_alive "$run/cupsd.pid" || break
    sleep 0.05
  done
  if [ $ready = 0 ]; then
    echo "wine-env: the private CUPS server did not start; see $c/log/cupsd.stdout and" \
      "$c/log/error_log" >&2
    return 1
  fi
  local q
  for q in "${varnell_cups_queues[@]}"; do
    lpstat -p "$q" >/dev/null 2>&1 ||
      lpadmin -p "$q" -D "$q" -E -v "varnellfile:$VARNELL_PRINT_OUT/$q" -m raw 2>&1 |
        grep -v deprecated >&2 || true
  done
  lpadmin -d Dorrow_Laser >/dev/null 2>&1 || true
}

# Wine's own fonts (Tahoma, MS Sans Serif, Marlett for the title bar's buttons...) in the
# prefix's Fonts folder. Debian's Wine 8 never loads them from its data folder, so without this
# every window gets a stand-in font and its title bar buttons show the letters "0 1 r".
# Links only what is missing; a prefix made before keeps whatever it has.
wine_prefix_fonts() {
  local fonts=$WINEPREFIX/drive_c/windows/Fonts font
  [ -d /usr/share/wine/fonts ] || return 0
  mkdir -p "$fonts"
  for font in /usr/share/wine/fonts/*; do
    [ -e "$fonts/${font##*/}" ] || ln -s "$font" "$fonts/${font##*/}"
  done
}

# Sets up a new prefix at $WINEPREFIX for unattended runs: no crash dialog (a crash would hang
# the run behind it) and windows not managed (each would take seconds to close on Xvfb). Waits
# until Wine has finished. Returns wineboot's status.
wine_prefix_init() {
  mkdir -p "$WINEPREFIX"
  local status=0 reg=$WINEPREFIX/unattended.reg
  # The 64-bit loader sets the prefix up natively; only its 32-bit half may need emulation.
  timeout 900 wine64 wineboot -i >/dev/null 2>&1 || status=$?
  wine_prefix_fonts
  cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG
  timeout 300 wine64 regedit /S "$(winpath "$reg")" >/dev/null 2>&1
  timeout 300 wineserver -w
  return $status
}

_create_prefix() {
  if [ -f "$WINEPREFIX/system.reg" ] && [ -f "$VARNELL_ENV/run/prefix.ready" ]; then
    wine_prefix_fonts
    return 0
  fi
  wine_prefix_init || true
  touch "$VARNELL_ENV/run/prefix.ready"
}

# Wine-local printers on file ports, made once per prefix by our prefix tool.
_add_local_printers() {
  local marker=$VARNELL_ENV/run/local-printers.ready tool=$VARNELL_BIN/prefix_tool.exe
  [ -f "$marker" ] && return 0
  if [ ! -f "$tool" ]; then
    echo "wine-env: $tool not built yet; Wine-local printers not added" >&2
    return 0
  fi
  local p ok=1
  for p in "${varnell_local_printers[@]}"; do
    timeout 300 wine "$tool" addprinter "$p" "$(winpath "$VARNELL_PRINT_OUT/$p.prn")" Dorrow_Laser \
      >>"$VARNELL_ENV/run/prefix_tool.log" 2>&1 || ok=0
  done
  [ $ok = 1 ] && touch "$marker"
}

wine_env_start() {
  mkdir -p "$VARNELL_ENV/run" "$VARNELL_PRINT_OUT"
  (
    flock 8
    _start_display "${1:-}"
    _start_cups
    _create_prefix
    _add_local_printers
    flock -u 8  # children such as wineserver keep the descriptor; release the lock itself
  ) 8>"$VARNELL_ENV/run/start.lock"
  _start_display "${1:-}"
}

wine_env_stop() {
  local run=$VARNELL_ENV/run
  timeout 30 wineserver -k 2>/dev/null || true
  local f
  for f in "$run/cupsd.pid" "$run/xvfb.pid"; do
    if _pid_alive "$f"; then kill "$(cat "$f")" 2>/dev/null || true; fi
    rm -f "$f"
  done
}
