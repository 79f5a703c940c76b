#!/usr/bin/env bash
# ordalia-cli.exe end to end under Wine, against the virtual printer on a
# pseudo-terminal that Wine maps to a COM port:
#   tests/wine/cli_under_wine.sh FOLDER VPRINTER
# FOLDER holds ordalia-cli.exe and the files shipped beside it (an unpacked
# Windows archive); VPRINTER is the native ordalia-vprinter. WINEPREFIX names
# a prefix of this test's own: its server is restarted to take the ports.
set -euo pipefail
folder=$(realpath "$1")
vprinter=$(realpath "$2")
. "$(dirname "$0")/wine_env.sh"
wine_prefix_ready

cli="$folder/ordalia-cli.exe"
work=$(mktemp -d)
trap wine_cleanup EXIT

# True once the printer's capture holds the file's bytes (it may trail the
# program's end by a moment); waits up to 5 s.
arrived() { # arrived CAPTURE FILE
    for _ in $(seq 100); do
        cmp -s "$1" "$2" && return 0
        sleep 0.05
    done
    cmp -s "$1" "$2"
}

wine_start_printer good
good_pty=$pty
wine_start_printer silent --silent
silent_pty=$pty
wine_map_ports "COM1=$good_pty" "COM2=$silent_pty"
# From here on a failed check is counted, not the end of the script.
set +e

# The unpacked folder is the program folder: it holds the shipped files and
# can be written.
version=$(timeout 60 "$WINE" "$cli" --version)
[[ "$version" == *"Program folder: "*"$(basename "$folder")"* ]]
check $? "ordalia-cli.exe starts from its folder and takes it as the program folder"

# A test page, byte for byte.
status=0
timeout 60 "$WINE" "$cli" --port COM1 test-page "Receipt 1" 2>"$work/page.err" || status=$?
arrived "$work/good.capture" "$folder/testpage/rec1.p"
check $(( status + $? )) "test page over COM1 arrives byte for byte (status $status)"

# A firmware update: the image the printer stored is the file sent.
head -c 196608 < <(yes "firmware image for the virtual printer 0123456789") >"$work/new.firm"
status=0
timeout 120 "$WINE" "$cli" --port COM1 firmware "$(windows_path "$work/new.firm")" \
    2>"$work/firmware.err" || status=$?
cmp -s "$work/good.nv/firmware.bin" "$work/new.firm" && grep -q "Firmware Update Finish !!" "$work/firmware.err"
check $(( status + $? )) "firmware update over COM1 stores the image (status $status)"

# A silent printer: "Connecting Error !!" after the 10 s reply wait. A
# program named by its path runs in the wine64 process itself, so the shell's
# time counts the program alone; the server keeps running beside it (started
# above with -p), so no Wine service restarts between the commands. How much
# of a core the wait takes is the benchmark's figure; here only a spin (half
# a core or more) fails, which no load on the machine can bring about.
status=0
TIMEFORMAT='%R %U %S'
{ time timeout 60 "$WINE" "$cli" --port COM2 firmware "$(windows_path "$work/new.firm")" \
    2>"$work/silent.err" || status=$?; } 2>"$work/silent.time"
read -r real user sys <"$work/silent.time"
cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
echo "silent printer: $real s elapsed, $cpu s CPU"
[ "$status" = 2 ] && grep -q "Connecting Error !!" "$work/silent.err"
check $? "a silent printer ends with Connecting Error !! and status 2 (status $status)"
awk -v r="$real" 'BEGIN { exit !(r >= 10 && r < 20) }'
check $? "the reply wait lasts 10 s ($real s)"
awk -v r="$real" -v c="$cpu" 'BEGIN { exit !(c < 0.5 * r) }'
check $? "the wait does not spin ($cpu s CPU in $real s)"

# A network printer: the same test page over Winsock to the virtual printer
# listening on the loopback.
env -u WINEPREFIX "$vprinter" --quiet --tcp 0 --capture "$work/network.capture" \
    --nv "$work/network.nv" >"$work/network.out" 2>&1 &
pids+=($!)
address=
for _ in $(seq 200); do
    address=$(grep -o 'tcp://[0-9.]*:[0-9]*' "$work/network.out" | head -1)
    [ -n "$address" ] && break
    sleep 0.05
done
status=0
timeout 60 "$WINE" "$cli" --port "$address" test-page "Receipt 1" 2>"$work/network.err" || status=$?
# Wine has no count of the bytes the printer acknowledged, so the page ends
# with a status query (DLE EOT 1) whose answer shows the printer read it all.
{ cat "$folder/testpage/rec1.p"; printf '\x10\x04\x01'; } >"$work/network.expected"
arrived "$work/network.capture" "$work/network.expected"
check $((status + $?)) "test page to $address arrives byte for byte, then the status query (status $status)"

# The ports Windows lists (the SERIALCOMM registry key), each entry its COMn.
timeout 60 "$WINE" "$cli" ports 2>&1 | tr -d '\r' >"$work/ports.out"
grep -q '^COM 1 = COM1, ' "$work/ports.out" && grep -q '^COM 8 = COM8$' "$work/ports.out"
check $? "ports lists COM1 as Windows names it ($(head -1 "$work/ports.out"))"

# A port Wine does not have.
status=0
timeout 60 "$WINE" "$cli" --port COM7 test-page "Receipt 1" 2>"$work/missing.err" || status=$?
[ "$status" = 2 ] && grep -q "COM7" "$work/missing.err"
check $? "a missing port is named and ends with status 2 (status $status: $(cat "$work/missing.err"))"

[ "$failures" = 0 ]
