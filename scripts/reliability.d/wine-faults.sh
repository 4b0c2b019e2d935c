#!/usr/bin/env bash
# The desktop program's fault rows: zelo_win_fault_tests.exe (the program's
# windows driven through their controls) under Wine on a virtual display of
# its own, with a zelo-sim for the device that drops. Builds what is missing
# of the Windows build and prepares the Wine prefix first. Prints the test
# program's output, whose WINFAULT lines are the rows.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/scripts/wine-env.sh"
zelo_in_xvfb "$0" "$@"
cd "$root"

program=build/windows/bin/zelo_win_fault_tests.exe
if [ ! -f build/windows/build.ninja ]; then
    cmake --preset windows >/dev/null || exit 2
fi
cmake --build --preset windows --target zelo_win_fault_tests ZELO >/dev/null || exit 2

source "$here/common.sh"
sim_dir=$root/build/reliability/wine-sim
mkdir -p "$sim_dir"
rm -f "$sim_dir/ports.txt"
build/native/sim/zelo-sim "$here/wine.fleet" --control 0 --ports-file "$sim_dir/ports.txt" --quiet \
    </dev/null >"$sim_dir/sim.log" 2>&1 &
sim=$!
for _ in $(seq 1 100); do
    grep -q '^CONTROL ' "$sim_dir/ports.txt" 2>/dev/null && break
    sleep 0.1
done

zelo_wine_prepare
status=0
ZELO_SIM_PORTS=$sim_dir/ports.txt zelo_wine_figures "$program" || status=$?
stop_pid "$sim" TERM
exit $status
