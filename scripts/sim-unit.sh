# Sourced by the device window scripts: starts zelo-sim with one unit and
# sets SIM_PORT to its console port; sim_unit_stop ends it.
#   sim_unit_start MODEL [OUTLETS]
sim_unit_start() {
    local sim=$ZELO_ROOT/build/native/sim/zelo-sim
    [ -x "$sim" ] || { echo "needs the native zelo-sim (ninja -C build/native zelo-sim)" >&2; return 1; }
    SIM_DIR=$(mktemp -d)
    printf 'interval = 0\nlayout = none\n[unit]\nmodel = %s\noutlets = %s\nnames = Web,Mail,Files,Backup,Router,Switch,NAS,Spare\n' \
        "$1" "${2:-4}" >"$SIM_DIR/unit.fleet"
    "$sim" "$SIM_DIR/unit.fleet" --ports-file "$SIM_DIR/ports.txt" --quiet </dev/null >/dev/null 2>&1 &
    SIM_PID=$!
    for _ in $(seq 1 100); do
        [ -s "$SIM_DIR/ports.txt" ] && break
        sleep 0.1
    done
    SIM_PORT=$(awk '$1 == "unit" { print $2 }' "$SIM_DIR/ports.txt")
    [ -n "$SIM_PORT" ]
}
sim_unit_stop() {
    kill "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
    rm -rf "$SIM_DIR"
}
