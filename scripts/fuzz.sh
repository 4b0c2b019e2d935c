#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for SECONDS (default 30) from
# the seeds in fuzz/corpus/TARGET; new finds go to build/fuzz/corpus/TARGET
# (copy the interesting ones into fuzz/corpus by hand, keeping it small).
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/.."
seconds=${1:-30}
targets=(status_report_fuzz console_fuzz)
if [ ! -f build/fuzz/build.ninja ]; then
    CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DZELO_FUZZ=ON >/dev/null
fi
cmake --build build/fuzz --target "${targets[@]}"
for t in "${targets[@]}"; do
    mkdir -p "fuzz/corpus/$t" "build/fuzz/corpus/$t"
    echo "== $t for ${seconds}s"
    log="build/fuzz/$t.log"
    if ! "build/fuzz/fuzz/$t" -max_total_time="$seconds" -max_len=2048 -print_final_stats=1 \
        "build/fuzz/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1; then
        tail -60 "$log"
        exit 1
    fi
    grep -E 'stat::(number_of_executed_units|new_units_added)' "$log" || true
done
