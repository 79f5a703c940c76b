#!/usr/bin/env bash
# Builds Ordalia and runs every test: core tests, window tests (offscreen),
# end-to-end tests against the virtual printer, the fuzz drivers and the
# Debian package's install test. With ORDALIA_CROSS_WINDOWS=1 (CI) also the
# package's lintian check and the Windows build, its tests under Wine.
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
    # The Debian package, checked by lintian (its install test ran above).
    ORDALIA_PACKAGE_NO_BUILD=1 BUILD_DIR="$build" scripts/package.sh deb

    # The window, the command line and their tests for Windows; the tests
    # run under Wine, less those that hold POSIX behaviour.
    win="$build-win"
    cmake -S . -B "$win" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DORDALIA_BUILD_TESTS=ON -DORDALIA_BUILD_TOOLS=OFF
    cmake --build "$win" -j"$jobs"
    # Made once here rather than by the first tests at once.
    WINEPREFIX="$PWD/$win/wineprefix" tests/wine/run_under_wine.sh \
        "$win/tests/common_test.exe" --gtest_list_tests >/dev/null
    posix_only=$(sed -e 's/#.*//' -e 's/[[:space:]]//g' -e '/^$/d' tests/wine/posix_only_tests.txt |
        paste -sd'|')
    ctest --test-dir "$win" --output-on-failure -j"$jobs" --timeout 300 -E "^($posix_only)"

    # The Windows folder as shipped, unpacked and run under Wine against the
    # virtual printer.
    zip=$(ORDALIA_PACKAGE_NO_BUILD=1 BUILD_DIR="$build" WIN_BUILD_DIR="$win" \
        scripts/package.sh windows)
    rm -rf "$win/unpacked" && mkdir -p "$win/unpacked"
    (cd "$win/unpacked" && cmake -E tar xf "$OLDPWD/$zip")
    unpacked="$win/unpacked/$(basename "$zip" .zip)"
    WINEPREFIX="$PWD/$win/wineprefix-e2e" tests/wine/cli_under_wine.sh \
        "$unpacked" "$build/bin/ordalia-vprinter"
    WINEPREFIX="$PWD/$win/wineprefix-e2e" tests/wine/window_under_wine.sh \
        "$unpacked" "$build/bin/ordalia-vprinter"
fi
