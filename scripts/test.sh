#!/usr/bin/env bash
# The whole check: install what is missing, build both builds, run the
# native tests, the Debian package (installed, run, purged), the same tests
# again under AddressSanitizer and UndefinedBehaviorSanitizer, the
# reliability checks (fuzzing, crash trials, write faults, hostile devices, a
# short endurance run), then the Windows tests under Wine on a virtual
# display.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/.."

"$here/install-deps.sh"
echo "== folders as floors"
"$here/check-layers"
echo "== the sources as clang-format writes them"
"$here/check-format"
"$here/build.sh"

echo "== native tests (the hostile-device cases run with the reliability checks)"
ctest --preset native --parallel 2 -LE hostile

echo "== the Debian package: installed, run and purged"
"$here/package-test.sh"

echo "== native tests under AddressSanitizer and UndefinedBehaviorSanitizer"
[ -f build/asan/build.ninja ] || cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan --parallel 2

echo "== reliability checks"
"$here/reliability"

echo "== Windows tests under Wine"
exec xvfb-run -a -s "-screen 0 1024x768x24" "$here/wine-ctest.sh"
