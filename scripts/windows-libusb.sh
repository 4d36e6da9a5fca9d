#!/usr/bin/env bash
# Cross-builds libusb for Windows (MinGW-w64, one static library per width) from Debian's own
# source package into build/windows/libusb/<arch>; a width already built there is kept, so a
# rerun costs nothing. Usage: windows-libusb.sh x86_64 i686. Debian only; fetching the source
# needs root (or sudo) to add and remove a deb-src entry for the same archive.
set -euo pipefail
cd "$(dirname "$0")/.."

version=1.0.26
out="$PWD/build/windows/libusb"
tarball="$out/src/libusb-1.0_$version.orig.tar.bz2"

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

# The source entry lives only while apt-get source runs; the package lists are refreshed again
# after its removal, so that the machine is left as it was.
sources=/etc/apt/sources.list.d/velmorix-libusb-src.sources
drop_source_entry() {
    "${sudo_cmd[@]}" rm -f "$sources"
    "${sudo_cmd[@]}" apt-get update -qq
}
fetch_source() {
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
        "${sudo_cmd[@]}" tee "$sources" >/dev/null
    trap drop_source_entry EXIT
    "${sudo_cmd[@]}" apt-get update -qq
    mkdir -p "$out/src"
    (cd "$out/src" && apt-get source --download-only -qq libusb-1.0)
    trap - EXIT
    drop_source_entry
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
