#!/usr/bin/env bash
# Cross-builds libxml2 for Windows (MinGW-w64, one static library per width) from Debian's own
# source package, with Debian's patches applied, into build/windows/libxml2/<arch>; a width
# already built there is kept, so a rerun costs nothing. Usage: windows-libxml2.sh x86_64 i686.
# Only what the map readers need: no iconv, zlib, lzma, HTTP, FTP, Python or programs.
set -euo pipefail
cd "$(dirname "$0")/.."

version=2.9.14
out="$PWD/build/windows/libxml2"
source_dir="$out/src/libxml2-$version"

unpack_source() {
    rm -rf "$out/src"
    ./scripts/debian-source.sh libxml2 "$out/src"
    local dsc
    dsc=$(ls "$out/src"/libxml2_"$version"*.dsc 2>/dev/null || true)
    if [ -z "$dsc" ]; then
        echo "windows-libxml2.sh: Debian's source package is not libxml2 $version:" \
            "$(ls "$out/src")" >&2
        exit 1
    fi
    # dpkg-source applies Debian's patches (its security fixes among them).
    (cd "$out/src" && dpkg-source -q -x --skip-debianization "$dsc" "libxml2-$version")
}

for arch in "$@"; do
    prefix="$out/$arch"
    if [ -f "$prefix/lib/libxml2.a" ] && [ -f "$prefix/include/libxml2/libxml/parser.h" ]; then
        continue
    fi
    [ -f "$source_dir/CMakeLists.txt" ] || unpack_source
    echo "Building libxml2 $version for $arch-w64-mingw32"
    work="$out/work-$arch"
    rm -rf "$work" "$prefix" && mkdir -p "$work"
    options=(-DBUILD_SHARED_LIBS=OFF -DCMAKE_BUILD_TYPE=Release -DLIBXML2_WITH_ICONV=OFF
        -DLIBXML2_WITH_ZLIB=OFF -DLIBXML2_WITH_LZMA=OFF -DLIBXML2_WITH_HTTP=OFF
        -DLIBXML2_WITH_FTP=OFF -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_PROGRAMS=OFF
        -DLIBXML2_WITH_TESTS=OFF -DLIBXML2_WITH_MODULES=OFF
        # Its functions are declared for a static library already while it is built: else each
        # object asks to be exported, and the USB layer's DLL would export all of libxml2.
        -DCMAKE_C_FLAGS=-DLIBXML_STATIC)
    if ! (cmake -S "$source_dir" -B "$work" -G Ninja "${options[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/mingw-w64-$arch.cmake" \
        -DCMAKE_INSTALL_PREFIX="$prefix" &&
        cmake --build "$work" -j "$(nproc)" &&
        cmake --install "$work" --component development &&
        cmake --install "$work" --component runtime) >"$work/build.log" 2>&1; then
        tail -n 40 "$work/build.log" >&2
        echo "windows-libxml2.sh: building libxml2 for $arch failed (log: $work/build.log)" >&2
        exit 1
    fi
    rm -rf "$work"
done
