#!/usr/bin/env bash
# Packages Ordalia.
#   scripts/package.sh deb       dist/ordalia_<version>_<arch>.deb from build/
#   scripts/package.sh windows   dist/ordalia-<version>-windows-x86_64.zip, cross-built
#                                with mingw-w64 in build-win/, the generated files
#                                taken from the native build in build/: the window
#                                and the command line with what the window needs
#                                beside it, a folder that runs where it is unpacked
# Environment: BUILD_DIR (build), WIN_BUILD_DIR ($BUILD_DIR-win), DIST_DIR (dist),
# JOBS, ORDALIA_PACKAGE_NO_BUILD=1 to package what is built as it stands,
# ORDALIA_LINTIAN=0 to skip lintian.
set -euo pipefail
cd "$(dirname "$0")/.."
umask 022
build=${BUILD_DIR:-build}
win_build=${WIN_BUILD_DIR:-$build-win}
dist=${DIST_DIR:-dist}
jobs=${JOBS:-$(nproc)}
version=$(sed -n 's/^project(Ordalia VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb_revision=$(sed -n '1s/^ordalia (\(.*\)).*/\1/p' cmake/debian/changelog)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The native programs and generated files, installed under $work/native/usr.
stage_native() {
    if [ "${ORDALIA_PACKAGE_NO_BUILD:-0}" != 1 ]; then
        # Build output goes to standard error: standard output names the package.
        [ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
        # Only what the package holds; the window only when it is configured.
        local targets=() target
        local known
        known=$(cmake --build "$build" --target help)
        for target in ordalia ordalia-cli ordalia-vprinter testpages ordalia_cpfonts_data \
            ordalia_user_setting; do
            grep -qE "(^|\.\.\. )$target(:| |\$)" <<<"$known" && targets+=("$target")
        done
        cmake --build "$build" -j"$jobs" --target "${targets[@]}" >&2
    fi
    DESTDIR="$work/native" cmake --install "$build" --prefix /usr --strip >/dev/null
}

package_deb() {
    stage_native
    local root="$work/native"
    local doc="$root/usr/share/doc/ordalia"
    gzip -9n "$root"/usr/share/man/man1/*.1
    install -d "$doc"
    install -m 644 cmake/debian/copyright "$doc/copyright"
    gzip -9n -c cmake/debian/changelog >"$doc/changelog.Debian.gz"

    # What the programs link against, as Debian names it. The window also
    # needs Qt's platform plugins, which Qt's own libraries only recommend
    # (control.in names them).
    local depends
    mkdir -p "$work/shlibs/debian"
    printf 'Source: ordalia\n\nPackage: ordalia\nArchitecture: any\n' >"$work/shlibs/debian/control"
    depends=$(cd "$work/shlibs" && dpkg-shlibdeps -O "$root"/usr/bin/* 2>/dev/null |
        sed -n 's/^shlibs:Depends=//p')

    local arch size
    arch=$(dpkg --print-architecture)
    size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
    install -d "$root/DEBIAN"
    sed -e "s/@VERSION@/$deb_revision/" -e "s/@ARCH@/$arch/" -e "s/@SIZE@/$size/" \
        -e "s/@DEPENDS@/$depends/" cmake/debian/control.in >"$root/DEBIAN/control"
    (cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
    chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

    mkdir -p "$dist"
    local deb="$dist/ordalia_${deb_revision}_$arch.deb"
    dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
    echo "$deb"
    if [ "${ORDALIA_LINTIAN:-1}" != 0 ] && command -v lintian >/dev/null; then
        lintian --fail-on error --suppress-tags "$(tr '\n' ',' <cmake/debian/lintian-accepted)" \
            "$deb" >&2
    fi
}

package_windows() {
    stage_native
    if [ "${ORDALIA_PACKAGE_NO_BUILD:-0}" != 1 ]; then
        [ -f "$win_build/CMakeCache.txt" ] ||
            cmake -S . -B "$win_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
                -DORDALIA_BUILD_TOOLS=OFF -DORDALIA_BUILD_TESTS=OFF >&2
        cmake --build "$win_build" -j"$jobs" --target ordalia ordalia-cli >&2
    fi
    local name="ordalia-$version-windows-x86_64"
    local folder="$work/$name"
    DESTDIR="$folder" cmake --install "$win_build" --prefix / --strip >/dev/null
    # The generators are host tools: their output comes from the native build.
    cp -r "$work/native/usr/share/ordalia/." "$folder/"
    mkdir -p "$dist"
    local zip
    zip=$(realpath "$dist")/$name.zip
    rm -f "$zip"
    (cd "$work" && cmake -E tar cf "$zip" --format=zip "$name")
    echo "$dist/$name.zip"
}

case "${1:-}" in
deb) package_deb ;;
windows) package_windows ;;
*)
    echo "usage: scripts/package.sh deb|windows" >&2
    exit 1
    ;;
esac
