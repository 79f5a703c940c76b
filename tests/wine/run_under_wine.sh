#!/usr/bin/env bash
# Runs a Windows test program under Wine: CTest's emulator for the cross
# build's tests (CMAKE_CROSSCOMPILING_EMULATOR), which sets WINEPREFIX.
#
# Now and then Wine ends at once without starting the program, saying
# nothing, when two tests start together against one prefix while its server
# is coming or going. A test program always prints something, so a run that
# failed with no output at all is Wine's, not the test's: it is run again,
# twice at most.
set -uo pipefail
. "$(dirname "$0")/wine_env.sh"
wine_prefix_ready
output=$(mktemp)
trap 'rm -f "$output"' EXIT
for attempt in 1 2 3; do
    "$WINE" "$@" >"$output" 2>&1
    status=$?
    if [ "$status" = 0 ] || [ -s "$output" ]; then
        break
    fi
    echo "run_under_wine: Wine ended with status $status and no output (attempt $attempt)" >&2
    sleep 1
done
cat "$output"
exit "$status"
