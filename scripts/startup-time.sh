#!/usr/bin/env bash
# Prints ZELO.exe's time to its main window under Wine, over an empty data
# directory and over 10,000 devices in 1,000 groups. Figures only, nothing is
# judged. Needs: ninja -C build/windows zelo_startup_time
#   scripts/startup-time.sh [RUNS]
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
wine "$root/build/windows/bin/zelo_startup_time.exe" "${1:-3}" </dev/null || status=$?
wineserver -k >/dev/null 2>&1 || true
exit $status
