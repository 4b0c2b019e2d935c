#!/bin/sh
# One writer per data directory across the two builds: a native zeloctl
# listen holds its folder against zeloctl.exe under Wine, and zeloctl.exe
# listen against the native zeloctl (Wine hands a Windows file lock to the
# system as a record lock of the same byte).
#   native_lock.sh NATIVE_ZELOCTL ZELOCTL_EXE WORK
# Without a native zeloctl there is nothing to meet, and the test passes.
native=$1 exe=$2 work=$3
[ -x "$native" ] || { echo "no native zeloctl at $native"; exit 0; }
fail() { echo "native_lock: $*" >&2; exit 1; }
rm -rf "$work" && mkdir -p "$work" || fail "no work directory"
data=$work/data
"$native" --dir "$data" add-group 0 Lab >/dev/null || fail "the native zeloctl cannot make $data"
# Until the listener announces its port in FILE.
announced() {
    for _ in $(seq 1 200); do
        grep -q "listening" "$1" 2>/dev/null && return 0
        sleep 0.05
    done
    fail "no listener: $(cat "$1")"
}

"$native" --dir "$data" listen --port 0 --bind 127.0.0.1 </dev/null >/dev/null 2>"$work/native.err" &
holder=$!
announced "$work/native.err"
wine "$exe" --dir "Z:$data" add-group 0 Wine </dev/null >/dev/null 2>"$work/refused.err"
code=$?
kill -INT $holder
wait $holder
[ $code -eq 1 ] || fail "zeloctl.exe add-group beside the native listen: exit $code"
grep -q "in use by zeloctl listen (process $holder)" "$work/refused.err" ||
    fail "zeloctl.exe said: $(cat "$work/refused.err")"

wine "$exe" --dir "Z:$data" listen --port 0 --bind 127.0.0.1 --seconds 3 </dev/null >/dev/null \
    2>"$work/wine.err" &
holder=$!
announced "$work/wine.err"
"$native" --dir "$data" add-group 0 Native >/dev/null 2>"$work/refused.err"
code=$?
wait $holder
[ $code -eq 1 ] || fail "native add-group beside zeloctl.exe listen: exit $code"
grep -q "in use by zeloctl listen (process " "$work/refused.err" ||
    fail "the native zeloctl said: $(cat "$work/refused.err")"
[ "$("$native" --dir "$data" add-group 0 Native)" = 2 ] || fail "the folder stayed locked"
