#!/usr/bin/env bash
# Builds Ordalia and runs every test: core tests, window tests (offscreen),
# end-to-end tests against the virtual printer, and the fuzz drivers.
#   scripts/test.sh            uses build/
#   BUILD_DIR=out scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
jobs=${JOBS:-$(nproc)}

scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORDALIA_BUILD_BENCH=ON
cmake --build "$build" -j"$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j"$jobs" --timeout 300

if [ "${ORDALIA_CROSS_WINDOWS:-0}" = 1 ]; then
    # The core and its Win32 port layer must keep compiling for Windows.
    cmake -S . -B "$build-win" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DORDALIA_BUILD_APP=OFF -DORDALIA_BUILD_TESTS=OFF -DORDALIA_BUILD_TOOLS=OFF
    cmake --build "$build-win" -j"$jobs"
fi
