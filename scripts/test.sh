#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native presets (plain, ASan+UBSan,
# TSan) and the Windows preset, runs the native unit tests of each, then the Win32 layer tests
# and the end-to-end tests under Wine.
#   scripts/test.sh                 everything
#   scripts/test.sh native          only the plain native build and its tests
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/setup-deps.sh

run_preset() {
  local preset=$1
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >"build/$preset-build.log" 2>&1 ||
    { tail -n 60 "build/$preset-build.log"; return 1; }
  echo "== $preset: tests"
  ctest --preset "$preset" -j"$(nproc)"
}

only=${1:-all}
status=0
run_preset native || status=1
if [ "$only" = all ]; then
  run_preset asan || status=1
  run_preset tsan || status=1
  source scripts/wine-env.sh
  trap wine_env_stop EXIT
  echo "tests under Wine: $VARNELL_WINE_BUILD"
  # The 32-bit programs we ship are always built; the tests under Wine run the build that this
  # machine can run (see wine-env.sh).
  builds=(windows)
  [ "$VARNELL_WINE_PRESET" = windows ] || builds+=("$VARNELL_WINE_PRESET")
  for preset in "${builds[@]}"; do
    echo "== $preset: configure and build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >"build/$preset-build.log" 2>&1 ||
      { tail -n 60 "build/$preset-build.log"; status=1; }
  done
  wine_env_start
  # The Windows tests share one prefix, one CUPS server and one display: they run one by one.
  echo "== $VARNELL_WINE_PRESET: tests under Wine"
  ctest --preset "$VARNELL_WINE_PRESET" || status=1
fi
exit $status
