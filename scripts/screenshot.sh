#!/usr/bin/env bash
# Builds what is needed and photographs each window under a virtual X display (Xvfb) on the
# simulated bridge board: the register console, its log tab, the register console after a setup
# file was opened, the GPIO panel, the About box, the Register Map window with a map read and one
# register expanded, and the script window with a demo script loaded and run; then the Win32
# program's windows under Wine at 96 DPI and its console and Register Map window at 144 DPI, when
# scripts/windows.sh has built it. The PNGs go to build/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${VELMORIX_SCREENSHOT_DISPLAY:-}" ]; then
    ./scripts/deps.sh
    build=build/screens
    if [ ! -f "$build/build.ninja" ]; then
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORIX_BENCH=OFF
    fi
    cmake --build "$build" -j 2 --target view_scenes script_scenes
    exec xvfb-run -a -s "-screen 0 1280x1024x24" \
        env VELMORIX_SCREENSHOT_DISPLAY=1 VELMORIX_SCENES="$build/tests/qt/program/view_scenes" \
        VELMORIX_SCRIPT_SCENES="$build/tests/qt/script/script_scenes" "$0"
fi

out=build/screenshots
mkdir -p "$out"
export VELMORIX_BRIDGE=sim
unset QT_QPA_PLATFORM

# shoot SCENE "WINDOW TITLE" FILE [PROGRAM]: starts the scene (of view_scenes unless another
# scene program is given), waits until it is ready, photographs the window with that title, ends
# the scene.
shoot() {
    local scene=$1 title=$2 file=$3 program=${4:-$VELMORIX_SCENES} log
    log=$(mktemp)
    "$program" "$scene" >"$log" 2>&1 &
    local pid=$!
    for _ in $(seq 1 100); do
        grep -q '^ready' "$log" && break
        kill -0 "$pid" 2>/dev/null || { cat "$log"; exit 1; }
        sleep 0.1
    done
    sleep 0.5
    local wid
    wid=$(xwininfo -root -tree | grep -F "\"$title\":" | awk '{print $1}' | head -n 1)
    if [ -z "$wid" ]; then
        echo "no window \"$title\" for scene $scene" >&2
        kill "$pid"
        exit 1
    fi
    import -window "$wid" "$out/$file"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    rm -f "$log"
    echo "$out/$file"
}

shoot main "Velmorix I2C Communications Software" main-window.png
shoot log "Velmorix I2C Communications Software" main-window-log.png
shoot setup "demo.kvx - Velmorix I2CUSB" main-window-setup.png
shoot gpio "GPIO Control" gpio-panel.png
shoot about "About Velmorix_I2C_Comm" about-box.png
shoot regmap "sensor2009.xml - Register Map" register-map.png
shoot script "[ demo.txt ]    Script IC Send / Receive" script-window.png "$VELMORIX_SCRIPT_SCENES"

# The Win32 program under Wine, when the Windows build (scripts/windows.sh) has made it.
win32_bin=build/windows/x86_64/bin
if [ -f "$win32_bin/Velmorix_I2C_Comm.exe" ]; then
    ./scripts/win32-screenshots.sh "$win32_bin" "$out"
    ./scripts/win32-screenshots.sh "$win32_bin" "$out" 144 main regmap
else
    echo "No Win32 shots: run scripts/windows.sh first to build Velmorix_I2C_Comm.exe"
fi
