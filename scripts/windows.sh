#!/usr/bin/env bash
# Cross-builds for Windows with MinGW-w64 (64-bit: the USB layer with libusb and the simulated
# board, Kestrow.dll, the models, the application object, the Win32 program Velmorix_I2C_Comm.exe,
# velmorix-script, velmorix-i2c and their tests, register maps through a static libxml2; 32-bit:
# Kestrow.dll with its USB layer), runs the tests under Wine (the window program on a virtual
# display, driven by keystrokes), packs the ZIP and the installer and checks both. Debian only. Everything lands in build/windows.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine wine64 googletest
    nlohmann-json3-dev libcli11-dev zip unzip nsis make bzip2 fonts-wine xvfb xdotool openbox
    imagemagick x11-utils bc dpkg-dev)
./scripts/ensure-packages.sh "${packages[@]}"

jobs=$(nproc)
out=build/windows
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
common=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORIX_GUI=OFF -DVELMORIX_BENCH=OFF
    -DVELMORIX_FUZZ=OFF -DVELMORIX_SANITIZE=OFF "${launcher[@]}")

# Wine keeps its own Windows folder here; no messages from Wine itself, no Mono or Gecko
# installers.
export WINEPREFIX="$PWD/$out/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# One virtual display for every Wine call here: Wine's desktop process keeps the display (or the
# lack of one) that the first program of the prefix met, so the window tests need it from the
# start. A Wine server left from an earlier run goes first.
mkdir -p "$out"
wineserver -k 2>/dev/null || true
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$out/display" 2>/dev/null &
xvfb=$!
trap 'wineserver -k 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    [ -s "$out/display" ] && break
    sleep 0.1
done
export DISPLAY=":$(cat "$out/display")"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Preparing the Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
fi

# libusb and libxml2 (the map readers') for both widths, from Debian's source packages; built
# once, then kept. The libxml2 step's time is printed: it is what a fresh clone pays for maps.
./scripts/windows-libusb.sh x86_64 i686
libusb="$PWD/$out/libusb"
started=$SECONDS
./scripts/windows-libxml2.sh x86_64 i686
echo "libxml2 for Windows: $((SECONDS - started)) s"
libxml2="$PWD/$out/libxml2"

# 32-bit: only Kestrow.dll and the DLLs it needs. No 32-bit Wine here, so it is inspected, not run.
cmake -S . -B "$out/i686" "${common[@]}" -DVELMORIX_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-i686.cmake \
    -DVELMORIX_LIBUSB_PREFIX="$libusb/i686" -DVELMORIX_LIBXML2_PREFIX="$libxml2/i686"
cmake --build "$out/i686" -j "$jobs" --target Kestrow

cmake -S . -B "$out/x86_64" "${common[@]}" -DVELMORIX_TESTS=ON \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake -DVELMORIX_WIN32_GUI=ON \
    -DVELMORIX_X86_BIN="$PWD/$out/i686/bin" -DVELMORIX_LIBUSB_PREFIX="$libusb/x86_64" \
    -DVELMORIX_LIBXML2_PREFIX="$libxml2/x86_64"
cmake --build "$out/x86_64" -j "$jobs"

# The program itself under Wine, as a user runs it: a script against the built-in board, and
# "usb" through libusb, which finds no board under Wine: a plain "no board", in time.
exe="$out/x86_64/bin/velmorix-script.exe"
work="$out/x86_64/smoke"
rm -rf "$work" && mkdir -p "$work"
printf '00,,00\r\n`ENDM\r\n' >"$work/s.txt"
wine "$exe" --version | tr -d '\r'
set +e
timeout 60 wine "$exe" --bridge usb "$work/s.txt" >"$work/usb.out" 2>"$work/usb.err"
usb_status=$?
set -e
tr -d '\r' <"$work/usb.err"
if [ "$usb_status" -ne 3 ] || ! grep -q "no board" "$work/usb.err" ||
    grep -q "no USB backend" "$work/usb.err"; then
    echo "velmorix-script.exe --bridge usb: expected exit 3 and \"no board\"," \
        "got $usb_status" >&2
    exit 1
fi

wine "$exe" --bridge sim "$work/s.txt" | tr -d '\r' >"$work/sim.out"
if [ "$(tail -n 1 "$work/sim.out")" != "1 passed, 0 failed" ]; then
    echo "velmorix-script.exe --bridge sim: the script did not pass" >&2
    exit 1
fi

ctest --test-dir "$out/x86_64" --output-on-failure -j "$jobs"

# Register maps as on Linux: velmorix-i2c.exe --map against a board with a target made from a map.
./scripts/windows-map-check.sh "$out/x86_64/bin" "$out/x86_64/map-check"

# The window program as a user runs it: starts on the simulated board, "Good" from the address box
# and Test, a clean end.
./scripts/win32-gui-test.sh "$out/x86_64/bin" "$out/x86_64/gui-test"

(cd "$out/x86_64" && rm -f Velmorix-*.zip Velmorix-*.exe && cpack -G "ZIP;NSIS" >/dev/null)
./scripts/windows-packages.sh "$out/x86_64"
