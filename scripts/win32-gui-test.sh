#!/usr/bin/env bash
# Runs the Win32 program under Wine on a virtual display with a window manager, the way a user
# would: it starts on the simulated board and shows the main window with its caption; "File" >
# "Capture..." starts a capture to a file; typed keys put an address in the address box and Enter
# runs the communication test, which shows "Good"; the About box opens from the menu bar and Esc
# closes it; "Stop Capture" ends the capture, which holds the test's I2C messages; a capture to a
# file that cannot be written gives a message box centred on the main window, wherever it was
# moved; the Register Map window opens from File > Open, takes a map from its open dialog, reads
# all registers and writes a field edited from the keyboard (F2, a value, Enter); Alt+F4 ends the
# program cleanly. The program writes its controls' places and texts (the log's lines among them)
# to the file named by VELMORIX_WIN32_STATE, which is how this script sees them.
#     scripts/win32-gui-test.sh BIN_DIR WORK_DIR
# Needs Xvfb, openbox, xdotool and wine (wine64); the caller's WINEPREFIX is used, and the
# caller's DISPLAY when it has one (Wine keeps the display its prefix first met).
set -euo pipefail
bin=$1
work=$2
rm -rf "$work" && mkdir -p "$work"
state="$work/state.txt"
caption="Velmorix I2C Communications Software"

source "$(dirname "$0")/wine-desktop.sh"
cleanup() {
    stop_desktop
    wineserver -w 2>/dev/null || true
}
trap cleanup EXIT
start_desktop "$work"

started=$(date +%s.%N)
VELMORIX_BRIDGE=sim VELMORIX_WIN32_STATE="$(winepath -w "$state" 2>/dev/null || echo "$state")" \
    wine "$bin/Velmorix_I2C_Comm.exe" &
program=$!
window=$(find_window "^$caption\$" 120)
shown=$(date +%s.%N)
title=$(xdotool getwindowname "$window")
[ "$title" = "$caption" ] || { echo "main window caption: '$title'" >&2; exit 1; }
echo "main window \"$title\" shown after $(echo "$shown - $started" | bc) s"

# The address box's place on the screen, from the program's own list of its controls.
for _ in $(seq 100); do
    grep -q $'^place\ttxtI2CAdr\t' "$state" 2>/dev/null && break
    sleep 0.1
done
read -r left top right bottom < <(awk -F'\t' '$1 == "place" && $2 == "txtI2CAdr" {print $3, $4, $5, $6}' "$state")
# The window takes the focus once the window manager has mapped it.
xdotool windowactivate --sync "$window" 2>/dev/null || sleep 1

# capture PATH: "File" > "Capture..." (the third entry of "File") and PATH in the save dialog.
capture() {
    xdotool key F10 Down Down Down Return
    find_window '^Capture I2C Messages To$' >/dev/null
    xdotool type --delay 20 "$(winepath -w "$1")"
    xdotool key Return
    for _ in $(seq 50); do
        xdotool search --onlyvisible --name '^Capture I2C Messages To$' >/dev/null 2>&1 || break
        sleep 0.1
    done
}
capture "$work/bus.pcapng"

# captured_packets FILE: how many I2C messages (enhanced packet blocks, type 6) a pcapng file
# holds so far; each is flushed as it is written.
captured_packets() {
    /usr/bin/python3 - "$1" <<'PY'
import struct, sys
try:
    data = open(sys.argv[1], "rb").read()
except OSError:
    data = b""
count, at = 0, 0
if data[:4] == b"\x0a\x0d\x0d\x0a":
    while at + 8 <= len(data):
        kind, length = struct.unpack_from("<II", data, at)
        count += kind == 6
        at += max(length, 12)
print(count)
PY
}

xdotool mousemove $(((left + right) / 2)) $(((top + bottom) / 2)) click 1
xdotool key End shift+Home BackSpace
xdotool type --delay 50 "60"
xdotool key Return
# The communication test runs with yields, in which the menu keys below would be taken: wait
# until its messages are in the capture (10 s at most) before going on.
for _ in $(seq 100); do
    [ "$(captured_packets "$work/bus.pcapng")" -gt 0 ] && break
    sleep 0.1
done

# The About box from the menu bar with the keyboard; Esc closes it like its OK button.
sleep 0.5
xdotool key F10 Right Return
about=$(find_window '^About ' 30)
xdotool key Escape
if ! window_gone '^About '; then
    echo "Esc did not close the About box ($about)" >&2
    exit 1
fi
echo "About box opened from the menu and closed with Esc"

# "Stop Capture" is where "Capture..." was.
xdotool key F10 Down Down Down Return
sleep 0.5

# A message box stands over the window that raised it, not in the middle of the screen: the main
# window moves to the corner, and a capture to a folder that does not exist is refused.
# centre WINDOW: the centre of the window on the screen, "X Y".
centre() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
        /Width:/ {w = $NF} /Height:/ {h = $NF} END {print int(x + w / 2), int(y + h / 2)}'
}
xdotool windowmove --sync "$window" 0 0 2>/dev/null || xdotool windowmove "$window" 0 0
sleep 0.5
capture "$work/missing/bus.pcapng"
box=$(find_window '^Velmorix_I2C_Comm$' 30)
sleep 0.5
read -r boxX boxY < <(centre "$box")
read -r mainX mainY < <(centre "$window")
xdotool key Return
# The main window's X window holds its menu bar too: centres within 16 pixels are the same.
if [ $((boxX - mainX)) -gt 16 ] || [ $((mainX - boxX)) -gt 16 ] ||
    [ $((boxY - mainY)) -gt 16 ] || [ $((mainY - boxY)) -gt 16 ]; then
    echo "message box centred at $boxX,$boxY, its window at $mainX,$mainY" >&2
    import -window root "$work/box.png" || true
    exit 1
fi
echo "message box at $boxX,$boxY over its window at $mainX,$mainY"

# File > Open > Register Map..., last in its menu. The focus starts on "Open Map...": Enter opens
# the dialog. Then Tab to "Read All", Enter; Tab to the registers, down to CTRL, Right opens it,
# down to its field GAIN, F2 edits the value, Enter writes it.
# A key that arrives while an operation still runs is dropped, as a click would be: each step
# waits well past the time its operation takes on a busy machine.
regmap=$(open_register_map "$(dirname "$0")/../tests/python/sensor.svd")
sleep 1.5
xdotool key Tab Tab Tab Return
sleep 3
xdotool key Tab Down Down Right Down Down Down F2
sleep 0.3
xdotool type --delay 50 "5"
xdotool key Return
sleep 3
xdotool key alt+F4
if ! window_gone 'Register Map$'; then
    echo "Alt+F4 did not close the Register Map window ($regmap)" >&2
    exit 1
fi
echo "Register Map window: map opened, read, a field written from the keyboard"
xdotool windowactivate --sync "$window" 2>/dev/null || sleep 1

# A close while the test's operation still runs is refused (the log says why), as for a user:
# ask again until the program ends.
set +e
for _ in $(seq 10); do
    sleep 1
    xdotool key alt+F4
    timeout 3 tail --pid="$program" -f /dev/null && break
done
if kill -0 "$program" 2>/dev/null; then
    echo "Velmorix_I2C_Comm.exe did not end after Alt+F4 (screen: $work/stuck.png)" >&2
    import -window root "$work/stuck.png" || true
    wineserver -k
    exit 1
fi
wait "$program"
status=$?
set -e
[ "$status" -eq 0 ] || { echo "Velmorix_I2C_Comm.exe ended with $status" >&2; exit 1; }

tr -d '\r' <"$state" >"$work/state.unix"
expect() {
    grep -qx "$1" "$work/state.unix" || {
        echo "expected the line '$1' in the program's state:" >&2
        grep -v $'^place\t' "$work/state.unix" | head -n 40 >&2
        exit 1
    }
}
expect $'caption\t'"$caption"
expect $'txtI2CAdr\t60'
expect $'lblCommTest\tGood'
expect_log() {
    grep -q "^$1 :" "$work/state.unix" || {
        echo "expected the log line '$1':" >&2
        grep '^Register Map' "$work/state.unix" >&2
        exit 1
    }
}
expect_log "Register Map: device 60: read 5 registers, 1 differ from reset"
expect_log "Register Map: device 60 CTRL.GAIN = 5: read 00, wrote 50, read back 50"
echo "address box and Test: Good; Read All and the field's masked write in the log; the program ended cleanly"

# The log tells each capture's start and end and the refused one; the file is a pcapng capture
# with the test's I2C messages in it (enhanced packet blocks, type 6).
for line in "Capture started: $(winepath -w "$work/bus.pcapng")" \
    "Capture stopped: $(winepath -w "$work/bus.pcapng")" \
    "Cannot write capture $(winepath -w "$work/missing/bus.pcapng")"; do
    grep -qF "$line" "$work/state.unix" || { echo "no log line \"$line\"" >&2; exit 1; }
done
packets=$(captured_packets "$work/bus.pcapng")
[ "$packets" -gt 0 ] || { echo "the capture holds no I2C messages" >&2; exit 1; }
echo "capture started and stopped from the menu: $packets I2C messages"
