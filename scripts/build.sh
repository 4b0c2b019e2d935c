#!/usr/bin/env bash
# Configures and builds both builds: native (core, tests, tools) and Windows
# (core, ZELO.exe, Windows tests).
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in native windows; do
    [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
