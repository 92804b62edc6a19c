#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine: compilers for Linux and for
# 32-bit Windows, GoogleTest, Wine (32-bit side included), Xvfb, a CUPS server, the help
# compiler (chmcmd, in fp-utils) and the makers of the setup packages (makensis, wixl, and
# msitools to finish the MSI package).
# Idempotent: does nothing when everything is already there.
# A package mirror caught mid-sync is survived: the index update is tried a few times and then
# used as it is, and an install that the half-updated indexes cannot resolve (newer security
# versions on one architecture than on the other) is tried again from the release's own suite.
#   SETUP_DEPS_PAUSE   seconds between two tries of the index update (default 5)
set -euo pipefail

packages=(
  build-essential cmake ninja-build git nsis wixl msitools
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev
  wine wine32:i386 wine64 libwine:i386 fonts-wine
  libcups2:i386 libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386
  libxinerama1:i386 libxcomposite1:i386 libxfixes3:i386
  xvfb x11-utils cups-daemon cups-client imagemagick procps
  fp-utils
)
update_tries=3
pause=${SETUP_DEPS_PAUSE:-5}

say() { echo "setup-deps: $*" >&2; }
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
export DEBIAN_FRONTEND=noninteractive

# The packages of the list that are not installed.
missing_packages() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

apt_log=$(mktemp)
trap 'rm -f "$apt_log"' EXIT

# apt-get update, tried again while some index fails to download; what apt has is used after
# the last try.
update_indexes() {
  local try
  for ((try = 1; try <= update_tries; try++)); do
    as_root apt-get update -qq >"$apt_log" 2>&1 && return 0
    [ "$try" = "$update_tries" ] || sleep "$pause"
  done
  say "apt-get update failed $update_tries times ($(grep -m1 '^E:' "$apt_log" || tail -n 1 "$apt_log")); going on with the package indexes apt has"
}

install_packages() {
  as_root apt-get install -y -qq --no-install-recommends "$@" >"$apt_log" 2>&1
}

# The release's own suite (bookworm, say), or nothing when the system does not name it.
release_suite() {
  (
    # shellcheck disable=SC1091
    [ -r /etc/os-release ] && . /etc/os-release && echo "${VERSION_CODENAME:-}"
  ) || true
}

mapfile -t missing < <(missing_packages)
[ ${#missing[@]} -eq 0 ] && exit 0

say "installing ${missing[*]}"
dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
update_indexes
install_packages "${missing[@]}" && exit 0

suite=$(release_suite)
if [ -n "$suite" ]; then
  say "the install failed ($(grep -m1 '^E:' "$apt_log" || tail -n 1 "$apt_log")); trying again with the release's own suite (-t $suite)"
  install_packages -t "$suite" "${missing[@]}" && exit 0
fi

mapfile -t still_missing < <(missing_packages)
say "could not install: ${still_missing[*]:-${missing[*]}}"
say "the last lines apt printed:"
tail -n 12 "$apt_log" | sed 's/^/  /' >&2
exit 1
