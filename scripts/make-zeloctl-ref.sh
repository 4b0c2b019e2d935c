#!/usr/bin/env bash
# Writes docs/zeloctl.md, the zeloctl reference, from the program's own help:
# `zeloctl --help`, then `zeloctl COMMAND --help` for every command it lists.
#   scripts/make-zeloctl-ref.sh [OUTPUT]         (default: docs/zeloctl.md)
#   scripts/make-zeloctl-ref.sh --check OUTPUT   writes OUTPUT and fails, showing
#                                                the difference, when it is not
#                                                the committed docs/zeloctl.md
# ZELOCTL names the program; by default build/native/cli/zeloctl, built first
# when it is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
committed=$root/docs/zeloctl.md

check=0
if [ "${1:-}" = --check ]; then
    check=1
    shift
    [ $# -eq 1 ] || { echo "usage: $0 --check OUTPUT" >&2; exit 2; }
fi
out=${1:-$committed}

if [ -n "${ZELOCTL:-}" ]; then
    zeloctl=$ZELOCTL
else
    zeloctl=$root/build/native/cli/zeloctl
    if [ ! -x "$zeloctl" ]; then
        (cd "$root" && { [ -f build/native/build.ninja ] || cmake --preset native >/dev/null; } &&
            ninja -C build/native -j2 zeloctl >/dev/null)
    fi
fi

export LC_ALL=C
# The command names: the first word of each line of the "commands:" block.
commands=$("$zeloctl" --help | sed -n '/^commands:$/,/^$/p' | awk 'NF && $1 != "commands:" { print $1 }')
[ -n "$commands" ] || { echo "$0: no commands in '$zeloctl --help'" >&2; exit 1; }

tmp=$(mktemp "${out}.XXXXXX")
trap 'rm -f "$tmp"' EXIT
{
    echo "# zeloctl reference"
    echo
    echo "\`zeloctl\` is ZELO's command-line front end: it works on the same data"
    echo "directory, devices and logs as ZELO.exe (see the [operator's guide](guide.md))."
    echo "This page is the program's own help, written by \`scripts/make-zeloctl-ref.sh\`;"
    echo "the test \`zeloctl_reference_current\` fails when the page and the program differ."
    echo
    echo "## zeloctl --help"
    echo
    echo '```'
    "$zeloctl" --help
    echo '```'
    for c in $commands; do
        echo
        echo "## zeloctl $c"
        echo
        echo '```'
        "$zeloctl" "$c" --help
        echo '```'
    done
} >"$tmp"
mv "$tmp" "$out"
trap - EXIT

if [ "$check" = 1 ] && ! diff -u "$committed" "$out"; then
    echo "docs/zeloctl.md differs from zeloctl's help: run scripts/make-zeloctl-ref.sh" >&2
    exit 1
fi
