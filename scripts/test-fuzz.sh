#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in ./build-fuzz (or
# $FERRY_FUZZ_BUILD_DIR), replays each kept corpus (tests/fuzz/corpus/<name>,
# CTest tests fuzz_<name>_corpus) and then fuzzes each target for
# $FERRY_FUZZ_SECONDS seconds (20 by default) into a scratch corpus in the
# build folder. Any crash, sanitizer report, time-out, memory blow-up or leak
# fails the run; the input that caused it is left in <build>/fuzz-findings.
# Extra arguments go to cmake's configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRY_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FERRY_FUZZ_SECONDS:-20}
targets=(vcard agent adb olddb)

bash "$root/scripts/install-deps.sh"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DFERRY_FUZZ=ON "${launcher[@]}" "$@" >/dev/null
# Only the fuzz targets and the code they compile themselves, never the program.
cmake --build "$build" --target ferry_fuzz_targets -j"$(nproc)"

(cd "$build" && ctest -L fuzz --output-on-failure)

findings="$build/fuzz-findings"
mkdir -p "$findings"
failed=()
for name in "${targets[@]}"; do
    scratch="$build/fuzz-scratch/$name"
    rm -rf "$scratch"
    mkdir -p "$scratch"
    echo "== fuzz_$name for ${seconds}s"
    if ! "$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$findings/$name-" \
            "$scratch" "$root/tests/fuzz/corpus/$name" >"$build/fuzz-$name.log" 2>&1; then
        tail -n 60 "$build/fuzz-$name.log"
        failed+=("$name")
    else
        grep -E '^stat::number_of_executed_units|^Done ' "$build/fuzz-$name.log" || true
    fi
done

passed=$(( ${#targets[@]} - ${#failed[@]} ))
echo "fuzz: ${passed} passed, ${#failed[@]} failed"
if [ ${#failed[@]} -gt 0 ]; then
    echo "findings in $findings: ${failed[*]}"
    exit 1
fi
