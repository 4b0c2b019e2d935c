#!/usr/bin/env bash
# Prints ZELO.exe's time to its main window under Wine, over an empty data
# directory and over 10,000 devices in 1,000 groups. Figures only, nothing is
# judged. Needs: ninja -C build/windows zelo_startup_time
#   scripts/startup-time.sh [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/wine-env.sh"
zelo_in_xvfb "$0" "$@"
zelo_wine_prepare
zelo_wine_figures "$root/build/windows/bin/zelo_startup_time.exe" "${1:-3}"
