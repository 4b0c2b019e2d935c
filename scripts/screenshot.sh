#!/usr/bin/env bash
# Starts ZELO.exe from DATA_DIR (a copy of the program is placed there, as
# the program keeps its files beside itself), waits for its main window,
# takes a screenshot of the screen and ends the program.
#   scripts/screenshot.sh DATA_DIR OUT.png [LANGUAGE]
# LANGUAGE (0 Japanese, 1 English, 2 Esperanto) is written to ZELO.INI
# before the start when given. Runs its own Xvfb when there is no display.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
data=$1 out=$2 lang=${3:-}

source "$here/wine-env.sh"
[ -n "${DISPLAY:-}" ] || zelo_in_xvfb "$0" "$@"
zelo_wine_prepare
mkdir -p "$data"
cp "$root/build/windows/bin/ZELO.exe" "$data/ZELO.exe"
if [ -n "$lang" ]; then
    printf '[ZELO]\r\nLanguage=%s\r\n' "$lang" > "$data/ZELO.INI"
fi
# Code page 932 so that the Japanese texts come out of the ANSI calls.
LC_ALL=ja_JP.UTF-8 wine "$data/ZELO.exe" </dev/null >/dev/null 2>&1 &
app=$!
for _ in $(seq 1 100); do
    if xwininfo -root -tree 2>/dev/null | grep -q '"ZELO"'; then break; fi
    sleep 0.2
done
sleep 1
import -window root "$out"
kill "$app" 2>/dev/null || true
wineserver -k 2>/dev/null || true
echo "screenshot: $out"
