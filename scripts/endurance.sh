#!/usr/bin/env bash
# Endurance test of the status station: zeloctl listen runs SECONDS against
# 1,000 simulated units reporting at a steady rate (and a few outlets
# switched by hand on them). Its resident memory is sampled throughout and
# must level off after the warm-up; reports must be accepted in every
# sampling interval. Then it is stopped with SIGINT, started once more and
# stopped with SIGTERM: each time it must exit with status 0 within a few
# seconds and leave every file whole (scripts/reliability.d/check_dir.py,
# with no .TMP file left).
#
#   scripts/endurance.sh [SECONDS]        (default 60)
#
# Environment: ZELOCTL, ZELO_SIM (default: build/native), ENDURANCE_RATE
# (reports per second round the fleet, default 1000), ENDURANCE_CHURN (outlet
# switches per second, default 5), ENDURANCE_SAMPLE (seconds between memory
# samples; default 2, or 5 above 300 s), ENDURANCE_ALLOWANCE_KB (default
# 2048), ENDURANCE_LOG (keep the samples in this file too).
#
# Memory criterion (reliability.d/monitor.py): after a warm-up of 10 s or a
# tenth of the run, whichever is longer, the highest sample of the last
# third may exceed the first sample after the warm-up by at most the
# allowance, and the quarter medians after the warm-up may not rise
# throughout by more than a quarter of it.
#
# Last line on stdout:
#   ENDURANCE seconds=S reports=N rss_start_kb=N rss_max_kb=N rss_end_kb=N growth_kb=N
#             sigint=clean|FAILED sigterm=clean|FAILED
# Exit status 1 when a check failed, 2 when the test itself could not run.
set -u

SECONDS_RUN=${1:-60}
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
HELPERS=$ROOT/scripts/reliability.d
ZELOCTL=${ZELOCTL:-$ROOT/build/native/cli/zeloctl}
ZELO_SIM=${ZELO_SIM:-$ROOT/build/native/sim/zelo-sim}
RATE=${ENDURANCE_RATE:-1000}
CHURN=${ENDURANCE_CHURN:-5}
ALLOWANCE=${ENDURANCE_ALLOWANCE_KB:-2048}
STOP_LIMIT=5  # seconds an orderly stop may take

say() { echo "endurance: $*" >&2; }
die() { say "$*"; exit 2; }

[[ $SECONDS_RUN =~ ^[0-9]+$ && $SECONDS_RUN -ge 20 ]] || die "SECONDS must be a number, at least 20"
for b in "$ZELOCTL" "$ZELO_SIM"; do
    [[ -x $b ]] || die "$b missing (cmake --build build/native --target zeloctl zelo-sim)"
done
command -v python3 >/dev/null || die "python3 is needed"
if [[ -n ${ENDURANCE_SAMPLE:-} ]]; then
    SAMPLE=$ENDURANCE_SAMPLE
elif ((SECONDS_RUN > 300)); then
    SAMPLE=5
else
    SAMPLE=2
fi
WARMUP=$((SECONDS_RUN / 10 > 10 ? SECONDS_RUN / 10 : 10))

WORK=$(mktemp -d "${TMPDIR:-/tmp}/zelo-endurance.XXXXXX") || die "no temporary directory"
SIM_PID="" LISTEN_PID="" CHURN_PID="" MON_PID="" FAILED=0

source "$ROOT/scripts/reliability.d/common.sh"
cleanup() {
    local rc=$?
    stop_pid "$LISTEN_PID" KILL
    stop_pid "$MON_PID" TERM
    stop_pid "$CHURN_PID" TERM
    stop_pid "$SIM_PID" TERM
    if [[ -n ${ENDURANCE_LOG:-} && -f $WORK/rss.log ]]; then
        cp "$WORK/rss.log" "$ENDURANCE_LOG"
    fi
    if [[ $FAILED -eq 0 && $rc -eq 0 ]]; then
        rm -rf "$WORK"
    else
        say "data kept in $WORK"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

now() { date +%s.%N; }
since() { python3 -c "import sys; print('%.2f' % ($(now) - $1))"; }

# orderly_stop PID SIGNAL: sends the signal and waits up to STOP_LIMIT
# seconds; STOPPED is "clean" when the process exited by itself with status
# 0, else FAILED (and it is killed). Not for $(...): the wait needs this shell.
orderly_stop() {
    local pid=$1 sig=$2 t0 status
    t0=$(now)
    STOPPED=FAILED
    kill "-$sig" "$pid" 2>/dev/null
    for _ in $(seq $((STOP_LIMIT * 20))); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    if kill -0 "$pid" 2>/dev/null; then
        say "SIG$sig: still running after $STOP_LIMIT s"
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        return
    fi
    wait "$pid"
    status=$?
    say "SIG$sig: exited with status $status after $(since "$t0") s"
    [[ $status -eq 0 ]] && STOPPED=clean
}

check_files() {  # check_files LABEL: the data directory whole, no .TMP left
    local out
    out=$(python3 "$HELPERS/check_dir.py" --reference "$PRISTINE" --dir "$DATA" \
        --zeloctl "$ZELOCTL" --clean 2>"$WORK/check.err")
    local rc=$?
    say "$1: $out"
    if [[ $rc -ne 0 ]]; then
        sed 's/^/    /' "$WORK/check.err" >&2
        return 1
    fi
    return 0
}

# ---- the data directory, the simulator and the churn ----
PRISTINE=$WORK/pristine
DATA=$WORK/data
python3 "$HELPERS/fleet.py" --zeloctl "$ZELOCTL" --dir "$PRISTINE" --fleet "$WORK/units.fleet" ||
    die "could not build the data directory"
cp -a "$PRISTINE" "$DATA"
start_sim "$WORK/units.fleet"
say "1000 units send $RATE reports/s to 127.0.0.1:$PORT for $SECONDS_RUN s;" \
    "memory sampled every $SAMPLE s, warm-up $WARMUP s, allowance $ALLOWANCE kB"

# ---- the long run ----
mkfifo "$WORK/listen.fifo" || die "no FIFO"
"$ZELOCTL" --dir "$DATA" listen --port "$PORT" --bind 127.0.0.1 \
    >"$WORK/listen.fifo" 2>"$WORK/listen.err" &
LISTEN_PID=$!
python3 "$HELPERS/monitor.py" --pid "$LISTEN_PID" --fifo "$WORK/listen.fifo" \
    --log "$WORK/rss.log" --seconds "$SECONDS_RUN" --done "$WORK/sampled" --interval "$SAMPLE" \
    --warmup "$WARMUP" --allowance "$ALLOWANCE" --echo >"$WORK/monitor.out" &
MON_PID=$!
while [[ ! -e $WORK/sampled ]]; do
    if ! kill -0 "$LISTEN_PID" 2>/dev/null; then
        wait "$LISTEN_PID"
        say "zeloctl listen ended by itself (status $?): $(cat "$WORK/listen.err")"
        FAILED=1
        break
    fi
    sleep 0.2
done
sigint=FAILED
if [[ $FAILED -eq 0 ]]; then
    orderly_stop "$LISTEN_PID" INT
    sigint=$STOPPED
fi
LISTEN_PID=""
wait "$MON_PID"
MON_PID=""
declare -A m=()
read -ra figures <"$WORK/monitor.out"
for kv in "${figures[@]}"; do m[${kv%%=*}]=${kv#*=}; done
[[ -n ${m[reports]:-} ]] || die "the monitor gave no figures"
say "memory ${m[memory]}; ${m[reports]} reports; ${m[idle_intervals]} intervals without a report"
[[ $sigint == clean ]] && { check_files "after SIGINT" || sigint=FAILED; }

# ---- a short run stopped with SIGTERM ----
sigterm=FAILED
"$ZELOCTL" --dir "$DATA" listen --port "$PORT" --bind 127.0.0.1 \
    >"$WORK/listen2.out" 2>"$WORK/listen2.err" &
LISTEN_PID=$!
for _ in $(seq 500); do
    [[ -s $WORK/listen2.out ]] && break
    kill -0 "$LISTEN_PID" 2>/dev/null || break
    sleep 0.02
done
if [[ -s $WORK/listen2.out ]]; then
    sleep 2
    orderly_stop "$LISTEN_PID" TERM
    sigterm=$STOPPED
    say "second run: $(wc -l <"$WORK/listen2.out") reports"
    [[ $sigterm == clean ]] && { check_files "after SIGTERM" || sigterm=FAILED; }
else
    say "second run accepted nothing: $(cat "$WORK/listen2.err")"
fi
LISTEN_PID=""

[[ ${m[memory]} == ok && ${m[idle_intervals]} -eq 0 && ${m[reports]} -gt 0 && $sigint == clean &&
    $sigterm == clean ]] || FAILED=1
echo "ENDURANCE seconds=$SECONDS_RUN reports=${m[reports]} rss_start_kb=${m[rss_start_kb]}" \
    "rss_max_kb=${m[rss_max_kb]} rss_end_kb=${m[rss_end_kb]} growth_kb=${m[growth_kb]}" \
    "sigint=$sigint sigterm=$sigterm"
((FAILED == 0)) || exit 1
exit 0
