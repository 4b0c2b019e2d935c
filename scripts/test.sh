#!/usr/bin/env bash
# The whole check: install what is missing, build both builds, run the
# native tests, then the Windows tests under Wine on a virtual display.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/.."

"$here/install-deps.sh"
"$here/build.sh"

echo "== native tests"
ctest --preset native --parallel 2

echo "== fuzz targets (clang, ASan + UBSan), a short run each"
"$here/fuzz.sh" 20

echo "== Windows tests under Wine"
exec xvfb-run -a -s "-screen 0 1024x768x24" "$here/wine-ctest.sh"
