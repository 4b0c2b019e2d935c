#!/usr/bin/env bash
# Runs the Windows build's tests under Wine with a private prefix. Expects a
# display (scripts/test.sh gives it one).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/.."
source "$here/wine-env.sh"
zelo_wine_prepare
# A running wineserver keeps Wine's start-up short; it holds no pipe of ours.
wineserver -p </dev/null >/dev/null 2>&1
status=0
ctest --preset windows </dev/null || status=$?
wineserver -k >/dev/null 2>&1 || true
exit $status
