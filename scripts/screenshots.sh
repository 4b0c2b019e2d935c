#!/usr/bin/env bash
# Screenshots of the main window, the options dialog and the about box, in
# Japanese and in English, into docs/screenshots/ (or OUT_DIR). The program
# runs over the sample directory (scripts/sample_directory.py), with the
# columns widened as an operator would leave them; the main window shows
# the first rack's devices.
#   scripts/screenshots.sh [OUT_DIR]
# Needs the Windows build of ZELO and zelo_post_command
# (ninja -C build/windows ZELO zelo_post_command). Runs its own Xvfb.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out=${1:-$root/docs/screenshots}

source "$here/wine-env.sh"
zelo_in_xvfb "$0" "$@"
zelo_wine_prepare
bin=$root/build/windows/bin
mkdir -p "$out"
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
cp "$bin/ZELO.exe" "$data/ZELO.exe"
wineserver -p </dev/null >/dev/null 2>&1

# shot LANGUAGE NAME [COMMAND | select POSITION...]
shot() {
    local lang=$1 name=$2 command=${3:-}
    # A fresh start each time: the sample directory, a 1000 x 600 window,
    # the listener off.
    find "$data" -mindepth 1 ! -name ZELO.exe -delete
    python3 "$here/sample_directory.py" "$data" --language "$lang" \
        $([ "$lang" = 0 ] || echo --english) \
        --zelo 'Position=0 600 1 1001\nColumnWidth=110 90 110 105 125 50 55 45 80' --extra '[Network]\nMSRPenable=0'
    # Code page 932, so that the Japanese texts come out of the ANSI calls.
    LC_ALL=ja_JP.UTF-8 wine "$data/ZELO.exe" </dev/null >/dev/null 2>&1 &
    local app=$!
    zelo_wait_window '"ZELO"'
    if [ "$command" = select ]; then
        sleep 0.5
        shift 3
        LC_ALL=ja_JP.UTF-8 wine "$bin/zelo_post_command.exe" select "$@" </dev/null >/dev/null 2>&1
    elif [ -n "$command" ]; then
        sleep 0.5
        local before
        before=$(zelo_window_count)
        LC_ALL=ja_JP.UTF-8 wine "$bin/zelo_post_command.exe" "$command" </dev/null >/dev/null 2>&1
        zelo_wait_more_windows "$before"
    fi
    sleep 1
    import -window root "$out/$name.png"
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    echo "screenshot: $out/$name.png"
}

for lang in 0 1; do
    suffix=$([ "$lang" = 0 ] && echo ja || echo en)
    shot "$lang" "main-window-$suffix" select 0 0
    shot "$lang" "options-$suffix" 32782
    shot "$lang" "about-$suffix" 32783
done
wineserver -k >/dev/null 2>&1 || true
