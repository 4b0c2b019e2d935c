#!/usr/bin/env bash
# The Debian package as an operator installs it: builds
# zelo-station_<version>_amd64.deb, installs it with apt-get (its declared
# dependencies must be enough), runs the installed zeloctl --help and, as the
# zelo user over /var/lib/zelo, listen with metrics for a few seconds, then
# purges it. Needs root (or sudo); the machine's own zelo-station, when one
# is installed, is left alone and the test is skipped. Everything it
# installs is removed again, also when a check fails.
#
#   scripts/package-test.sh            (after scripts/build.sh)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
export DEBIAN_FRONTEND=noninteractive

say() { echo "package-test: $*" >&2; }
fail() { say "FAILED: $*"; exit 1; }

if dpkg-query -W -f='${Status}' zelo-station 2>/dev/null | grep -q 'install ok'; then
    say "zelo-station is installed on this machine: not touched, test skipped"
    exit 0
fi

cmake --build --preset native --target package >/dev/null
debs=("$root"/build/native/package/zelo-station_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single zelo-station_*_amd64.deb in build/native/package"
deb=${debs[0]}

work=$(mktemp -d "${TMPDIR:-/tmp}/zelo-package.XXXXXX")
had_user=0
getent passwd zelo >/dev/null && had_user=1
listen_pid=""
cleanup() {
    local rc=$?
    [ -n "$listen_pid" ] && kill "$listen_pid" 2>/dev/null && wait "$listen_pid" 2>/dev/null
    $sudo apt-get purge -y -q zelo-station >>"$work/apt.log" 2>&1 || true
    if [ $had_user -eq 0 ] && getent passwd zelo >/dev/null; then
        $sudo userdel zelo 2>/dev/null || true
    fi
    [ $rc -ne 0 ] && [ -f "$work/apt.log" ] && tail -20 "$work/apt.log" >&2
    rm -rf "$work"
    exit $rc
}
trap cleanup EXIT INT TERM

say "installing $(basename "$deb")"
# apt-get takes a local file when its path names a directory (./ or /...).
$sudo apt-get install -y -q --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
    fail "apt-get install"

ctl=/usr/bin/zeloctl
[ -x "$ctl" ] && [ -x /usr/bin/zelo-sim ] || fail "programs missing in /usr/bin"
"$ctl" --help >"$work/help.txt" || fail "zeloctl --help exited $?"
grep -q '^usage: zeloctl' "$work/help.txt" || fail "zeloctl --help printed no usage"
/usr/bin/zelo-sim --help >/dev/null || fail "zelo-sim --help"
for f in /lib/systemd/system/zelo-station.service /etc/default/zelo-station \
    /usr/share/doc/zelo-station/zeloctl.md; do
    [ -f "$f" ] || fail "$f missing"
done
[ "$(stat -c %a /etc/default/zelo-station)" = 600 ] || fail "/etc/default/zelo-station readable by others"
getent passwd zelo >/dev/null || fail "no zelo user"
[ "$(stat -c %U:%G /var/lib/zelo)" = zelo:zelo ] || fail "/var/lib/zelo not owned by zelo"
if command -v systemd-analyze >/dev/null; then
    systemd-analyze verify /lib/systemd/system/zelo-station.service >"$work/verify.txt" 2>&1 ||
        { cat "$work/verify.txt" >&2; fail "systemd-analyze verify"; }
fi

# The service's command line, as the zelo user, for a few seconds.
say "running the installed zeloctl listen as zelo"
$sudo runuser -u zelo -- "$ctl" --dir /var/lib/zelo listen --port 0 --bind 127.0.0.1 \
    --metrics 127.0.0.1:0 --seconds 4 >"$work/listen.out" 2>"$work/listen.err" &
listen_pid=$!
port=""
for _ in $(seq 100); do
    port=$(sed -n 's|.*metrics on http://127.0.0.1:\([0-9]*\)/metrics.*|\1|p' "$work/listen.err")
    [ -n "$port" ] && break
    sleep 0.05
done
[ -n "$port" ] || { cat "$work/listen.err" >&2; fail "listen announced no metrics port"; }
python3 - "$port" <<'PY' || fail "the installed station's /healthz and /metrics"
import sys, urllib.request
base = "http://127.0.0.1:%s" % sys.argv[1]
assert urllib.request.urlopen(base + "/healthz", timeout=5).read() == b"ok\n"
assert b"zelo_build_info" in urllib.request.urlopen(base + "/metrics", timeout=5).read()
PY
wait "$listen_pid" || fail "listen exited $?"
listen_pid=""
grep -q 'listening on UDP port' "$work/listen.err" || fail "listen did not listen"
[ -f /var/lib/zelo/ZELO_DIR.DAT ] || fail "listen made no directory file in /var/lib/zelo"

say "purging"
$sudo apt-get purge -y -q zelo-station >>"$work/apt.log" 2>&1 || fail "apt-get purge"
[ ! -e "$ctl" ] && [ ! -e /var/lib/zelo ] && [ ! -e /etc/default/zelo-station ] ||
    fail "files left after the purge"
say "ok"
