#!/usr/bin/env python3
"""Watches a running `zeloctl listen`: counts the lines it prints (one per
accepted report) from a FIFO and samples its resident memory (VmRSS) at a
fixed interval, for a given time. Then writes DONE_FILE, keeps reading until
the listener closes its output, and prints one line of figures:

  samples=N reports=N rss_start_kb=N rss_max_kb=N rss_end_kb=N growth_kb=N
  idle_intervals=N memory=ok|GROWING

rss_max_kb is the highest sample of the whole run, warm-up included.
Memory is judged after the warm-up (WARMUP seconds): rss_start_kb is the
first sample after it. It is GROWING when the highest sample of the last third
exceeds rss_start_kb by more than ALLOWANCE kB, or when the medians of the
four quarters after the warm-up rise from each quarter to the next by more
than a quarter of the allowance in all (a slow leak that stays below the
allowance within the run). idle_intervals counts sampling intervals after
the first in which no report was accepted.

usage: monitor.py --pid PID --fifo FIFO --log LOG --seconds S --done DONE_FILE
                  [--interval I] [--warmup W] [--allowance KB] [--echo]
"""

import argparse
import statistics
import sys
import threading
import time


def rss_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except (FileNotFoundError, ProcessLookupError):
        pass
    return None


def judge(samples, warmup, allowance):
    """(figures, growing) from [(elapsed, rss)] samples."""
    after = [rss for t, rss in samples if t >= warmup]
    if len(after) < 4:
        after = [rss for _, rss in samples[len(samples) // 2:]]
    start, end = after[0], after[-1]
    last_third = after[len(after) - max(1, len(after) // 3):]
    growing = max(last_third) > start + allowance
    q = len(after) // 4
    if q >= 1:
        medians = [statistics.median(after[i * q:(i + 1) * q]) for i in range(4)]
        rising = all(b > a for a, b in zip(medians, medians[1:]))
        if rising and medians[-1] - medians[0] > allowance / 4:
            growing = True
    return (start, max(rss for _, rss in samples), end, end - start), growing


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--pid", type=int, required=True)
    ap.add_argument("--fifo", required=True)
    ap.add_argument("--log", required=True)
    ap.add_argument("--seconds", type=float, required=True)
    ap.add_argument("--done", required=True)
    ap.add_argument("--interval", type=float, default=2)
    ap.add_argument("--warmup", type=float, default=10)
    ap.add_argument("--allowance", type=int, default=2048)
    ap.add_argument("--echo", action="store_true", help="every sample on stderr as well")
    a = ap.parse_args()

    lines = [0]
    closed = threading.Event()

    def read():
        with open(a.fifo, "rb") as f:
            for _ in f:
                lines[0] += 1
        closed.set()

    threading.Thread(target=read, daemon=True).start()

    samples = []
    idle = 0
    start = time.monotonic()
    last_lines = 0
    with open(a.log, "w") as log:
        log.write("# seconds vmrss_kb reports_total reports_in_interval\n")
        k = 1
        while True:
            due = start + k * a.interval
            if due > start + a.seconds + 1e-6:
                break
            time.sleep(max(0.0, due - time.monotonic()))
            rss = rss_kb(a.pid)
            if rss is None:
                log.write("# the listener is gone\n")
                break
            total = lines[0]
            delta = total - last_lines
            last_lines = total
            if k > 1 and delta == 0:
                idle += 1
            t = k * a.interval
            samples.append((t, rss))
            row = "%.1f %d %d %d" % (t, rss, total, delta)
            log.write(row + "\n")
            log.flush()
            if a.echo:
                print("rss " + row, file=sys.stderr, flush=True)
            k += 1
    with open(a.done, "w"):
        pass
    closed.wait()
    if not samples:
        print("samples=0 reports=%d rss_start_kb=0 rss_max_kb=0 rss_end_kb=0 growth_kb=0 "
              "idle_intervals=0 memory=GROWING" % lines[0])
        return 1
    (rs, rm, re_, growth), growing = judge(samples, a.warmup, a.allowance)
    print("samples=%d reports=%d rss_start_kb=%d rss_max_kb=%d rss_end_kb=%d growth_kb=%d "
          "idle_intervals=%d memory=%s" % (len(samples), lines[0], rs, rm, re_, growth, idle,
                                           "GROWING" if growing else "ok"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
