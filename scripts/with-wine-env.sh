#!/usr/bin/env bash
# Runs a command inside the private Wine environment, starting it when it is not running.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
wine_env_start
exec "$@"
