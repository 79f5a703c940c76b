#!/usr/bin/env bash
# Renders every page of the window to PNG under docs/ (offscreen, no display
# needed), at 100 % and, for one page, at 200 %.
#   scripts/screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target ordalia-screenshots ordalia ordalia-vprinter
export QT_QPA_PLATFORM=offscreen
# Three network printers for "Many Printers…" and its report.
hosts=()
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT
for serial in SHOP-0001 SHOP-0002 SHOP-0003; do
    "$build/bin/ordalia-vprinter" --quiet --tcp 0 --paced --baud 230400 --serial "$serial" \
        >"$build/shot-$serial.out" 2>&1 &
    pids+=($!)
done
sleep 1
for serial in SHOP-0001 SHOP-0002 SHOP-0003; do
    hosts+=("$(grep -o 'tcp://[0-9.:]*' "$build/shot-$serial.out" | head -1)")
done
"$build/tools/ordalia-screenshots" docs "$build/bin" "${hosts[@]}"
mkdir -p "$build/shots-200"
QT_SCALE_FACTOR=2 "$build/tools/ordalia-screenshots" "$build/shots-200" "$build/bin" >/dev/null
cp "$build/shots-200/page-settings.png" docs/page-settings-200.png
