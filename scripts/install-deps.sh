#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that
# are missing. Quiet when everything is there.
set -euo pipefail
packages=(
    cmake ninja-build g++ make python3 libgtest-dev libgmock-dev googletest
    mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 fonts-wine
    xvfb xauth x11-utils imagemagick locales fonts-ipafont-gothic
    libmosquitto-dev mosquitto mosquitto-clients  # the MQTT forwarder and its broker tests
    pkg-config libcpp-httplib-dev prometheus      # the metrics server; promtool and a real scrape
    dpkg-dev                                      # the .deb's dependencies (dpkg-shlibdeps)
    clang-format                                  # scripts/check-format
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
export DEBIAN_FRONTEND=noninteractive
if ! $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >/tmp/zelo-apt.log 2>&1; then
    $sudo apt-get update -q >>/tmp/zelo-apt.log 2>&1
    $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >>/tmp/zelo-apt.log 2>&1 ||
        { tail -30 /tmp/zelo-apt.log; exit 1; }
fi
