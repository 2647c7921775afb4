#!/usr/bin/env bash
# The player on a desktop of two monitors, with openbox: the primary one is the right
# one, so it does not start at the desktop's (0, 0). A windowed run's outer top-left
# is the primary monitor's top-left; a fullscreen run switches that monitor alone and
# covers exactly it, and Escape puts its mode back. Unplugging the switched monitor
# under the show leaves the run to end with status 0 and the other monitor in its
# mode. With two equal monitors a switch there would leave the primary monitor off
# (see src/platform/desktop/desktop_rules.h): the window covers it in its own mode,
# and both monitors stay as they were.
# Xvfb cannot host this (with Xinerama its heads show as one display, without it both
# sit at 0,0), so it runs an Xorg server with the dummy video driver, which needs root.
# Usage: desktop_monitors.sh BUILD_DIR SOURCE_DIR
set -u
BUILD_DIR=$(cd "${1:?build dir}" && pwd)
source "$(dirname "$0")/player_lib.bash"
for tool in Xorg openbox xdotool xwininfo xprop xrandr; do
    command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
done
[ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ] ||
    { echo "skipped: the Xorg dummy video driver (xserver-xorg-video-dummy) is not installed"; exit 77; }
[ "$(id -u)" -eq 0 ] || { echo "skipped: Xorg with the dummy driver needs root"; exit 77; }
[ -x "$BUILD_DIR/sunmarrow" ] || { echo "FAIL: $BUILD_DIR/sunmarrow is missing"; exit 1; }
e2e_build_grey

cat >"$E2E_TMP/dummy.conf" <<'EOF'
Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "AutoEnableDevices" "false"
    Option "DontVTSwitch" "true"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 256000
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 3840 1080
    EndSubSection
EndSection
EOF
e2e_start_server --wm Xorg Xorg -config "$E2E_TMP/dummy.conf" -logfile "$E2E_TMP/xorg-server.log" -noreset

# monitor NAME: "WxH+X+Y" of the output.
monitor() { xrandr | awk -v n="$1" '$1 == n {for (i = 3; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+/) {print $i; exit}}'; }
both_monitors() { echo "$(monitor DUMMY0) $(monitor DUMMY1)"; }

# DUMMY0 at the left, 1280x720; DUMMY1 at its right and primary, 1024x768 (800x600
# offered). DUMMY0 reaches beyond both of DUMMY1's sizes, so switching is safe.
xrandr --newmode 1280x720_test 74.50 1280 1344 1472 1664 720 723 728 748 -hsync +vsync &&
    xrandr --addmode DUMMY0 1280x720_test && xrandr --addmode DUMMY1 1024x768 &&
    xrandr --addmode DUMMY1 800x600 &&
    xrandr --output DUMMY0 --mode 1280x720_test --output DUMMY1 --mode 1024x768 --right-of DUMMY0 --primary ||
    { echo "FAIL: the second monitor could not be set up"; xrandr; exit 1; }
e2e_check "primary monitor at the right" "$(monitor DUMMY1)" "1024x768+1280+0"

# The generated data set, so that the show has a picture to look at.
SHOW_DATA=${SUNMARROW_TEST_DATA:-}
if [ -n "$SHOW_DATA" ] && [ -d "$SHOW_DATA" ]; then
    mkdir -p "$E2E_TMP/run"
    ln -s "$SHOW_DATA" "$E2E_TMP/run/data"
else
    SHOW_DATA=""
    unchecked="the picture is not looked at: no generated data set (SUNMARROW_TEST_DATA)"
fi

show_window() {
    WINDOW=$(e2e_find_window "Tessaly - Sunmarrow" 20) || {
        echo "FAIL: no window titled 'Tessaly - Sunmarrow'"
        cat "$E2E_TMP/player.err"
        exit 1
    }
}

# client_rect ID: "WxH+X+Y" of the window's client area on the desktop.
client_rect() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
                             /^  Width:/ {w = $2} /^  Height:/ {h = $2} END {print w "x" h "+" x "+" y}'
}

end_with_escape() {
    xdotool windowactivate --sync "$WINDOW" >/dev/null 2>&1
    xdotool key Escape
    e2e_wait_exit "$PLAYER_PID" 5
    e2e_check "$1: Escape ends the run" "$EXIT_STATUS" "0"
    if [ "$EXIT_STATUS" = timeout ]; then
        kill -KILL "$PLAYER_PID" 2>/dev/null
        wait "$PLAYER_PID" 2>/dev/null
    fi
}

# --- windowed 640x480 (Tab to "Fullscreen", clear it, Enter)
e2e_launch
e2e_answer_dialog Tab Tab space Return
show_window
e2e_check "windowed: outer top-left at the primary monitor's" "$(e2e_wait_output 10 1280,0 e2e_outer_origin "$WINDOW")" "1280,0"
end_with_escape "windowed"

# --- fullscreen 800x600 (Tab to the sizes, Down to 800x600, Enter)
e2e_launch
e2e_answer_dialog Tab Tab Tab Down Return
show_window
e2e_check "fullscreen: primary monitor switched" "$(e2e_wait_output 10 800x600+1280+0 monitor DUMMY1)" "800x600+1280+0"
e2e_check "fullscreen: window covers exactly the primary monitor" \
    "$(e2e_wait_output 10 800x600+1280+0 client_rect "$WINDOW")" "800x600+1280+0"
# The switch is done and the window placed on it, so nothing more is coming for the
# other monitor.
e2e_check "fullscreen: other monitor untouched" "$(monitor DUMMY0)" "1280x720+0+0"
end_with_escape "fullscreen"
e2e_check "fullscreen: primary monitor's mode back" "$(e2e_wait_output 5 1024x768+1280+0 monitor DUMMY1)" "1024x768+1280+0"

# --- the switched monitor unplugged (turned off) under the show: Escape still ends the
# run with status 0, and the remaining monitor keeps its mode
e2e_launch --fullscreen --size 800x600 --no-music
show_window
e2e_wait_output 10 800x600+1280+0 monitor DUMMY1 >/dev/null
xrandr --output DUMMY1 --off
e2e_check "unplugged: the primary monitor is off" "$(e2e_wait_output 10 "" monitor DUMMY1)" ""
end_with_escape "unplugged"
e2e_check "unplugged: the remaining monitor in its mode" "$(monitor DUMMY0)" "1280x720+0+0"

# --- two equal monitors, the primary one on the right: switching there would leave it
# turned off, so the fullscreen window covers it in the mode it has
xrandr --output DUMMY0 --mode 1024x768 --output DUMMY1 --mode 1024x768 --right-of DUMMY0 --primary
e2e_check "equal monitors: primary monitor at the right" "$(monitor DUMMY1)" "1024x768+1024+0"
e2e_launch
e2e_answer_dialog Tab Tab Tab Down Return
show_window
e2e_check "equal monitors: fullscreen window covers exactly the primary monitor" \
    "$(e2e_wait_output 10 1024x768+1024+0 client_rect "$WINDOW")" "1024x768+1024+0"
e2e_check "equal monitors: fullscreen state" "$(e2e_poll 10 e2e_has_state "$WINDOW" FULLSCREEN && echo set)" "set"
# The show is drawn at the monitor's size, not at the 800x600 asked for: once its first
# scene is up (six seconds in), its picture reaches the top right corner, which a view
# of 800x600 never draws: it stays black or in the scene's pale clear colour there.
corner_lit() {
    corner=$(e2e_grey root 32x32+2016+0)
    [ -n "$corner" ] && [ "$corner" -gt 8 ] && [ "$corner" -lt 200 ]
}
if [ -z "${unchecked:-}" ]; then
    corner=
    if e2e_poll 30 corner_lit; then lit=yes; else lit=no; fi
    e2e_check "equal monitors: the picture reaches the top right corner (grey ${corner:-?})" "$lit" "yes"
    [ -n "$corner" ] || cat "$E2E_TMP/grey.err"
fi
end_with_escape "equal monitors"
e2e_check "equal monitors: both monitors as they were" \
    "$(e2e_wait_output 5 "1024x768+0+0 1024x768+1024+0" both_monitors)" "1024x768+0+0 1024x768+1024+0"

e2e_finish "two-monitor"
