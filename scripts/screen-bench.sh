#!/usr/bin/env bash
# Prints the main screen's figures under Wine: switching the list to a group
# of 50 and of 5,000 devices, and how soon the window's thread answers a
# posted message while 1,000 status reports a second arrive for the shown
# group of 5,000. Figures only, nothing is judged.
# Needs: ninja -C build/windows zelo_screen_bench
#   scripts/screen-bench.sh [SECONDS [PLAIN-ROWS]]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
if [ -z "${ZELO_IN_XVFB:-}" ]; then
    export ZELO_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
source "$here/wine-env.sh"
zelo_wine_prepare
wineserver -p </dev/null >/dev/null 2>&1
status=0
wine "$root/build/windows/bin/zelo_screen_bench.exe" "${1:-5}" "${2:-5000}" </dev/null || status=$?
wineserver -k >/dev/null 2>&1 || true
exit $status
