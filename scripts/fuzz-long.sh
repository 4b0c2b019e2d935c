#!/usr/bin/env bash
# The long fuzz run: every target until it has run EXECUTIONS inputs
# (default 10,000,000), two at a time, printing the FUZZ lines of
# scripts/fuzz.sh with the wall time added. Afterwards the inputs found in
# build/fuzz/corpus/TARGET that add coverage to the committed seeds are
# merged into fuzz/corpus/TARGET, but only while the seeds stay small (at
# most 40 files and 64 KB a target); otherwise the seeds are left as they
# are and the line says so.
#   scripts/fuzz-long.sh [EXECUTIONS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/.."
runs=${1:-10000000}
max_files=40
max_bytes=65536

status=0
"$here/fuzz.sh" --runs "$runs" || status=$?

for t in $("$here/fuzz.sh" --list); do
    [ -d "build/fuzz/corpus/$t" ] || continue
    merged=$(mktemp -d "build/fuzz/merge-$t.XXXXXX")
    cp -a "fuzz/corpus/$t/." "$merged/"
    before=$(find "$merged" -type f | wc -l)
    if ! "build/fuzz/fuzz/$t" -merge=1 -max_len=2048 -timeout=10 \
        -artifact_prefix="build/fuzz/artifacts/$t/" "$merged" "build/fuzz/corpus/$t" \
        >"build/fuzz/$t.merge.log" 2>&1; then
        echo "MERGE $t failed; the end of build/fuzz/$t.merge.log:"
        tail -20 "build/fuzz/$t.merge.log"
        rm -rf "$merged"
        status=1
        continue
    fi
    files=$(find "$merged" -type f | wc -l)
    bytes=$(find "$merged" -type f -printf '%s\n' | awk '{ n += $1 } END { print n + 0 }')
    added=$((files - before))
    if [ "$added" = 0 ]; then
        echo "MERGE $t added=0 files=$files bytes=$bytes"
    elif [ "$files" -le "$max_files" ] && [ "$bytes" -le "$max_bytes" ]; then
        cp -n "$merged"/* "fuzz/corpus/$t/"
        echo "MERGE $t added=$added files=$files bytes=$bytes"
    else
        echo "MERGE $t added=0 files=$before (the $added new inputs would make $files files," \
             "$bytes bytes: over $max_files files or $max_bytes bytes, seeds left as they are)"
    fi
    rm -rf "$merged"
done
exit "$status"
