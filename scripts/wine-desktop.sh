# Sourced by the scripts that drive the Win32 program under Wine: a virtual display with a window
# manager, and a search for a shown window. `desktop_pids` holds what it started; the caller
# kills them when it ends.

desktop_pids=()

# Starts Xvfb (unless DISPLAY is already set; Wine keeps the display its prefix first met) and
# openbox on it; WORK_DIR receives the display number. Exports DISPLAY.
start_desktop() {
    local work=$1
    if [ -z "${DISPLAY:-}" ]; then
        Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
        desktop_pids+=($!)
        for _ in $(seq 50); do
            [ -s "$work/display" ] && break
            sleep 0.1
        done
        export DISPLAY=":$(cat "$work/display")"
    fi
    openbox >/dev/null 2>&1 &
    desktop_pids+=($!)
}

# Ends what start_desktop started.
stop_desktop() {
    for p in "${desktop_pids[@]}"; do
        kill "$p" 2>/dev/null || true
    done
}

# find_window REGEX [SECONDS]: the first shown window whose title matches; a search may fail while
# windows come and go, so it is repeated for up to SECONDS (default 30) seconds.
find_window() {
    local id
    for _ in $(seq $((${2:-30} * 10))); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    echo "no window \"$1\"" >&2
    return 1
}

# window_gone REGEX: waits up to 5 seconds until no shown window's title matches; fails if one
# still does.
window_gone() {
    for _ in $(seq 50); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1
}

# open_register_map MAP_FILE: from the main window (which has the focus), File > Open > Register
# Map..., then Enter on "Open Map..." (where the focus starts) and the map's name in the open
# dialog. Prints the window's id once its caption names the map and the dialog has gone.
open_register_map() {
    local file=$1 id
    xdotool key F10 Down Right Down Down Down Return
    find_window 'Register Map$' >/dev/null
    sleep 0.5
    xdotool key Return
    find_window '^Open Register Map$' >/dev/null
    xdotool type --delay 20 "$(winepath -w "$(realpath "$file")")"
    xdotool key Return
    id=$(find_window "^$(basename "$file" | sed 's/\./\\./g') - Register Map\$") || return 1
    window_gone '^Open Register Map$' || return 1
    echo "$id"
}
