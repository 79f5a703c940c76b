#!/usr/bin/env bash
# CPU of ordalia-cli.exe under Wine: a silent printer's 10 s reply wait and a
# test page, each against the native virtual printer on a pseudo-terminal that
# Wine maps to a COM port. Counts the program and every process of the prefix
# (the Wine server and the services it starts), as a Windows machine would
# spend it, so the figure is a benchmark's, not a test's.
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
pids=()
cleanup() {
    wine_stop_prefix
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

start_printer() { # start_printer NAME [OPTIONS]; its terminal in $pty
    local name=$1
    shift
    env -u WINEPREFIX "$vprinter" --quiet --capture "$work/$name.capture" --nv "$work/$name.nv" \
        "$@" >"$work/$name.out" 2>&1 &
    pids+=($!)
    for _ in $(seq 200); do
        pty=$(grep -o '/dev/pts/[0-9]*' "$work/$name.out" | head -1 || true)
        [ -n "$pty" ] && return 0
        sleep 0.05
    done
    echo "the virtual printer $name did not start" >&2
    exit 1
}

# CPU clock ticks of every live process of this prefix.
prefix_ticks() {
    local total=0 p stat
    for p in /proc/[0-9]*; do
        grep -qzx "WINEPREFIX=$WINEPREFIX" "$p/environ" 2>/dev/null || continue
        stat=$(cat "$p/stat" 2>/dev/null) || continue
        set -- ${stat##*) }
        total=$((total + ${12} + ${13}))
    done
    echo "$total"
}

start_printer good
"$WINE" reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$pty" /f >/dev/null
start_printer silent --silent
"$WINE" reg add 'HKLM\Software\Wine\Ports' /v COM2 /t REG_SZ /d "$pty" /f >/dev/null
"$WINESERVER" -k || true
"$WINESERVER" -w
"$WINESERVER" -f -p &
pids+=($!)
head -c 196608 < <(yes "firmware image for the virtual printer 0123456789") >"$work/new.firm"

# measure NAME STATUS COMMAND...: one row of elapsed seconds, CPU seconds and
# share of a core, the program and the prefix's processes together; a note
# when the command did not end with STATUS.
measure() {
    local name=$1 expected=$2 before after start end
    shift 2
    before=$(prefix_ticks)
    start=$(date +%s.%N)
    local status=0
    "$@" >/dev/null 2>"$work/measure.err" || status=$?
    end=$(date +%s.%N)
    after=$(prefix_ticks)
    awk -v n="$name" -v s="$start" -v e="$end" -v t="$((after - before))" \
        -v hz="$(getconf CLK_TCK)" 'BEGIN {
            r = e - s; c = t / hz
            printf "%-34s %8.2f s %8.2f s CPU %6.1f %% of a core\n", n, r, c, 100 * c / r }'
    [ "$status" = "$expected" ] || echo "  (ended with status $status: $(tail -1 "$work/measure.err"))"
}

echo "ordalia-cli.exe under Wine (the program and the prefix's processes)"
"$WINE" "$cli" --version >/dev/null 2>&1 # the prefix's services started once
measure "silent printer, 10 s reply wait" 2 "$WINE" "$cli" --port COM2 firmware "Z:${work//\//\\}\\new.firm"
measure "test page \"Receipt 1\" at 115200" 0 "$WINE" "$cli" --port COM1 test-page "Receipt 1"
