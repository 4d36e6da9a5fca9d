#!/usr/bin/env bash
# Cross-builds libusb for Windows (MinGW-w64, one static library per width) from Debian's own
# source package into build/windows/libusb/<arch>; a width already built there is kept, so a
# rerun costs nothing. Usage: windows-libusb.sh x86_64 i686. Debian only; fetching the source
# needs root or sudo (scripts/debian-source.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

version=1.0.26
out="$PWD/build/windows/libusb"
tarball="$out/src/libusb-1.0_$version.orig.tar.bz2"

fetch_source() {
    ./scripts/debian-source.sh libusb-1.0 "$out/src"
    if [ ! -f "$tarball" ]; then
        echo "windows-libusb.sh: Debian's source package is not libusb $version:" \
            "$(ls "$out/src")" >&2
        exit 1
    fi
}

for arch in "$@"; do
    prefix="$out/$arch"
    if [ -f "$prefix/lib/libusb-1.0.a" ] && [ -f "$prefix/lib/pkgconfig/libusb-1.0.pc" ]; then
        continue
    fi
    [ -f "$tarball" ] || fetch_source
    echo "Building libusb $version for $arch-w64-mingw32"
    work="$out/work-$arch"
    rm -rf "$work" "$prefix" && mkdir -p "$work"
    tar xjf "$tarball" -C "$work"
    # Static only: the layer's DLL takes libusb in, so nothing more has to lie beside it.
    if ! (cd "$work/libusb-$version" &&
        ./configure --host="$arch-w64-mingw32" CC="$arch-w64-mingw32-gcc-posix" \
            --prefix="$prefix" --disable-shared --enable-static \
            --disable-examples-build --disable-tests-build &&
        make -j "$(nproc)" && make install) >"$work/build.log" 2>&1; then
        tail -n 40 "$work/build.log" >&2
        echo "windows-libusb.sh: building libusb for $arch failed (log: $work/build.log)" >&2
        exit 1
    fi
    rm -rf "$work"
done
