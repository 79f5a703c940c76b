#!/usr/bin/env bash
# Renders every page of the window to PNG under docs/ (offscreen, no display
# needed), at 100 % and, for one page, at 200 %.
#   scripts/screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target ordalia-screenshots ordalia
export QT_QPA_PLATFORM=offscreen
"$build/tools/ordalia-screenshots" docs "$build/bin"
mkdir -p "$build/shots-200"
QT_SCALE_FACTOR=2 "$build/tools/ordalia-screenshots" "$build/shots-200" "$build/bin" >/dev/null
cp "$build/shots-200/page-settings.png" docs/page-settings-200.png
