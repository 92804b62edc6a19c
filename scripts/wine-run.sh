#!/usr/bin/env bash
# Runs one Windows program under Wine in the private environment (the emulator of the Windows
# build's unit tests).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
wine_env_start
exec timeout 600 wine "$@"
