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
