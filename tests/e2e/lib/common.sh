# Shared by the end-to-end checks: the real player under Xvfb, driven with xdotool.
# Needs TP_PLAYER (the x86_64 testplayer.exe) and TP_APPENDPAYLOAD (the native tool).
set -eu

E2E_ROOT=${E2E_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
WINE=/usr/lib/wine/wine64
export WINEPREFIX="${TP_E2E_WINEPREFIX:-$E2E_ROOT/build/wine-x11}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$E2E_ROOT/scripts/wine-prefix" "$WINEPREFIX" x11

WORK=$(mktemp -d)
E2E_PIDS=""
E2E_FAILED=0

fail() {
    echo "FAIL: $*" >&2
    E2E_FAILED=1
}

e2e_cleanup() {
    "${WINE%/*}/wineserver" -k 2>/dev/null || true
    for pid in $E2E_PIDS; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap e2e_cleanup EXIT

# Starts Xvfb on a free display and exports DISPLAY.
start_xvfb() {
    exec 5>"$WORK/display"
    Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
    E2E_PIDS="$E2E_PIDS $!"
    for _ in $(seq 1 100); do
        [ -s "$WORK/display" ] && break
        sleep 0.05
    done
    DISPLAY=":$(head -n1 "$WORK/display")"
    export DISPLAY
    "${WINE%/*}/wineserver" -p
}

# Wine's temporary folder in the prefix, where the player puts its archive copy.
wine_temp() {
    echo "$WINEPREFIX/drive_c/users/$(id -un)/Temp"
}

# Waits until a window whose title matches the regex is there; prints its id.
wait_window() {
    for _ in $(seq 1 ${2:-600}); do
        w=$(xdotool search --name "$1" 2>/dev/null | head -n1 || true)
        if [ -n "$w" ]; then
            echo "$w"
            return 0
        fi
        sleep 0.05
    done
    return 1
}

# Presses the default button of a message box as a person would: a click into the box
# gives it the keyboard, then Return.
press_return_in() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove --sync $((X + 10)) $((Y + 10)) click 1
    sleep 0.2
    xdotool key Return
}

# Counts pixels of a screen rectangle: prints "light dark" (light: channel sum over 600,
# dark: under 384).
count_pixels() { # png x y w h
    convert "$1" -crop "$4x$5+$2+$3" +repage -colorspace sRGB -depth 8 txt:- |
        awk 'NR > 1 && match($0, /: \([0-9]+,[0-9]+,[0-9]+/) {
                 split(substr($0, RSTART + 3, RLENGTH - 3), c, ",")
                 s = c[1] + c[2] + c[3]
                 if (s > 600) l++; else if (s < 384) d++
             }
             END { printf "%d %d\n", l, d }'
}

finish() {
    if [ "$E2E_FAILED" -ne 0 ]; then exit 1; fi
    echo "ok"
}
