#!/usr/bin/env bash
# Installs what is missing, builds Ordalia and opens its window.
#   scripts/run.sh             the window, on the ports of this machine
#   scripts/run.sh --virtual   the window with the virtual printer attached as COM 1
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}

scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
bin="$build/bin"

if [ "${1:-}" = "--virtual" ]; then
    capture="$bin/vprinter-capture.bin"
    "$bin/ordalia-vprinter" --ports "$bin/ports" --com 1 --capture "$capture" --nv "$bin/vprinter-nv" &
    printer=$!
    trap 'kill $printer 2>/dev/null || true' EXIT
    sleep 0.5
    echo "Virtual printer on COM 1; what it receives goes to $capture"
fi
"$bin/ordalia"
