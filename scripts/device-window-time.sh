#!/usr/bin/env bash
# The control window of a framed device on zelo-sim, shown and filled,
# against the login and readout alone (figures, not a test):
#   scripts/device-window-time.sh [ROUNDS] [MODEL] [OUTLETS]
# Needs build/native's zelo-sim and build/windows' zelo_device_window.exe.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
ZELO_ROOT=$root
source "$here/wine-env.sh"
zelo_in_xvfb "$0" "$@"
source "$here/sim-unit.sh"
zelo_wine_prepare
wineserver -p </dev/null >/dev/null 2>&1
sim_unit_start "${2:-3}" "${3:-8}"
trap 'sim_unit_stop; wineserver -k >/dev/null 2>&1 || true' EXIT
wine "$root/build/windows/bin/zelo_device_window.exe" time "$SIM_PORT" "${2:-3}" "${1:-10}" </dev/null
