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
source "$here/wine-env.sh"
zelo_in_xvfb "$0" "$@"
zelo_wine_prepare
zelo_wine_figures "$root/build/windows/bin/zelo_screen_bench.exe" "${1:-5}" "${2:-5000}"
