#!/usr/bin/env bash
# Runs a Windows test program under Wine: CTest's emulator for the cross
# build's tests (CMAKE_CROSSCOMPILING_EMULATOR), which sets WINEPREFIX.
set -euo pipefail
. "$(dirname "$0")/wine_env.sh"
wine_prefix_ready
exec "$WINE" "$@"
