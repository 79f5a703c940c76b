#!/usr/bin/env bash
# CPU of ordalia-cli.exe under Wine: a silent printer's 10 s reply wait and a
# 35 KB test page, each against the native virtual printer (the page's paced
# at 115200 bit/s) on a pseudo-terminal that Wine maps to a COM port. Counts
# the program and every process of the prefix (the Wine server and the
# services it starts), as a Windows machine would spend it, so the figure is a
# benchmark's, not a test's.
#   bench/wine_cpu.sh FOLDER VPRINTER
# FOLDER holds ordalia-cli.exe and its shipped files (an unpacked Windows
# archive); VPRINTER is the native ordalia-vprinter.
set -euo pipefail
folder=$(realpath "$1")
vprinter=$(realpath "$2")
cli="$folder/ordalia-cli.exe"
work=$(mktemp -d)
export WINEPREFIX="$work/prefix"
. "$(dirname "$0")/../tests/wine/wine_env.sh"
wine_prefix_ready
trap wine_cleanup EXIT

# "PID TICKS" for every live process of this prefix (CPU clock ticks).
prefix_ticks() {
    local p stat
    for p in /proc/[0-9]*; do
        grep -qzx "WINEPREFIX=$WINEPREFIX" "$p/environ" 2>/dev/null || continue
        stat=$(cat "$p/stat" 2>/dev/null) || continue
        set -- ${stat##*) }
        echo "${p#/proc/} $((${12} + ${13}))"
    done
}

wine_start_printer good --paced
good_pty=$pty
wine_start_printer silent --silent
wine_map_ports "COM1=$good_pty" "COM2=$pty"
head -c 196608 < <(yes "firmware image for the virtual printer 0123456789") >"$work/new.firm"

# measure NAME STATUS COMMAND...: one row of elapsed seconds, CPU seconds and
# share of a core, the program and the prefix's processes together; a note
# when the command did not end with STATUS.
measure() {
    local name=$1 expected=$2 status=0 real user sys
    shift 2
    prefix_ticks >"$work/before"
    TIMEFORMAT='%R %U %S'
    { time "$@" >/dev/null 2>"$work/measure.err" || status=$?; } 2>"$work/time"
    prefix_ticks >"$work/after"
    read -r real user sys <"$work/time"
    # The program's own time (it runs in the wine64 process the shell waits
    # for), and what the prefix's other processes spent meanwhile: those that
    # ran before by their growth, those started since in full.
    awk -v n="$name" -v r="$real" -v own="$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')" \
        -v hz="$(getconf CLK_TCK)" '
        FNR == NR { before[$1] = $2; next }
        { ticks += $2 - ($1 in before ? before[$1] : 0) }
        END {
            c = own + ticks / hz
            printf "%-34s %8.2f s %8.2f s CPU %6.1f %% of a core\n", n, r, c, 100 * c / r }' \
        "$work/before" "$work/after"
    [ "$status" = "$expected" ] || echo "  (ended with status $status: $(tail -1 "$work/measure.err"))"
}

echo "ordalia-cli.exe under Wine (the program and the prefix's processes)"
"$WINE" "$cli" --version >/dev/null 2>&1 # the prefix's services started once
measure "silent printer, 10 s reply wait" 2 "$WINE" "$cli" --port COM2 firmware "Z:${work//\//\\}\\new.firm"
measure "test page bmp1.p (35 KB) at 115200" 0 "$WINE" "$cli" --port COM1 test-page bmp1.p
