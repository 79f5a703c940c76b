#!/usr/bin/env bash
# The Debian package installed into a temporary root and run there with a
# fresh home, against the installed virtual printer on a pseudo-terminal: a
# test page and a settings download work, and everything written lies in the
# user's folder under that home.
#   tests/package/install_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
cd "$(dirname "$0")/../.."
work=$(mktemp -d)
printer_pid=
cleanup() {
    [ -n "$printer_pid" ] && kill "$printer_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

DIST_DIR="$work/dist" BUILD_DIR="$build" ORDALIA_PACKAGE_NO_BUILD=1 ORDALIA_LINTIAN=0 \
    scripts/package.sh deb >/dev/null
root="$work/root"
dpkg-deb -x "$work"/dist/ordalia_*.deb "$root"
mkdir -p "$work/home" "$work/cwd" "$work/printer"
touch "$work/before"
sleep 1 # file times in whole seconds on some file systems

"$root/usr/bin/ordalia-vprinter" --quiet --capture "$work/printer/capture.bin" \
    --nv "$work/printer/nv" >"$work/printer/out" 2>&1 &
printer_pid=$!
pty=
for _ in $(seq 200); do
    pty=$(grep -o '/dev/pts/[0-9]*' "$work/printer/out" | head -1 || true)
    [ -n "$pty" ] && break
    sleep 0.05
done
[ -n "$pty" ] || { echo "the virtual printer did not start" >&2; exit 1; }

failures=0
check() {
    if [ "$1" = 0 ]; then echo "ok: $2"; else echo "FAILED: $2" >&2; failures=$((failures + 1)); fi
}
cli() {
    (cd "$work/cwd" && env -u XDG_DATA_HOME HOME="$work/home" timeout 60 \
        "$root/usr/bin/ordalia-cli" "$@")
}
user="$work/home/.local/share/ordalia"
set +e

# The window starts only with Qt's platform plugins, which Qt's libraries
# merely recommend: an install without recommends must still bring them.
dpkg-deb -f "$work"/dist/ordalia_*.deb Depends | grep -q 'qt6-qpa-plugins'
check $? "the package depends on Qt's platform plugins"

[ "$(cli --version | sed -n 's/^Program folder: //p')" = "$user" ] && [ ! -e "$user" ] &&
    cli --help >/dev/null && [ ! -e "$user" ]
check $? "--version names the user's folder and, like --help, makes nothing"

cli --port "$pty" test-page "Receipt 1"
status=$?
for _ in $(seq 100); do
    cmp -s "$work/printer/capture.bin" "$root/usr/share/ordalia/testpage/rec1.p" && break
    sleep 0.05
done
cmp "$work/printer/capture.bin" "$root/usr/share/ordalia/testpage/rec1.p"
check $((status + $?)) "the shipped test page arrives byte for byte"

cli --quiet --port "$pty" settings download --density Dark
status=$?
cmp "$user/user_setting" "$work/printer/nv/settings.bin" &&
    ! cmp -s "$user/user_setting" "$root/usr/share/ordalia/user_setting"
check $((status + $?)) "a settings download is stored by the printer and saved in the user's folder"

written=$(find "$work" -newer "$work/before" -type f ! -path "$work/home/*" ! -path "$work/printer/*")
[ -z "$written" ]
check $? "nothing is written outside the home: ${written:-none}"
cmp -s "$root/usr/share/ordalia/user_setting" "$build/data/user_setting"
check $? "the installed files are left as shipped"

# The next version of the package: the test page the user left follows it,
# the settings they downloaded are kept and the new default laid beside them.
printf 'newer page\n' >"$root/usr/share/ordalia/testpage/rec1.p"
printf 'newer record' >"$root/usr/share/ordalia/user_setting"
cli logo list >/dev/null
[ "$(cat "$user/testpage/rec1.p")" = "newer page" ] &&
    cmp -s "$user/user_setting" "$work/printer/nv/settings.bin" &&
    [ "$(cat "$user/user_setting.new")" = "newer record" ] && grep -q user_setting "$user/UPDATES.txt"
check $? "a newer version replaces what the user left and keeps what they changed"

[ "$failures" = 0 ]
