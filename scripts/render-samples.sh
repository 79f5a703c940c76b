#!/usr/bin/env bash
# Draws the sample pages in docs/ again with the virtual printer, driven by
# ordalia-cli as a user would: "Receipt 1" (docs/rendered-receipt.png), and
# docs/samples/logo.bmp stored in the printer and printed by
# docs/samples/logo-print.p.src (docs/rendered-logo.png), and the colour
# picture docs/samples/shop.png made into a logo with "logo make", stored and
# printed with "logo print 1" (docs/rendered-shop-logo.png), and "Barcode
# Test" (docs/rendered-barcodes.png). The picture is drawn by
# docs/samples/draw-shop-picture.py.
#   scripts/render-samples.sh          uses build/ (built first if needed)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
[ -x "$build/bin/ordalia-cli" ] || { cmake -S . -B "$build" && cmake --build "$build" -j"$(nproc)"; }
bin=$build/bin

work=$(mktemp -d)
vprinter=
cleanup() {
    [ -n "$vprinter" ] && kill "$vprinter" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/program" "$work/paper"
cp -r "$bin/testpage" "$bin/Codepage Table" "$work/program/"
"$build/tools/ordalia-mktestpage" docs/samples/logo-print.p.src "$work/logo-print.p"

"$bin/ordalia-vprinter" --quiet --ports "$work/program/ports" --com 1 --nv "$work/nv" \
    --render "$work/paper" --program "$bin" >"$work/vprinter.log" 2>&1 &
vprinter=$!
for _ in $(seq 100); do
    grep -q '^COM 1=' "$work/program/ports" 2>/dev/null && break
    sleep 0.1
done

cli=("$bin/ordalia-cli" --folder "$work/program" --quiet)
"${cli[@]}" test-page "Receipt 1"
"${cli[@]}" logo add docs/samples/logo.bmp
"${cli[@]}" logo download
"${cli[@]}" test-page "$work/logo-print.p"

# A picture of any kind becomes a logo: dithered, as wide as the paper
# allows (here its own 480 dots), replacing the first logo in the printer.
"${cli[@]}" logo make docs/samples/shop.png "$work/shop.bmp"
"${cli[@]}" logo clear
"${cli[@]}" logo add "$work/shop.bmp"
"${cli[@]}" logo download
"${cli[@]}" logo print 1

# The bar codes, QR Code and PDF417 of "Barcode Test", drawn bar for bar.
"${cli[@]}" test-page "Barcode Test"

# One page per cut, written as the cut arrives.
for _ in $(seq 200); do
    [ -f "$work/paper/page-0004.png" ] && break
    sleep 0.1
done
cp "$work/paper/page-0001.png" docs/rendered-receipt.png
cp "$work/paper/page-0002.png" docs/rendered-logo.png
cp "$work/paper/page-0003.png" docs/rendered-shop-logo.png
cp "$work/paper/page-0004.png" docs/rendered-barcodes.png
echo "docs/rendered-receipt.png, docs/rendered-logo.png, docs/rendered-shop-logo.png and docs/rendered-barcodes.png drawn again"
