#!/usr/bin/env bash
# ordalia.exe end to end under Wine with the Windows platform on a virtual X
# display, against the virtual printer on pseudo-terminals that Wine maps to
# COM ports, the window driven by its script hook:
#   tests/wine/window_under_wine.sh FOLDER VPRINTER
# FOLDER is an unpacked Windows archive; VPRINTER is the native
# ordalia-vprinter. WINEPREFIX names a prefix of this test's own.
set -euo pipefail
folder=$(realpath "$1")
vprinter=$(realpath "$2")
. "$(dirname "$0")/wine_env.sh"
wine_prefix_ready

work=$(mktemp -d)
trap wine_cleanup EXIT

wine_start_printer good
good_pty=$pty
wine_start_printer silent --silent
silent_pty=$pty
wine_map_ports "COM1=$good_pty" "COM2=$silent_pty"
set +e

head -c 196608 < <(yes "firmware image for the virtual printer 0123456789") >"$work/new.firm"
cat >"$work/script" <<STEPS
title
set SPort COM 1
click test_rec1
set SSTab1 1
set SSTab1 0
click Command1
file $(windows_path "$work/new.firm")
click OpenFirm
click Firm_Updata
set SPort COM 2
click Firm_Updata
quit
STEPS

# The window from its folder, as a user double-clicks it: the folder is the
# program folder (it holds the shipped files and can be written).
status=0
(cd "$folder" && ORDALIA_WINDOW_SCRIPT=$(windows_path "$work/script") \
    timeout 300 xvfb-run -a "$WINE" ./ordalia.exe) >"$work/window.out" 2>&1 || status=$?
log=$(tr -d '\r' <"$work/script.log")
printf '%s\n' "$log" | sed 's/^/  /'
check "$status" "the window starts from its folder and ends when told (status $status)"
grep -qx "title: Ordalia v13" <<<"$log"
check $? "the window's title is Ordalia v13"
! grep -q "^error" <<<"$log"
check $? "every step of the script ran"

# "Receipt 1" byte for byte (the printer's capture may trail the click).
for _ in $(seq 100); do
    [ "$(stat -c %s "$work/good.capture")" -ge "$(stat -c %s "$folder/testpage/rec1.p")" ] && break
    sleep 0.05
done
head -c "$(stat -c %s "$folder/testpage/rec1.p")" "$work/good.capture" | cmp -s - "$folder/testpage/rec1.p"
check $? "Receipt 1 reaches the printer on COM1 byte for byte"

grep -q "message: Download Finish !!" <<<"$log"
check $? "the settings download ends with Download Finish !!"

cmp -s "$work/good.nv/firmware.bin" "$work/new.firm" &&
    grep -q "message: Firmware Update Finish !!" <<<"$log"
check $? "the firmware update stores the image and ends with Firmware Update Finish !!"

# The silent printer: the message after the 10 s reply wait, the window
# processing its events all the while.
silent=$(sed -n '/^set SPort COM 2/,$p' <<<"$log")
at=$(sed -n 's/^\([0-9]*\) ms message: Connecting Error !!$/\1/p' <<<"$silent")
[ -n "$at" ] && [ "$at" -ge 10000 ] && [ "$at" -lt 20000 ]
check $? "a silent printer gives Connecting Error !! after the 10 s wait (at ${at:-no} ms)"
gap=$(sed -n 's/^done Firm_Updata after [0-9]* ms, longest gap \([0-9]*\) ms$/\1/p' <<<"$silent")
[ -n "$gap" ] && [ "$gap" -le 100 ]
check $? "the window never goes more than 100 ms without its events (longest ${gap:-no} ms)"

[ "$failures" = 0 ]
