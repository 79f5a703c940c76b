#!/usr/bin/env bash
# Builds the benchmarks in their own folder and prints their tables: each
# transfer's data phase against its floor on four ports (a 16550 UART model,
# the virtual printer over a pseudo-terminal paced at 115200 bit/s, a
# USB-serial adapter model and a model of a printer's own USB port), as
# ratios in one table with each row marked met or not met; byte-at-a-time
# throughput over the pseudo-terminal; the window's start-up and the peak
# memory of the window and the command line; and, where a Windows folder was
# unpacked by scripts/test.sh and Wine is installed, the CPU of the Windows
# command line's reply wait and test page under Wine. The full run takes about eleven
# minutes; --quick (a 64K test page and a 256 x 256 logo) about seven. Hold the
# build lock while it runs so that no build shares the cores with it.
#   scripts/bench.sh [--quick]
#   BUILD_DIR=out scripts/bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-bench}
jobs=${JOBS:-2}
quick=()
case "${1:-}" in
    --quick) quick=(--quick) ;;
    "") ;;
    *) echo "usage: scripts/bench.sh [--quick]" >&2; exit 2 ;;
esac

log="$build/bench-build.log"
mkdir -p "$build"
if ! { cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DORDALIA_BUILD_BENCH=ON \
        -DORDALIA_BUILD_TESTS=OFF &&
    cmake --build "$build" -j"$jobs" \
        --target ordalia-bench-transfers ordalia-bench-footprint ordalia-bench-fleet ordalia-cli \
        ordalia-vprinter; } >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "bench.sh: the build failed; see $log" >&2
    exit 1
fi

status=0
"$build/bin/ordalia-bench-transfers" "${quick[@]}" || status=$?
echo
QT_QPA_PLATFORM=offscreen "$build/bin/ordalia-bench-footprint" || status=$?
echo
"$build/bin/ordalia-bench-fleet" || status=$?

# The Windows command line's CPU under Wine, when a Windows folder has been
# unpacked by scripts/test.sh (ORDALIA_CROSS_WINDOWS=1) and Wine is here.
win_folder=$(ls -d "${WIN_BUILD_DIR:-build-win}"/unpacked/*/ 2>/dev/null | head -1 || true)
if [ -n "$win_folder" ] && { command -v wine64 >/dev/null || [ -x /usr/lib/wine/wine64 ]; }; then
    echo
    "$(dirname "$0")/../bench/wine_cpu.sh" "$win_folder" "$build/bin/ordalia-vprinter" || status=$?
fi
exit $status
