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
