#!/usr/bin/env bash
# Installs what building and testing Ordalia needs on Debian 12. Run as root
# (or it uses sudo). Installs nothing that is already there.
set -euo pipefail

packages=(
    cmake g++ make git
    qt6-base-dev            # the window (Qt 6 Widgets, QtTest)
    libgtest-dev libgmock-dev  # core tests
    fonts-liberation        # Arial-compatible font for the window
    xvfb xauth              # window screenshots on a headless machine
)
# Extra packages a part of the build asks for (one per line, # comments).
if [ -f "$(dirname "$0")/packages.txt" ]; then
    while read -r line; do
        line=${line%%#*}
        for p in $line; do packages+=("$p"); done
    done < "$(dirname "$0")/packages.txt"
fi
if [ "${ORDALIA_CROSS_WINDOWS:-0}" = 1 ]; then
    packages+=(
        g++-mingw-w64-x86-64-posix  # the Windows build
        googletest                  # GoogleTest sources, built for the Windows tests
        wine64                      # runs the Windows tests
        dpkg-dev lintian            # the Debian package, its test and its check
    )
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
