#!/usr/bin/env bash
# The main job: builds ZELO.exe when needed, starts it under Wine on a fresh
# data directory (on a virtual display when there is none) and leaves a
# screenshot of its main window.
#   scripts/run.sh [LANGUAGE]   (0 Japanese, the default; 1 English; 2 Esperanto)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/.."
"$here/install-deps.sh"
[ -f build/windows/build.ninja ] || cmake --preset windows >/dev/null
cmake --build --preset windows --target ZELO >/dev/null
mkdir -p out
data=$(mktemp -d "$PWD/out/data-XXXXXX")
"$here/screenshot.sh" "$data" out/zelo.png "${1:-}"
echo "data directory: $data"
