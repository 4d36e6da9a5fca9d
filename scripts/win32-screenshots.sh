#!/usr/bin/env bash
# Photographs the Win32 program's windows under Wine on a virtual display with a window manager,
# on the simulated board: the register console, the About box, the GPIO panel, the script
# window with a demo script loaded and the Register Map window with a map read and two registers
# expanded, each opened through the menus with the keyboard. The PNGs go to
# OUT_DIR. DPI (96 unless given) is the screen's scale, Wine's LogPixels, set for the run and put
# back to 96 after it.
#     scripts/win32-screenshots.sh BIN_DIR OUT_DIR [DPI]
set -euo pipefail
bin=$1
out=$2
dpi=${3:-96}
mkdir -p "$out"
work=$(mktemp -d)
export WINEPREFIX=${WINEPREFIX:-$PWD/build/windows/wineprefix} WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
caption="Velmorix I2C Communications Software"

source "$(dirname "$0")/wine-desktop.sh"
set_dpi() {
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    wineserver -w
}
cleanup() {
    stop_desktop
    wineserver -k 2>/dev/null || true
    [ "$dpi" = 96 ] || set_dpi 96
    rm -rf "$work"
}
trap cleanup EXIT
unset DISPLAY
start_desktop "$work"
[ "$dpi" = 96 ] || set_dpi "$dpi"

VELMORIX_BRIDGE=sim wine "$bin/Velmorix_I2C_Comm.exe" &
main=$(find_window "^$caption\$")
sleep 1
import -window "$main" "$out/win32-main-window.png"
echo "$out/win32-main-window.png"

# The About box from the menu bar; Esc closes it.
xdotool key F10 Right Return
about=$(find_window '^About ')
sleep 1
import -window "$about" "$out/win32-about-box.png"
echo "$out/win32-about-box.png"
xdotool key Escape
sleep 0.5

# File > Open > GPIO Screen.
xdotool key F10 Down Right Down Down Return
panel=$(find_window '^GPIO Control$')
sleep 1
import -window "$panel" "$out/win32-gpio-panel.png"
echo "$out/win32-gpio-panel.png"

# File > Open > Script Execution, then the demo script in the open dialog.
printf '%s\r\n' '# Demo script: identity, a register write and read-back' '`A60' '02,,7A' '05,33' \
    '05,,33' '07,,01' '`ENDM' >"$work/demo.txt"
# Closing the panel gives the focus back to the main window.
xdotool key alt+F4
sleep 1
xdotool windowactivate --sync "$main" 2>/dev/null || true
xdotool key F10 Down Right Down Return
find_window 'Script File to Open' >/dev/null
xdotool type --delay 20 "$(winepath -w "$work/demo.txt")"
xdotool key Return
script=$(find_window 'demo\.txt')
sleep 1
import -window "$script" "$out/win32-script-window.png"
echo "$out/win32-script-window.png"

# File > Open > Register Map..., a map from its open dialog, "Read All", then CTRL and STATUS
# expanded from the keyboard with MODE selected.
xdotool key alt+F4
sleep 1
xdotool windowactivate --sync "$main" 2>/dev/null || true
regmap=$(open_register_map "$(dirname "$0")/../tests/python/sensor.svd")
sleep 1.5
xdotool key Tab Tab Tab Return
sleep 3
xdotool key Tab Down Down Right Down Down Down Down Right Up Up
sleep 1
import -window "$regmap" "$out/win32-register-map.png"
echo "$out/win32-register-map.png"
