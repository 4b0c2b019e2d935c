#!/usr/bin/env python3
"""Switches random outlets of a running zelo-sim through its control socket,
so the station keeps seeing changed states (and writes event log lines)
besides the steady reports. Runs until the simulator goes away or it gets
SIGTERM/SIGINT.

usage: churn.py PORTS_FILE [--rate N]
  PORTS_FILE  the simulator's --ports-file (NAME PORT MODEL lines, CONTROL PORT)
  --rate N    outlet switches per second (default 50)
"""

import argparse
import random
import signal
import socket
import sys
import time


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("ports_file")
    ap.add_argument("--rate", type=float, default=50)
    ap.add_argument("--seed", type=int)
    a = ap.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    signal.signal(signal.SIGINT, lambda *_: sys.exit(0))

    units, control = [], None
    with open(a.ports_file) as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 2 and parts[0] == "CONTROL":
                control = int(parts[1])
            elif len(parts) >= 3:
                units.append(parts[0])
    if control is None or not units:
        sys.exit("churn.py: no control port or no units in " + a.ports_file)
    rng = random.Random(a.seed)
    sock = socket.create_connection(("127.0.0.1", control))
    reader = sock.makefile("rb")
    period = 1.0 / a.rate if a.rate > 0 else 1.0
    next_at = time.monotonic()
    sent = 0
    try:
        while True:
            # Outlets 1-3: every model has at least three.
            cmd = "outlet %s %d %s\n" % (rng.choice(units), rng.randint(1, 3),
                                         rng.choice(("on", "off")))
            sock.sendall(cmd.encode())
            while True:
                reply = reader.readline()
                if not reply:
                    return 0  # the simulator stopped
                if reply.startswith(b"OK") or reply.startswith(b"ERR"):
                    break
            sent += 1
            next_at += period
            pause = next_at - time.monotonic()
            if pause > 0:
                time.sleep(pause)
            else:
                next_at = time.monotonic()
    except (BrokenPipeError, ConnectionResetError):
        return 0
    finally:
        print("churn: %d outlet switches" % sent, file=sys.stderr)


if __name__ == "__main__":
    sys.exit(main())
