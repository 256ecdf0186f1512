#!/usr/bin/env bash
# Configures and builds the program, its tools and its tests in ./build
# (or $FERRY_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRY_BUILD_DIR:-$root/build}
# A compiler cache, keyed on paths inside the tree, makes building a fresh
# clone of an already built tree cheap.
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
