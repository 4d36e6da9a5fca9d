#!/usr/bin/env bash
# Photographs the Win32 program's windows under Wine on a virtual display with a window manager,
# on the simulated board: the register console, the GPIO panel and the script window with a demo
# script loaded, each opened through the menus with the keyboard. The PNGs go to OUT_DIR.
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

# The first shown window whose title matches; a search may fail while windows come and go, so it
# is repeated for up to 30 s.
find_window() {
    local id
    for _ in $(seq 300); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    echo "no window \"$1\"" >&2
    return 1
}

VELMORIX_BRIDGE=sim wine "$bin/Velmorix_I2C_Comm.exe" &
pids+=($!)
main=$(timeout 120 xdotool search --sync --onlyvisible --name "^$caption\$" | head -n 1)
sleep 1
import -window "$main" "$out/win32-main-window.png"
echo "$out/win32-main-window.png"

# File > Open > GPIO Screen.
xdotool key F10 Down Right Down Down Return
panel=$(find_window '^GPIO Control$')
sleep 1
import -window "$panel" "$out/win32-gpio-panel.png"
echo "$out/win32-gpio-panel.png"

# File > Open > Script Execution, then the demo script in the open dialog.
printf '%s\r\n' '# Demo script: identity, a register write and read-back' '`A60' '02,,7A' '05,33' \
    '05,,33' '07,,01' '`ENDM' >"$work/demo.txt"
xdotool windowactivate --sync "$main" 2>/dev/null || true
xdotool key F10 Down Right Down Return
find_window 'Script File to Open' >/dev/null
xdotool type --delay 20 "$(winepath -w "$work/demo.txt")"
xdotool key Return
sleep 3; import -window root "$out/debug2.png"
script=$(find_window 'demo\.txt')
sleep 1
import -window "$script" "$out/win32-script-window.png"
echo "$out/win32-script-window.png"
