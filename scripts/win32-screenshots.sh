#!/usr/bin/env bash
# Photographs the Win32 program's windows under Wine on a virtual display with a window manager,
# on the simulated board: the register console (main), the About box (about), the GPIO panel
# (gpio), the script window with a demo script loaded (script) and the Register Map window with a
# map read and two registers expanded (regmap), each opened through the menus with the keyboard;
# the WINDOWs named, or all of them. The PNGs go to OUT_DIR, named win32-*.png,
# win32-*-DPIdpi.png at another DPI than 96. DPI (96 unless given) is the screen's scale, Wine's
# LogPixels, set for the run and put back to 96 after it.
#     scripts/win32-screenshots.sh BIN_DIR OUT_DIR [DPI [WINDOW...]]
set -euo pipefail
bin=$1
out=$2
dpi=${3:-96}
shift $(($# < 3 ? $# : 3))
windows=("$@")
suffix=""
[ "$dpi" = 96 ] || suffix="-${dpi}dpi"
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
# wanted WINDOW: true when WINDOW is to be photographed.
wanted() {
    [ ${#windows[@]} -eq 0 ] && return 0
    local w
    for w in "${windows[@]}"; do
        [ "$w" = "$1" ] && return 0
    done
    return 1
}
# shoot WINDOW_ID NAME: the window's PNG.
shoot() {
    sleep 1
    import -window "$1" "$out/win32-$2$suffix.png"
    echo "$out/win32-$2$suffix.png"
}
unset DISPLAY
start_desktop "$work"
[ "$dpi" = 96 ] || set_dpi "$dpi"

VELMORIX_BRIDGE=sim wine "$bin/Velmorix_I2C_Comm.exe" &
main=$(find_window "^$caption\$")
if wanted main; then
    shoot "$main" main-window
fi

# The About box from the menu bar; Esc closes it.
if wanted about; then
    xdotool key F10 Right Return
    shoot "$(find_window '^About ')" about-box
    xdotool key Escape
    sleep 0.5
fi

# File > Open > GPIO Screen; closing the panel gives the focus back to the main window.
if wanted gpio; then
    xdotool key F10 Down Right Down Down Return
    shoot "$(find_window '^GPIO Control$')" gpio-panel
    xdotool key alt+F4
    sleep 1
    xdotool windowactivate --sync "$main" 2>/dev/null || true
fi

# File > Open > Script Execution, then the demo script in the open dialog; closing the window
# gives the focus back to the main window.
if wanted script; then
    printf '%s\r\n' '# Demo script: identity, a register write and read-back' '`A60' '02,,7A' \
        '05,33' '05,,33' '07,,01' '`ENDM' >"$work/demo.txt"
    xdotool key F10 Down Right Down Return
    find_window 'Script File to Open' >/dev/null
    xdotool type --delay 20 "$(winepath -w "$work/demo.txt")"
    xdotool key Return
    shoot "$(find_window 'demo\.txt')" script-window
    xdotool key alt+F4
    sleep 1
    xdotool windowactivate --sync "$main" 2>/dev/null || true
fi

# File > Open > Register Map..., a map from its open dialog, "Read All", then CTRL and STATUS
# expanded from the keyboard with MODE selected.
if wanted regmap; then
    regmap=$(open_register_map "$(dirname "$0")/../tests/python/sensor.svd")
    sleep 1.5
    xdotool key Tab Tab Tab Return
    sleep 3
    xdotool key Tab Down Down Right Down Down Down Down Right Up Up
    shoot "$regmap" register-map
fi
