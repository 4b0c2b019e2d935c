# Shell pieces shared by crash-test.sh and endurance.sh (sourced).

stop_pid() {  # stop_pid PID SIGNAL: signal it and reap it, if it is still ours
    local pid=$1
    [[ -n $pid ]] || return 0
    kill "-$2" "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}

free_udp_port() {  # a UDP port on 127.0.0.1 that nobody holds right now
    python3 -c 'import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}

# start_sim FLEET [CHURN_ARGS...]: zelo-sim sends the fleet's reports at
# $RATE a second to a free UDP port of 127.0.0.1 (set in PORT), each unit
# answering on its control port from 30000 (listed in $WORK/ports); with
# CHURN not 0 churn.py drops and restores units meanwhile. Sets SIM_PID and
# CHURN_PID; needs ZELO_SIM, HELPERS, WORK, RATE and die.
start_sim() {
    local fleet=$1
    shift
    PORT=$(free_udp_port) || die "no free UDP port"
    "$ZELO_SIM" "$fleet" --station "127.0.0.1:$PORT" --rate "$RATE" --bind 127.0.0.1 \
        --control 0 --port-base 30000 --quiet --ports-file "$WORK/ports" >"$WORK/sim.out" 2>&1 &
    SIM_PID=$!
    for _ in $(seq 1000); do
        [[ -s $WORK/ports ]] && break
        kill -0 "$SIM_PID" 2>/dev/null || die "zelo-sim ended: $(tail -3 "$WORK/sim.out")"
        sleep 0.01
    done
    [[ -s $WORK/ports ]] || die "zelo-sim did not come up"
    if [[ $CHURN != 0 ]]; then
        python3 "$HELPERS/churn.py" "$WORK/ports" --rate "$CHURN" "$@" 2>"$WORK/churn.err" &
        CHURN_PID=$!
    fi
}
