#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless; then the
# core tests and the window's unplug test again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and
# a short run of each fuzz target. Arguments go to the first ctest run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRY_BUILD_DIR:-$root/build}
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
(
    export QT_QPA_PLATFORM=offscreen
    export QTWEBENGINE_DISABLE_SANDBOX=1
    cd "$build"
    ctest --output-on-failure "$@"
)
bash "$root/scripts/test-sanitized.sh"
bash "$root/scripts/test-fuzz.sh"
