#!/usr/bin/env bash
# Makes the sample data directory and zeloctl's list of each of its groups,
# with native programs, for the Wine tests of the main screen to compare
# the device list with:
#   tests/gui/sample_listing.sh ZELOCTL OUT_DIR
# OUT_DIR/data is the directory, OUT_DIR/list-ID.txt zeloctl's rows of
# group ID (UTF-8); OUT_DIR/data-en the same directory with English names.
set -euo pipefail
zeloctl=$1 out=$2
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -x "$zeloctl" ]; then
    echo "sample_listing: no native zeloctl at $zeloctl (ninja -C build/native zeloctl)" >&2
    exit 1
fi
rm -rf "$out"
mkdir -p "$out"
for names in "" --english; do
    python3 "$here/../../scripts/sample_directory.py" "$out/data${names:+-en}" $names \
        --extra '[ListViewMode]\nLineMstPow=1\n[Network]\nMSRPenable=0'
done
"$zeloctl" --dir "$out/data" tree | cut -f2 | while read -r group; do
    "$zeloctl" --dir "$out/data" list "$group" > "$out/list-$group.txt"
done
ls "$out"
