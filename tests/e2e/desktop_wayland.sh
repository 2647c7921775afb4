#!/usr/bin/env bash
# The player as a native Wayland client (SDL_VIDEODRIVER=wayland) on a scaled display:
# weston with its X11 back end on Xvfb, one output of 640x480 at scale 2 (1280x960
# pixels), and a seat with a keyboard (SDL 2.26 cannot start on a compositor without
# one, such as weston's headless back end). The settings form is a GTK window on the
# same Xvfb. Accepted as opened (fullscreen 640x480): the show's toplevel carries its
# title, its drawable has every pixel of the output (buffers of 1280x960 at scale 2,
# not 640x480 magnified by the compositor) and the picture reaches all four corners;
# Escape ends the run with status 0.
# Usage: desktop_wayland.sh BUILD_DIR SOURCE_DIR
set -u
BUILD_DIR=$(cd "${1:?build dir}" && pwd)
source "$(dirname "$0")/player_lib.bash"
for tool in Xvfb weston xdotool; do
    command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
done
[ -x "$BUILD_DIR/sunmarrow" ] || { echo "FAIL: $BUILD_DIR/sunmarrow is missing"; exit 1; }
e2e_build_grey
SHOW_DATA=${SUNMARROW_TEST_DATA:-}
[ -n "$SHOW_DATA" ] && [ -d "$SHOW_DATA" ] ||
    { echo "FAIL: the generated data set (SUNMARROW_TEST_DATA) is missing"; exit 1; }

# Xvfb without a window manager: weston's window (1280x960) sits at 0,0.
e2e_start_server Xvfb Xvfb -screen 0 1600x1200x24

export XDG_RUNTIME_DIR=$E2E_TMP/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
socket=wl-sunmarrow-$$
weston --backend=x11-backend.so --use-pixman --width=640 --height=480 --scale=2 \
    --socket="$socket" >"$E2E_TMP/weston.log" 2>&1 &
weston=$!
E2E_PIDS+=("$weston")
# weston_up: its socket is there and its window is on the X screen, or it has ended.
weston_up() {
    { [ -S "$XDG_RUNTIME_DIR/$socket" ] && xdotool search --onlyvisible --class weston >/dev/null 2>&1; } ||
        ! kill -0 "$weston" 2>/dev/null
}
# A loaded machine may take a while to start it.
e2e_poll 60 weston_up
if ! kill -0 "$weston" 2>/dev/null; then
    echo "skipped: weston did not start on Xvfb"
    tail -20 "$E2E_TMP/weston.log"
    exit 77
fi
if ! [ -S "$XDG_RUNTIME_DIR/$socket" ] || ! xdotool search --onlyvisible --class weston >/dev/null 2>&1; then
    echo "FAIL: weston runs but shows no window or socket after a minute"
    tail -20 "$E2E_TMP/weston.log"
    exit 1
fi

# The player: SDL on Wayland, GTK (the form) on X, the client's protocol log on stderr.
mkdir -p "$E2E_TMP/run"
ln -s "$SHOW_DATA" "$E2E_TMP/run/data"
(cd "$E2E_TMP/run" && exec env SDL_VIDEODRIVER=wayland WAYLAND_DISPLAY="$socket" GDK_BACKEND=x11 \
    SDL_AUDIODRIVER=dummy WAYLAND_DEBUG=client "$BUILD_DIR/sunmarrow" \
    >"$E2E_TMP/player.out" 2>"$E2E_TMP/player.err") &
PLAYER_PID=$!
E2E_PIDS+=("$PLAYER_PID")
form=$(e2e_find_dialog 20) || { echo "FAIL: no settings form"; cat "$E2E_TMP/player.err"; exit 1; }
sleep 0.3
xdotool windowfocus --sync "$form" >/dev/null 2>&1
sleep 0.2
xdotool key Return

# toplevel_up: the client has asked for the show's toplevel in fullscreen, or it ended.
toplevel_up() {
    { grep -q 'set_title("Tessaly - Sunmarrow")' "$E2E_TMP/player.err" &&
        grep -q 'xdg_toplevel@[0-9]*\.set_fullscreen' "$E2E_TMP/player.err"; } ||
        ! kill -0 "$PLAYER_PID" 2>/dev/null
}
e2e_poll 20 toplevel_up
e2e_check "a Wayland toplevel titled 'Tessaly - Sunmarrow'" \
    "$(grep -c 'xdg_toplevel@[0-9]*\.set_title("Tessaly - Sunmarrow")' "$E2E_TMP/player.err")" "1"
e2e_check "fullscreen on the output" "$(grep -c 'xdg_toplevel@[0-9]*\.set_fullscreen' "$E2E_TMP/player.err")" "1"

# Some seconds into the show the picture reaches every corner of the window: neither
# black (the show opens on black; a loaded machine draws few frames at this size, hence
# the patience) nor the scene's pale clear colour, which is what a view smaller than
# the drawable leaves around the picture. Until the show's surface is up the screen
# shows weston's own background, so the corners count only once they have been black.
# corner_greys: the mean grey of a 32x32 square in each corner of weston's output, each
# after a space; a "?" for each when no picture could be taken. Quick: a loaded machine
# must not let the show's first, black seconds pass between two pictures.
corner_greys() {
    local greys
    greys=$(e2e_grey root 32x32+0+0 32x32+1248+0 32x32+0+928 32x32+1248+928) || greys="? ? ? ?"
    echo " $greys"
}
# all_corners_black: every corner is black, as the show's first frames are.
all_corners_black() {
    local grey
    corners=$(corner_greys)
    for grey in $corners; do
        [[ "$grey" =~ ^[0-9]+$ ]] && [ "$grey" -le 8 ] || return 1
    done
}
# all_corners_lit: DARK counts the corners not in the picture (an unmeasured one is one);
# the player must still be running, its surface still up.
all_corners_lit() {
    local grey
    corners=$(corner_greys)
    dark=0
    for grey in $corners; do
        [[ "$grey" =~ ^[0-9]+$ ]] && [ "$grey" -gt 8 ] && [ "$grey" -lt 200 ] || dark=$((dark + 1))
    done
    [ "$dark" -eq 0 ] && kill -0 "$PLAYER_PID" 2>/dev/null
}
corners=" ? ? ? ?" dark=4
if e2e_poll 20 all_corners_black; then first=black; else first="not black"; fi
e2e_check "the show's surface covers the output, black at first (grey${corners})" "$first" "black"
e2e_poll 40 all_corners_lit
e2e_check "the picture reaches all four corners (grey${corners})" "$dark" "0"
if [ "$dark" -ne 0 ]; then
    cat "$E2E_TMP/grey.err"
    import -window root "$BUILD_DIR/wayland-shot.png" 2>/dev/null && echo "screenshot: $BUILD_DIR/wayland-shot.png"
fi
e2e_check "buffers at scale 2" "$(grep -c 'wl_surface@[0-9]*\.set_buffer_scale(2)' "$E2E_TMP/player.err")" "1"
e2e_check "buffers of every pixel of the output (1280x960)" \
    "$(grep -c 'create_buffer(new id wl_buffer@[0-9]*, [0-9]*, 1280, 960,' "$E2E_TMP/player.err" | awk '{print ($1 > 0)}')" "1"

# Escape through weston's window, which must gain the X focus for weston to give its
# keyboard to the show's surface. The pointer stays outside that window: weston 10 takes
# the second focus-out that X sends for a window under the pointer as the loss of the
# surface it should give the keyboard back to.
xdotool mousemove 1500 1100
compositor=$(xdotool search --onlyvisible --class weston | head -n1)
root=$(xwininfo -root | awk '/Window id:/ {print $4}')
for ((i = 0; i < 5; i++)); do
    xdotool windowfocus --sync "$root" >/dev/null 2>&1
    xdotool windowfocus --sync "$compositor" >/dev/null 2>&1
    sleep 0.2
    xdotool key Escape
    e2e_wait_exit "$PLAYER_PID" 1
    [ "$EXIT_STATUS" = timeout ] || break
done
e2e_check "Escape ends the run" "$EXIT_STATUS" "0"
e2e_check "nothing on standard output" "$(cat "$E2E_TMP/player.out")" ""

if [ "$E2E_FAILURES" -ne 0 ]; then
    echo "--- player stderr (no protocol lines)"
    grep -v '^\[' "$E2E_TMP/player.err" | tail -20
    echo "--- weston"
    tail -20 "$E2E_TMP/weston.log"
    exit 1
fi
echo "all Wayland checks passed"
