#!/bin/sh
# Starts or stops the simulated devices that the window tests under Wine talk
# to (a Windows program cannot start a Linux one):
#   sim_fixture.sh start DIR ZELO_SIM FLEET    writes DIR/ports.txt
#   sim_fixture.sh stop DIR
# Without a native zelo-sim nothing starts and the tests that need it skip.
dir=$2
case $1 in
start)
    mkdir -p "$dir"
    rm -f "$dir/ports.txt"
    [ -x "$3" ] || { echo "no zelo-sim at $3: the device window tests skip"; exit 0; }
    setsid "$3" "$4" --control 0 --ports-file "$dir/ports.txt" --quiet \
        </dev/null >"$dir/sim.log" 2>&1 &
    echo $! >"$dir/sim.pid"
    for _ in $(seq 1 100); do
        [ -s "$dir/ports.txt" ] && exit 0
        sleep 0.1
    done
    echo "zelo-sim did not start" >&2
    exit 1
    ;;
stop)
    [ -f "$dir/sim.pid" ] && kill "$(cat "$dir/sim.pid")" 2>/dev/null
    rm -f "$dir/sim.pid" "$dir/ports.txt"
    exit 0
    ;;
esac
exit 2
