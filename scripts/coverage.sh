#!/usr/bin/env bash
# Line coverage of the core by the native suite (every label): a separate
# build with gcc's --coverage in build/coverage, then gcovr over the core
# folders. Prints gcovr's summary; the last line is the total.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v gcovr >/dev/null || sudo_apt=1
if [ "${sudo_apt:-0}" = 1 ]; then
    apt-get install -y gcovr >/dev/null
fi
if [ ! -f build/coverage/build.ninja ]; then
    cmake -S . -B build/coverage -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZELO_BENCH=OFF \
        -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null
fi
find build/coverage -name '*.gcda' -delete
cmake --build build/coverage
ctest --test-dir build/coverage --parallel 2 --output-on-failure >/dev/null
core='(common|settings|directory|connection|status|schedule|app)/'
gcovr --root . --object-directory build/coverage --filter "$core" \
    --exclude '.*_win32\.cpp' --exclude 'tests/' --print-summary -o build/coverage/coverage.txt
