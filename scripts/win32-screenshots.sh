#!/usr/bin/env bash
# Photographs the Win32 program's windows under Wine on a virtual display with a window manager,
# on the simulated board: the register console and the GPIO panel (opened through
# File > Open > GPIO Screen with the keyboard). The PNGs go to OUT_DIR.
#     scripts/win32-screenshots.sh BIN_DIR OUT_DIR
set -euo pipefail
bin=$1
out=$2
mkdir -p "$out"
work=$(mktemp -d)
export WINEPREFIX=${WINEPREFIX:-$PWD/build/windows/wineprefix} WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
caption="Velmorix I2C Communications Software"

pids=()
cleanup() {
    for p in "${pids[@]}"; do
        kill "$p" 2>/dev/null || true
    done
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
export DISPLAY=":$(cat "$work/display")"
openbox >/dev/null 2>&1 &
pids+=($!)

VELMORIX_BRIDGE=sim wine "$bin/Velmorix_I2C_Comm.exe" &
pids+=($!)
main=$(timeout 120 xdotool search --sync --onlyvisible --name "^$caption\$" | head -n 1)
sleep 1
import -window "$main" "$out/win32-main-window.png"
echo "$out/win32-main-window.png"

# File > Open > GPIO Screen.
xdotool key F10 Down Right Down Down Return
panel=$(timeout 30 xdotool search --sync --onlyvisible --name '^GPIO Control$' | head -n 1)
sleep 1
import -window "$panel" "$out/win32-gpio-panel.png"
echo "$out/win32-gpio-panel.png"
