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
