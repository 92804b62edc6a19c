#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine: compilers for Linux and for
# 32-bit Windows, GoogleTest, Wine (32-bit side included), Xvfb, a CUPS server and the help
# compiler (chmcmd, in fp-utils).
# Idempotent: does nothing when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build git nsis
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

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
export DEBIAN_FRONTEND=noninteractive
updated=0
install() {
  echo "setup-deps: installing $*" >&2
  dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  [ $updated = 1 ] || { as_root apt-get update -qq >/dev/null; updated=1; }
  as_root apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

[ ${#missing[@]} -eq 0 ] || install "${missing[@]}"
