#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRY_BUILD_DIR:-$root/build}
if [ "${1:-}" = "--demo" ]; then
    shift
    exec bash "$root/scripts/demo.sh" "$@"
fi
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
# The web engine's sandbox cannot run as root.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$build/ferrywright" "$@"
