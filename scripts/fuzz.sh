#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every one of them, two at a time (one
# per core), from the seeds in fuzz/corpus/TARGET. New finds go to
# build/fuzz/corpus/TARGET (copy the interesting ones into fuzz/corpus by
# hand, or let scripts/fuzz-long.sh merge them, keeping it small); crash,
# leak, out-of-memory and time-out inputs go to build/fuzz/artifacts/TARGET/,
# the fuzzer's output to build/fuzz/TARGET.log. After each target one line:
#   FUZZ TARGET executions=N findings=N seconds=S
# Any finding, or a fuzzer that fails otherwise, fails the script once every
# target has run, with the end of that target's log shown.
#   scripts/fuzz.sh [SECONDS]   each target for SECONDS (default 30)
#   scripts/fuzz.sh --runs N    each target until it has run N inputs; the
#                               line then ends with the wall time as well
#                               (scripts/fuzz-long.sh)
#   scripts/fuzz.sh --list      the targets, one a line
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/.."

targets=(status_report_fuzz console_fuzz reply_fuzz item_file_fuzz directory_fuzz profile_fuzz
         schedule_fuzz)
parallel=2
common=(-max_len=2048 -timeout=10 -print_final_stats=1)

long=0
case "${1:-}" in
    --list)
        printf '%s\n' "${targets[@]}"
        exit 0
        ;;
    --runs)
        limit=(-runs="${2:?--runs needs a number}")
        long=1
        ;;
    "")
        limit=(-max_total_time=30)
        ;;
    *)
        limit=(-max_total_time="$1")
        ;;
esac

if [ ! -f build/fuzz/build.ninja ]; then
    CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DZELO_FUZZ=ON >/dev/null
fi
cmake --build build/fuzz -j"$parallel" --target "${targets[@]}"

# One target: runs the fuzzer, prints its FUZZ line, and exits non-zero on
# a finding or a failed run.
run_target() {
    local t=$1
    local log="build/fuzz/$t.log"
    local artifacts="build/fuzz/artifacts/$t/"
    mkdir -p "$artifacts" "build/fuzz/corpus/$t" "fuzz/corpus/$t"
    local marker
    marker=$(mktemp "build/fuzz/.start-$t.XXXXXX")
    local start rc=0
    start=$(date +%s)
    "build/fuzz/fuzz/$t" "${limit[@]}" "${common[@]}" -artifact_prefix="$artifacts" \
        "build/fuzz/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1 &
    local fuzzer=$!
    trap 'kill "$fuzzer" 2>/dev/null; exit 143' TERM
    wait "$fuzzer" || rc=$?
    local seconds=$(( $(date +%s) - start ))
    local executions findings
    executions=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -1)
    findings=$(find "$artifacts" -maxdepth 1 -type f -newer "$marker" \
        \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
    rm -f "$marker"
    local line="FUZZ $t executions=${executions:-0} findings=$findings seconds=$seconds"
    if [ "$long" = 1 ]; then
        line+=" wall=$(printf '%d:%02d:%02d' $((seconds / 3600)) $((seconds / 60 % 60)) $((seconds % 60)))"
    fi
    echo "$line"
    [ "$rc" = 0 ] && [ "$findings" = 0 ]
}

declare -A running=()  # pid -> target
failed=()
stop() {
    for pid in "${!running[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap stop EXIT

collect() {
    local pid rc=0
    wait -n -p pid || rc=$?
    local t=${running[$pid]}
    unset "running[$pid]"
    if [ "$rc" != 0 ]; then
        failed+=("$t")
        echo "== $t failed; the end of build/fuzz/$t.log:"
        tail -60 "build/fuzz/$t.log"
    fi
}

for t in "${targets[@]}"; do
    while [ "${#running[@]}" -ge "$parallel" ]; do collect; done
    run_target "$t" &
    running[$!]=$t
done
while [ "${#running[@]}" -gt 0 ]; do collect; done
trap - EXIT

if [ "${#failed[@]}" -gt 0 ]; then
    echo "fuzz: findings or failures in: ${failed[*]} (inputs in build/fuzz/artifacts/)"
    exit 1
fi
