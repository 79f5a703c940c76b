# Sourced by the scripts that run Windows programs under Wine. Sets WINE and
# WINESERVER; WINEPREFIX must name a prefix of the caller's own, which
# wine_prefix_ready makes once.
if command -v wine64 >/dev/null 2>&1; then
    WINE=$(command -v wine64)
else
    # Debian's wine64 package keeps the loader out of PATH.
    WINE=/usr/lib/wine/wine64
fi
if command -v wineserver >/dev/null 2>&1; then
    WINESERVER=$(command -v wineserver)
else
    WINESERVER=$(dirname "$WINE")/wineserver
fi
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs: the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:?WINEPREFIX must name the prefix folder}

# The first start of a prefix takes half a minute or more; the lock keeps two
# tests from making the same prefix at once.
wine_prefix_ready() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.ordalia-ready" ]; then
            "$WINE" wineboot --init >/dev/null 2>&1
            "$WINESERVER" -w
            touch "$WINEPREFIX/.ordalia-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
}

# Ends the prefix's server and, should any outlive it, Wine's processes of
# this prefix (picked by their environment and their executable, never by
# name, so nothing of another prefix or another program is touched).
wine_stop_prefix() {
    "$WINESERVER" -k 2>/dev/null || true
    local p
    for p in /proc/[0-9]*; do
        grep -qzx "WINEPREFIX=$WINEPREFIX" "$p/environ" 2>/dev/null || continue
        [[ "$(readlink "$p/exe" 2>/dev/null)" == */wine* ]] && kill "${p#/proc/}" 2>/dev/null
    done
    return 0
}

# The end-to-end scripts count their failed checks and go on after one.
failures=0
check() { # check CONDITION-STATUS TEXT
    if [ "$1" = 0 ]; then echo "ok: $2"; else echo "FAILED: $2" >&2; failures=$((failures + 1)); fi
}

# The Windows name of a file of this machine (Wine's drive Z: is its root).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# The scripts that run programs of the prefix against the native virtual
# printer share these. They need `vprinter` (its path) and `work` (a folder of
# their own) set, and keep the pids of what they start in `pids`.
pids=()

# Ends the prefix's server first (it ends the Windows processes it serves,
# which a server killed by its pid would leave behind), then what was started
# beside it, and removes the work folder. For trap ... EXIT.
wine_cleanup() {
    wine_stop_prefix
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}

# wine_start_printer NAME [OPTIONS]: the virtual printer, a native program
# outside the prefix, capturing into $work/NAME.capture; its terminal in $pty.
wine_start_printer() {
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
    echo "the virtual printer $name did not start: $(cat "$work/$name.out")" >&2
    exit 1
}

# wine_map_ports COMn=DEVICE ...: the COM ports the prefix's programs see, any
# other COMn key removed first. Wine turns the keys into its dosdevices links
# when its server starts, so the server is restarted, and kept running (-p) so
# that no Wine service restarts between the commands that follow.
wine_map_ports() {
    local entry
    for entry in COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8; do
        "$WINE" reg delete 'HKLM\Software\Wine\Ports' /v "$entry" /f >/dev/null 2>&1 || true
    done
    for entry in "$@"; do
        "$WINE" reg add 'HKLM\Software\Wine\Ports' /v "${entry%%=*}" /t REG_SZ /d "${entry#*=}" \
            /f >/dev/null
    done
    "$WINESERVER" -k || true
    "$WINESERVER" -w
    "$WINESERVER" -f -p &
    pids+=($!)
}
