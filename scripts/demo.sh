#!/usr/bin/env bash
# The live demo. zelo-sim plays the fleet of sim/fleets/demo.fleet (one
# unit of every model, reporting every five seconds; a temperature alarm, a
# ping watch that trips, a unit that leaves the network now and then);
# zeloctl makes a data directory whose groups and devices point at those
# units; ZELO.exe runs over it under Wine and listens for their reports.
#   scripts/demo.sh [LANGUAGE]   (0 Japanese, the default; 1 English; 2 Esperanto)
# With a display, the program's window opens there: close it, or press
# Ctrl+C, to end the demo. Without one it runs on Xvfb, writes the
# screenshot series below to out/demo-*.png and ends. Either way it stops
# everything it started; the next run starts from a fresh data directory.
# With ZELO_DEMO_DOCS=1 the series also goes to docs/screenshots/demo-*-LANG.png,
# the pictures of the operator's guide (LANG: ja, en, eo).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
cd "$root"
lang=${1:-0}
case $lang in 0|1|2) ;; *) echo "usage: scripts/demo.sh [0|1|2]" >&2; exit 2 ;; esac

work=$root/out/demo
data=$work/data
mkdir -p "$work"

if [ -z "${ZELO_DEMO_IN_XVFB:-}" ]; then
    "$here/install-deps.sh"
    echo "== building zelo-sim and zeloctl (native), ZELO.exe (Windows)"
    build() {
        local preset=$1
        shift
        [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >"$work/build.log" 2>&1 ||
            { tail -30 "$work/build.log"; exit 1; }
        cmake --build --preset "$preset" --target "$@" >"$work/build.log" 2>&1 ||
            { tail -30 "$work/build.log"; exit 1; }
    }
    build native zelo-sim zeloctl
    build windows ZELO zelo_post_command
    if [ -z "${DISPLAY:-}" ]; then
        export ZELO_DEMO_IN_XVFB=1
        exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
    fi
fi

# ---------------------------------------------------------------- the screenshot series
# Taken when there is no display, in this order: NAME WHEN [ACTION].
# WHEN is SECONDS to wait after the previous shot (the first: after the
# main window shows), or @SECONDS after the fleet started, for the fleet's
# timed events. ACTION, when given, opens a window before the shot:
#   command:ID  the main window's menu command ID (resources/resource_ids.h),
#               posted as the menu would post it.
#   select:I,J  selects child J of child I of the root group in the tree.
#   open:ROW    opens the list's row ROW (from 0) as the Enter key does.
#   close       closes the window in front (its Cancel), back to the main one.
# Several actions run in turn when joined by '+'.
shots=(
    "main 4 select:0,0,0"     # Head office/Server room/Rack A, the first reports in
    "main-later @27"          # swd12k-web's ping watch rebooting its outlet (25-30 s)
    "control 1 open:0"        # hx7200-core's control window, read over its console
    "options 1 close+command:32782"  # Tool > Option: the listener's port
)

sim=$root/build/native/sim/zelo-sim
ctl=$root/build/native/cli/zeloctl
zelo_exe=$root/build/windows/bin/ZELO.exe
post_command=$root/build/windows/bin/zelo_post_command.exe

# A prefix of the demo's own, so that neither the demo nor the Wine tests
# end the other's programs.
export WINEPREFIX=${ZELO_DEMO_WINEPREFIX:-$root/build/wineprefix-demo}
source "$here/wine-env.sh"

sim_pid="" app_pid="" own_wineserver=0
cleanup() {
    trap - EXIT INT TERM
    if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; fi
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    if [ "$own_wineserver" = 1 ]; then wineserver -k 2>/dev/null || true; fi
    if [ -n "$app_pid" ]; then wait "$app_pid" 2>/dev/null || true; fi
    echo "demo stopped"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Whether a wineserver already serves this prefix: its socket answers.
wineserver_running() {
    python3 - "$WINEPREFIX" <<'EOF'
import os, socket, sys
st = os.stat(sys.argv[1])
path = "/tmp/.wine-%d/server-%x-%x/socket" % (os.getuid(), st.st_dev, st.st_ino)
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
try:
    s.connect(path)
except OSError:
    sys.exit(1)
EOF
}

# A UDP port nobody listens on, for the station.
free_udp_port() {
    python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("", 0)); print(s.getsockname()[1])'
}

echo "== preparing Wine"
zelo_wine_prepare
# Under Xvfb no window manager runs; on a desktop the windows belong to it.
if [ -n "${ZELO_DEMO_IN_XVFB:-}" ]; then managed=N; else managed=Y; fi
if ! wineserver_running; then
    own_wineserver=1
    wineserver -p </dev/null >/dev/null 2>&1
fi
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$managed" /f >/dev/null 2>&1

# ---------------------------------------------------------------- the fleet
station_port=$(free_udp_port)
rm -f "$work/ports"
"$sim" "$root/sim/fleets/demo.fleet" --station "127.0.0.1:$station_port" --control 0 \
    --ports-file "$work/ports" --quiet </dev/null >"$work/sim.log" 2>&1 &
sim_pid=$!
fleet_start=$(date +%s.%N)
for _ in $(seq 1 100); do
    [ -f "$work/ports" ] && break
    kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.log" >&2; exit 1; }
    sleep 0.1
done
[ -f "$work/ports" ] || { echo "demo: zelo-sim did not start" >&2; exit 1; }
control_port=$(awk '$1 == "CONTROL" { print $2 }' "$work/ports")

# What each unit is, as the simulator reports it:
#   INDEX NAME model=M port=P mac=MAC unit=U states=S [offline]
sim_control() {
    local reply
    exec 3<>"/dev/tcp/127.0.0.1/$control_port"
    printf '%s\nbye\n' "$1" >&3
    reply=$(cat <&3)
    exec 3<&-
    printf '%s\n' "$reply"
}
units=$(sim_control list | grep ' model=')

# ---------------------------------------------------------------- the data directory
# Made by zeloctl, as an operator would make it: groups, devices, and each
# device's address, console port, MAC address and unit number.
rm -rf "$data"
mkdir -p "$data"
# The settings the program reads at its start (section [Network] of
# ZELO.INI): the listener on, on the station's port.
printf '[ZELO]\r\nLanguage=%s\r\n[Network]\r\nMSRPenable=1\r\nMSRPport=%s\r\n' \
    "$lang" "$station_port" >"$data/ZELO.INI"

zeloctl() { "$ctl" --dir "$data" "$@"; }

# Where each unit stands in the outline (group path, '/' between levels).
declare -A place=(
    [hx7200-core]="Head office/Server room/Rack A"
    [swd12k-web]="Head office/Server room/Rack A"
    [swdq6m-storage]="Head office/Server room/Rack A"
    [jb81k-edge]="Head office/Server room/Rack B"
    [gv2208-lab]="Head office/Server room/Rack B"
    [swd6k-office]="Head office/Office floor"
    [swd6zk-office]="Head office/Office floor"
    [swd7ka-shop]="Branch/Shop"
    [swd7kb-shop]="Branch/Shop"
    [swd8kbn-branch]="Branch/Back office"
)
declare -A group_id=()
# Makes the group at PATH (and its parents) when missing; its id is then
# ${group_id[PATH]}. Called directly, not in $(...), which would forget it.
group() {
    local path=$1 parent="" name=$1 parent_id=0
    [ -n "${group_id[$path]+set}" ] && return 0
    if [[ $path == */* ]]; then
        parent=${path%/*} name=${path##*/}
        group "$parent"
        parent_id=${group_id[$parent]}
    fi
    group_id[$path]=$(zeloctl add-group "$parent_id" "$name")
}

echo "== data directory $data"
while read -r _ name model port mac unit _; do
    model=${model#model=} port=${port#port=} mac=${mac#mac=} unit=${unit#unit=}
    path=${place[$name]:-Other}
    group "$path"
    id=$(zeloctl add-device "${group_id[$path]}" "$model" "$name")
    fields=(address=127.0.0.1 "port=$port" "mac=$mac")
    # The older models report their unit number instead of the MAC address.
    if [ "$model" -ge 6 ] && [ "$model" -le 10 ]; then fields+=("unit=$unit"); fi
    zeloctl set "$id" "${fields[@]}"
    printf '   %-16s %-32s console 127.0.0.1:%s\n' "$name" "$path" "$port"
done <<<"$units"
cp "$zelo_exe" "$data/ZELO.exe"

# ---------------------------------------------------------------- the program
echo "== ZELO.exe listens on UDP port $station_port; zelo-sim control on 127.0.0.1:$control_port"
# Code page 932, so that the Japanese texts come out of the ANSI calls.
LC_ALL=ja_JP.UTF-8 wine "$data/ZELO.exe" </dev/null >"$work/wine.log" 2>&1 &
app_pid=$!

if [ -z "${ZELO_DEMO_IN_XVFB:-}" ]; then
    echo "   close the ZELO window or press Ctrl+C to end the demo"
    echo "   the units take commands, e.g.:"
    echo "     exec 3<>/dev/tcp/127.0.0.1/$control_port; echo 'temp swdq6m-storage 25' >&3; echo bye >&3; cat <&3"
    wait "$app_pid" || true
    app_pid=""
    exit 0
fi

wait_for_main_window() {
    for _ in $(seq 1 300); do
        xwininfo -root -tree 2>/dev/null | grep -q '"ZELO"' && return 0
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "demo: the ZELO window did not show" >&2
    return 1
}

wait_for_main_window
number=0
for shot in "${shots[@]}"; do
    read -r name when action <<<"$shot"
    if [[ $when == @* ]]; then
        # The rest of the way to that moment of the fleet's run, if any.
        when=$(python3 -c "print(max(0.0, $fleet_start + ${when#@} - $(date +%s.%N)))")
    fi
    sleep "$when"
    IFS=+ read -r -a steps <<<"${action:-}"
    for step in "${steps[@]}"; do
        case $step in
            command:* | open:*)
                before=$(zelo_window_count)
                if [[ $step == open:* ]]; then
                    args=(open "${step#open:}")
                else
                    args=("${step#command:}")
                fi
                LC_ALL=ja_JP.UTF-8 wine "$post_command" "${args[@]}" </dev/null >/dev/null 2>&1
                zelo_wait_more_windows "$before" "$step"
                sleep 1
                ;;
            select:*)
                IFS=, read -r -a path <<<"${step#select:}"
                LC_ALL=ja_JP.UTF-8 wine "$post_command" select "${path[@]}" </dev/null >/dev/null 2>&1
                sleep 1
                ;;
            close)
                LC_ALL=ja_JP.UTF-8 wine "$post_command" close </dev/null >/dev/null 2>&1
                sleep 1
                ;;
            *) echo "demo: unknown action $step" >&2; exit 1 ;;
        esac
    done
    number=$((number + 1))
    import -window root "$root/out/demo-$number-$name.png"
    echo "   screenshot out/demo-$number-$name.png"
    if [ "${ZELO_DEMO_DOCS:-0}" = 1 ]; then
        suffix=$(case $lang in 0) echo ja;; 1) echo en;; *) echo eo;; esac)
        cp "$root/out/demo-$number-$name.png" "$root/docs/screenshots/demo-$number-$name-$suffix.png"
    fi
done
