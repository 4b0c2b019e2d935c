#!/usr/bin/env bash
# Screenshots of the device control window (each page) over a framed device
# on zelo-sim, and of the property dialog, in Japanese and in English, into
# docs/screenshots/ (or OUT_DIR):
#   scripts/screenshots-device.sh [OUT_DIR]
# Needs build/native's zelo-sim and build/windows' zelo_device_window.exe.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out=${1:-$root/docs/screenshots}
ZELO_ROOT=$root
source "$here/wine-env.sh"
zelo_in_xvfb "$0" "$@"
source "$here/sim-unit.sh"
zelo_wine_prepare
mkdir -p "$out"
tool=$root/build/windows/bin/zelo_device_window.exe
wineserver -p </dev/null >/dev/null 2>&1
sim_unit_start 3 8
trap 'sim_unit_stop; wineserver -k >/dev/null 2>&1 || true' EXIT

# shot NAME WINDOW-PATTERN ARGS...
shot() {
    local name=$1 pattern=$2
    shift 2
    zelo_wait_window '"ZELO"' gone
    LC_ALL=ja_JP.UTF-8 wine "$tool" "$@" </dev/null >/dev/null 2>&1 &
    local app=$!
    zelo_wait_window "$pattern"
    sleep 2  # drawn, on a busy machine too
    import -window root "$out/$name.png"
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    echo "screenshot: $out/$name.png"
}

for lang in 0 1; do
    suffix=$([ "$lang" = 0 ] && echo ja || echo en)
    page=0
    for tab in power report info; do
        shot "control-$tab-$suffix" "127.0.0.1:$SIM_PORT" show "$SIM_PORT" 3 "$page" "$lang"
        page=$((page + 1))
    done
    shot "property-$suffix" '"ZELO"' property "$SIM_PORT" 3 "$lang"
    # The user-login layout: user name row, password below it, system name.
    shot "property-gv2208-$suffix" '"ZELO"' property "$SIM_PORT" 13 "$lang"
done
