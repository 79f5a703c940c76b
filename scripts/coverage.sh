#!/usr/bin/env bash
# Line and branch coverage of src/ by the whole test suite.
#   scripts/coverage.sh                  builds in build-coverage/ and prints the figures
#   BUILD_DIR=out scripts/coverage.sh    another build folder
#   scripts/coverage.sh --html DIR       also writes a browsable report to DIR
# Uses gcovr (Debian package gcovr) on a separate build made with --coverage,
# so the normal build/ is left as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-coverage}
jobs=${JOBS:-$(nproc)}
html=""
if [ "${1:-}" = "--html" ]; then
    html=${2:?"--html needs a folder"}
fi

scripts/install-deps.sh
if ! command -v gcovr > /dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends gcovr
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DORDALIA_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_EXE_LINKER_FLAGS="--coverage" > /dev/null
cmake --build "$build" -j"$jobs" > "$build/build.log" 2>&1 ||
    { tail -n 40 "$build/build.log"; exit 1; }
find "$build" -name '*.gcda' -delete
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" -j"$jobs" --timeout 300 > "$build/ctest.log" 2>&1 ||
    { grep -E 'tests failed|\(Failed\)|Timeout' "$build/ctest.log"; echo "(coverage below counts the failing tests too)"; }

args=(--root . --filter 'src/' --exclude-unreachable-branches --exclude-throw-branches
      --gcov-ignore-parse-errors --print-summary)
[ -n "$html" ] && { mkdir -p "$html"; args+=(--html-details "$html/index.html"); }
gcovr "${args[@]}" "$build" | grep -E '^(lines|branches|functions):'
