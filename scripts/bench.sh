#!/usr/bin/env bash
# Prints the benchmark figures: scan and intake cost natively (release build), and, with
# `scripts/bench.sh wine`, Corvale end to end under Wine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup-deps.sh
if [ "${1:-native}" = native ]; then
  cmake --preset native -B build/bench -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/bench --target corvale_intake_bench >build/bench-build.log 2>&1 ||
    { tail -n 40 build/bench-build.log; exit 1; }
  build/bench/tests/bench/corvale_intake_bench
else
  source scripts/wine-env.sh
  cmake --preset "$VARNELL_WINE_PRESET" >/dev/null
  cmake --build --preset "$VARNELL_WINE_PRESET" >build/bench-wine-build.log 2>&1 ||
    { tail -n 40 build/bench-wine-build.log; exit 1; }
  wine_env_start
  trap wine_env_stop EXIT
  VARNELL_TEST_WORK=$PWD/build/bench-wine bash tests/bench/wine_bench.sh
fi
