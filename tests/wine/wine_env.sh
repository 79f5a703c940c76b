# Sourced by the scripts that run Windows programs under Wine. Sets WINE,
# WINESERVER and WINEPREFIX (default: wineprefix beside this build) and makes
# the prefix once.
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
