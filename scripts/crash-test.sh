#!/usr/bin/env bash
# Power-cut test of the status station: zeloctl listen commits a storm of
# status reports from 1,000 simulated units and is killed with SIGKILL at a
# random moment, TRIALS times, each time on a fresh copy of the same data
# directory. After every kill scripts/reliability.d/check_dir.py checks that
# every file and record is still there and whole and that zeloctl reads the
# directory back.
#
#   scripts/crash-test.sh [TRIALS]        (default 5)
#
# Environment: ZELOCTL, ZELO_SIM (default: build/native), CRASH_RATE (reports
# per second round the fleet, default 5000), CRASH_SEED (random seed),
# CRASH_GROUPS / CRASH_PER_GROUP (default 10 x 100), CRASH_CHURN (outlet
# switches per second besides the reports, default 50).
#
# Last line on stdout:
#   CRASH trials=N files_lost=N records_lost=N damaged=N changed_trials=N tmp_left=N
# Exit status 1 when a file or record was lost or damaged, 2 when the test
# itself could not run.
set -u

TRIALS=${1:-5}
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
HELPERS=$ROOT/scripts/reliability.d
ZELOCTL=${ZELOCTL:-$ROOT/build/native/cli/zeloctl}
ZELO_SIM=${ZELO_SIM:-$ROOT/build/native/sim/zelo-sim}
RATE=${CRASH_RATE:-5000}
SEED=${CRASH_SEED:-$(( $(date +%s) % 32768 ))}
GROUPS_N=${CRASH_GROUPS:-10}
PER_GROUP=${CRASH_PER_GROUP:-100}
CHURN=${CRASH_CHURN:-50}

say() { echo "crash-test: $*" >&2; }
die() { say "$*"; exit 2; }

[[ $TRIALS =~ ^[0-9]+$ && $TRIALS -gt 0 ]] || die "TRIALS must be a number above 0"
for b in "$ZELOCTL" "$ZELO_SIM"; do
    [[ -x $b ]] || die "$b missing (cmake --build build/native --target zeloctl zelo-sim)"
done
command -v python3 >/dev/null || die "python3 is needed"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/zelo-crash.XXXXXX") || die "no temporary directory"
SIM_PID="" LISTEN_PID="" CHURN_PID="" KEEP=0

source "$ROOT/scripts/reliability.d/common.sh"
cleanup() {
    local rc=$?
    stop_pid "$LISTEN_PID" KILL
    stop_pid "$CHURN_PID" TERM
    stop_pid "$SIM_PID" TERM
    if [[ $KEEP -eq 0 && $rc -eq 0 ]]; then
        rm -rf "$WORK"
    else
        say "data kept in $WORK"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# ---- the data directory and its fleet, made once ----
PRISTINE=$WORK/pristine
FLEET=$WORK/units.fleet
t0=$(date +%s.%N)
python3 "$HELPERS/fleet.py" --zeloctl "$ZELOCTL" --dir "$PRISTINE" --fleet "$FLEET" \
    --groups "$GROUPS_N" --per-group "$PER_GROUP" || die "could not build the data directory"
python3 "$HELPERS/check_dir.py" --reference "$PRISTINE" --dir "$PRISTINE" --zeloctl "$ZELOCTL" \
    >/dev/null || die "zeloctl does not read the new data directory back whole"
say "data directory of $((GROUPS_N * PER_GROUP)) devices built in $(python3 -c "import time; print('%.1f' % (time.time() - $t0))") s"

# ---- the simulator, running through every trial ----
start_sim "$FLEET" --seed "$SEED"
say "zelo-sim sends $RATE reports/s to 127.0.0.1:$PORT; seed $SEED"

# ---- the trials ----
RANDOM=$SEED
files_lost=0 records_lost=0 damaged=0 changed_trials=0 tmp_left=0 reports=0
started=$(date +%s.%N)
for ((trial = 1; trial <= TRIALS; trial++)); do
    kill -0 "$SIM_PID" 2>/dev/null || die "zelo-sim ended during the trials"
    copy=$WORK/trial
    rm -rf "$copy"
    cp -a "$PRISTINE" "$copy"
    : >"$WORK/listen.out"
    "$ZELOCTL" --dir "$copy" listen --port "$PORT" --bind 127.0.0.1 \
        >"$WORK/listen.out" 2>"$WORK/listen.err" &
    LISTEN_PID=$!
    # Receiving once the first accepted report is printed.
    for _ in $(seq 1000); do
        [[ -s $WORK/listen.out ]] && break
        kill -0 "$LISTEN_PID" 2>/dev/null || break
        sleep 0.01
    done
    if [[ ! -s $WORK/listen.out ]]; then
        say "trial $trial: zeloctl listen accepted nothing: $(cat "$WORK/listen.err")"
        exit 2
    fi
    ms=$((50 + RANDOM % 1451))
    sleep "$((ms / 1000)).$(printf '%03d' $((ms % 1000)))"
    kill -KILL "$LISTEN_PID" 2>/dev/null
    wait "$LISTEN_PID" 2>/dev/null
    status=$?
    LISTEN_PID=""
    if [[ $status -ne 137 ]]; then
        say "trial $trial: zeloctl listen had ended before the kill (status $status): $(cat "$WORK/listen.err")"
        exit 2
    fi
    n=$(wc -l <"$WORK/listen.out")
    reports=$((reports + n))

    result=$(python3 "$HELPERS/check_dir.py" --reference "$PRISTINE" --dir "$copy" \
        --zeloctl "$ZELOCTL" 2>"$WORK/check.err")
    [[ $result == files_lost=* ]] || { cat "$WORK/check.err" >&2; die "the checker failed"; }
    declare -A r=()
    for kv in $result; do r[${kv%%=*}]=${kv#*=}; done
    files_lost=$((files_lost + r[files_lost]))
    records_lost=$((records_lost + r[records_lost]))
    damaged=$((damaged + r[damaged]))
    tmp_left=$((tmp_left + r[tmp_left]))
    ((r[changed_files] > 0)) && changed_trials=$((changed_trials + 1))
    say "trial $trial: killed after ${ms} ms, $n reports; $result"
    if ((r[tmp_left] > 0 && r[files_lost] + r[records_lost] + r[damaged] == 0)); then
        # The kill cut a rewrite short. The next run must take over from
        # there: two rounds of the fleet rewrite every group, so after an
        # orderly end no .TMP may be left and every file must be whole.
        "$ZELOCTL" --dir "$copy" listen --port "$PORT" --bind 127.0.0.1 \
            --count $((2 * GROUPS_N * PER_GROUP)) --seconds 30 \
            >"$WORK/again.out" 2>"$WORK/again.err"
        again=$?
        result=$(python3 "$HELPERS/check_dir.py" --reference "$PRISTINE" --dir "$copy" \
            --zeloctl "$ZELOCTL" --clean 2>"$WORK/check.err")
        checked=$?
        if [[ $again -ne 0 || $checked -ne 0 ]]; then
            say "trial $trial: the run after the kill failed (status $again): $result"
            cat "$WORK/again.err" "$WORK/check.err" >&2
            r[damaged]=$((r[damaged] + 1))
            damaged=$((damaged + 1))
        else
            say "trial $trial: the next run took over: $(wc -l <"$WORK/again.out") reports; $result"
        fi
    fi
    if ((r[files_lost] + r[records_lost] + r[damaged] > 0)); then
        sed 's/^/    /' "$WORK/check.err" >&2
        mv "$copy" "$WORK/failed-$trial"
        cp "$WORK/listen.out" "$WORK/failed-$trial.out"
        KEEP=1
    fi
done
elapsed=$(python3 -c "import time; print('%.1f' % (time.time() - $started))")
say "$TRIALS trials in $elapsed s, $reports reports accepted in all"
rm -rf "$WORK/trial"

echo "CRASH trials=$TRIALS files_lost=$files_lost records_lost=$records_lost damaged=$damaged changed_trials=$changed_trials tmp_left=$tmp_left"
((files_lost + records_lost + damaged == 0)) || exit 1
exit 0
