#!/usr/bin/env bash
# scripts/setup-deps.sh against a package mirror that is out of step, with no network: apt-get,
# dpkg, dpkg-query and sudo are stand-ins on PATH that record their calls and fail on request.
#   setup_deps_test.sh <project folder>
set -euo pipefail
script=$(cd "$1" && pwd)/scripts/setup-deps.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  for f in calls out; do [ -f "$work/$f" ] && { echo "--- $f" >&2; cat "$work/$f" >&2; }; done
  exit 1
}

# The release's own suite, as the script reads it.
suite=$( (. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}") || true)

mkdir -p "$work/bin"
# apt-get: "update" fails while update_failures (a count in the state folder) is above zero;
# "install" likewise with install_failures, printing what apt prints when it cannot resolve.
# A successful install marks its packages installed for dpkg-query.
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STANDIN_STATE/calls"
take_failure() {
  local n; n=$(cat "$STANDIN_STATE/$1" 2>/dev/null || echo 0)
  [ "$n" -gt 0 ] || return 1
  echo $((n - 1)) >"$STANDIN_STATE/$1"
}
case " $* " in
  *" update "*)
    if take_failure update_failures; then
      echo "E: Failed to fetch http://deb.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
      exit 100
    fi ;;
  *" install "*)
    if take_failure install_failures; then
      echo "Reading package lists..."
      echo "Some packages could not be installed."
      echo " zlib1g:i386 : Depends: libc6:i386 but it is not going to be installed"
      echo "E: Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages." >&2
      exit 100
    fi
    for a in "$@"; do
      case $a in -*|install|"$STANDIN_SUITE") ;; *) echo "$a" >>"$STANDIN_STATE/installed" ;; esac
    done ;;
esac
exit 0
EOF
cat >"$work/bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
# dpkg-query -W -f='${Status}' <package>
p=${!#}
grep -qxF "$p" "$STANDIN_STATE/installed" 2>/dev/null || exit 1
printf 'install ok installed'
EOF
cat >"$work/bin/dpkg" <<'EOF'
#!/usr/bin/env bash
echo "dpkg $*" >>"$STANDIN_STATE/calls"
[ "$1" = --print-foreign-architectures ] && cat "$STANDIN_STATE/architectures" 2>/dev/null
exit 0
EOF
cat >"$work/bin/sudo" <<'EOF'
#!/usr/bin/env bash
exec "$@"
EOF
chmod +x "$work/bin/"*

# The packages the script installs, read from its list.
mapfile -t all_packages < <(sed -n '/^packages=(/,/^)/p' "$script" | sed '1d;$d' | tr ' ' '\n' | sed '/^$/d')
[ ${#all_packages[@]} -gt 20 ] || fail "could not read the package list (${#all_packages[@]})"

# run <update failures> <install failures> [installed package...]: one run of the script from a
# fresh state; its exit code in $rc, its output in $work/out, the calls in $work/calls.
run() {
  rm -rf "$work/state" && mkdir "$work/state"
  echo "$1" >"$work/state/update_failures"
  echo "$2" >"$work/state/install_failures"
  shift 2
  printf '%s\n' "$@" >"$work/state/installed"
  : >"$work/state/calls"
  rc=0
  PATH="$work/bin:$PATH" STANDIN_STATE="$work/state" STANDIN_SUITE="$suite" SETUP_DEPS_PAUSE=0 \
    bash "$script" >"$work/out" 2>&1 || rc=$?
  cp "$work/state/calls" "$work/calls"
}
count() { grep -c -- "$1" "$work/calls" || true; }
installs() { grep '^apt-get .*install' "$work/calls" || true; }

# Everything there: apt is not called at all.
run 0 0 "${all_packages[@]}"
[ $rc = 0 ] || fail "nothing missing: exit $rc"
[ ! -s "$work/calls" ] || fail "nothing missing, yet apt or dpkg was called"

# A mirror that recovers on the second try: no message, one install.
run 1 0
[ $rc = 0 ] || fail "update failing once: exit $rc"
[ "$(count 'apt-get update')" = 2 ] || fail "update failing once: not tried exactly twice"
grep -q 'update failed' "$work/out" && fail "update failing once: reported as failed"
[ "$(installs | wc -l)" = 1 ] || fail "update failing once: not one install"
grep -q 'dpkg --add-architecture i386' "$work/calls" || fail "i386 architecture not added"

# The index never downloads: three tries, one line, and the install goes on with what apt has.
run 5 0
[ $rc = 0 ] || fail "update always failing: exit $rc"
[ "$(count 'apt-get update')" = 3 ] || fail "update always failing: not tried three times"
[ "$(grep -c 'update failed' "$work/out")" = 1 ] || fail "update failure not said in one line"
grep 'update failed' "$work/out" | grep -q 'Mirror sync in progress' ||
  fail "the update's line does not say what apt said"
[ "$(installs | wc -l)" = 1 ] || fail "update always failing: not one install"
installs | grep -q -- 'wine32:i386' || fail "update always failing: wine32:i386 not installed"
installs | grep -q -- ' -t ' && fail "a first install that worked was retried with a suite"

# The first install cannot resolve: tried once more from the release's own suite.
run 3 1
if [ -n "$suite" ]; then
  [ $rc = 0 ] || fail "suite fallback: exit $rc"
  [ "$(installs | wc -l)" = 2 ] || fail "suite fallback: not two installs"
  installs | sed -n 2p | grep -q -- "-t $suite " || fail "second install not from the suite $suite"
  installs | sed -n 2p | grep -q -- 'wine32:i386' || fail "second install lost the packages"
  [ "$(grep -c "release's own suite (-t $suite)" "$work/out")" = 1 ] ||
    fail "the suite fallback is not said in one line"
fi

# Both installs fail: a non-zero exit that names the packages still missing and apt's last words.
installed_before=()
for p in "${all_packages[@]}"; do
  case $p in wine32:i386 | libcups2:i386) ;; *) installed_before+=("$p") ;; esac
done
run 3 2 "${installed_before[@]}"
[ $rc != 0 ] || fail "both installs failing: exit 0"
grep -q 'could not install: wine32:i386 libcups2:i386$' "$work/out" ||
  fail "both installs failing: the missing packages are not named"
grep -q 'pkgProblemResolver::Resolve generated breaks' "$work/out" ||
  fail "both installs failing: apt's last lines are not shown"
installs | head -n 1 | grep -q -- 'nsis' && fail "an installed package was installed again"
echo "setup-deps: all cases passed"
