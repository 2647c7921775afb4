#!/usr/bin/env bash
# The settings form of the real player under Xvfb and openbox: borderless, centred and
# above the rest; Escape and the close request leave it open, so keyboard choices typed
# after them reach the show's window; Enter accepts the marks as opened (fullscreen
# 640x480, which this screen cannot switch to: the warning, then a window whose outer
# size is 640x480); a screen that has the mode gets a real fullscreen window; SIGTERM
# ends it. Every wait polls with a time limit.
# Usage: settings_dialog.sh BUILD_DIR SOURCE_DIR
set -u
BUILD_DIR=$(cd "${1:?build dir}" && pwd)
source "$(dirname "$0")/player_lib.bash"
e2e_skip_without_tools
[ -x "$BUILD_DIR/sunmarrow" ] || { echo "FAIL: $BUILD_DIR/sunmarrow is missing"; exit 1; }
e2e_start_display 1280x1024

finish_with_escape() {
    local window=$1
    xdotool windowactivate --sync "$window" >/dev/null 2>&1
    xdotool key Escape
    e2e_wait_exit "$PLAYER_PID" 10
    e2e_check "$2" "$EXIT_STATUS" "0"
}

# --- the form as it opens
e2e_launch
DIALOG=$(e2e_find_dialog 20) || { echo "FAIL: no settings form"; cat "$E2E_TMP/player.err"; exit 1; }
geometry() {
    xwininfo -id "$DIALOG" | awk '/Absolute upper-left X/ {print "DX=" $4} /Absolute upper-left Y/ {print "DY=" $4}
                                  /^  Width:/ {print "DW=" $2} /^  Height:/ {print "DH=" $2}'
}
eval "$(e2e_steady 5 geometry)"
e2e_check "form has an empty title" "$(xprop -id "$DIALOG" WM_NAME | sed -n 's/^WM_NAME[^=]*= //p' | tr -d '"')" ""
extents=$(xprop -id "$DIALOG" _NET_FRAME_EXTENTS | sed -n 's/.*= //p')
e2e_check "form has no frame" "${extents:-0, 0, 0, 0}" "0, 0, 0, 0"
cx=$(((1280 - DW) / 2 - DX)); cy=$(((1024 - DH) / 2 - DY))
e2e_check "form is centred (off by ${cx},${cy})" "$((cx * cx <= 4 && cy * cy <= 4))" "1"
e2e_check "form is about 300 x 385 (${DW}x${DH})" "$((DW > 260 && DW < 340 && DH > 340 && DH < 420))" "1"
state=$(xprop -id "$DIALOG" _NET_WM_STATE)
e2e_check "form is kept above" "$(echo "$state" | grep -c _NET_WM_STATE_ABOVE)" "1"
if command -v import >/dev/null 2>&1; then
    import -window root -crop "${DW}x${DH}+${DX}+${DY}" +repage "$BUILD_DIR/settings-dialog.png" 2>/dev/null &&
        echo "screenshot: $BUILD_DIR/settings-dialog.png"
fi

# --- Escape and the close request leave the form open: the keys typed after them
# still reach it and choose a windowed 800x600 run (Tab to "Fullscreen", clear it, Tab
# into the sizes, Down to 800x600, Enter). Had either ended the form, the run would be
# missing or fullscreen at the opening marks.
xdotool windowactivate --sync "$DIALOG" >/dev/null 2>&1
xdotool key Escape
xdotool key alt+F4
e2e_answer_dialog Tab Tab space Tab Down Return
WINDOW=$(e2e_find_window "Tessaly - Sunmarrow" 20) || { echo "FAIL: no show window"; cat "$E2E_TMP/player.err"; exit 1; }
e2e_check "after Escape and the close request the form took the choice of windowed 800x600" \
    "$(e2e_wait_output 5 800x600 e2e_client_size "$WINDOW")" "800x600"
e2e_check "no warning (the opening marks were not taken)" "$(xdotool search --onlyvisible --name '^Error$' 2>/dev/null | wc -l)" "0"
finish_with_escape "$WINDOW" "800x600 run ends with Escape"

# --- Enter: the marks as opened. This screen has no 640x480 mode: warning, then a
# decorated window whose outer size is 640x480.
e2e_launch
e2e_answer_dialog Return
NOTICE=$(e2e_find_window "Error" 10) || NOTICE=""
e2e_check "warning about the failed switch" "$([ -n "$NOTICE" ] && echo shown)" "shown"
[ -n "$NOTICE" ] && { xdotool windowactivate --sync "$NOTICE" >/dev/null 2>&1; xdotool key Return; }
WINDOW=$(e2e_find_window "Tessaly - Sunmarrow" 20) || { echo "FAIL: no show window"; cat "$E2E_TMP/player.err"; exit 1; }
outer_size() {
    local left right top bottom
    read -r left right top bottom < <(xprop -id "$WINDOW" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ',')
    [ $((${left:-0} + ${top:-0})) -gt 0 ] || { echo "no frame"; return; }
    local size
    size=$(e2e_client_size "$WINDOW")
    echo "$((${size%x*} + left + right))x$((${size#*x} + top + bottom))"
}
e2e_check "decorated window of outer size 640x480" "$(e2e_wait_output 5 640x480 outer_size)" "640x480"
finish_with_escape "$WINDOW" "run after the warning ends with Escape"

# --- SIGTERM while the form is open
e2e_launch
e2e_find_dialog 20 >/dev/null
kill -TERM "$PLAYER_PID"
e2e_wait_exit "$PLAYER_PID" 10
e2e_check "SIGTERM ends the run while the form is open" "$EXIT_STATUS" "0"

# --- the GTK form's own tests, which need this display
if [ -x "$BUILD_DIR/tests/unit_test_settings_dialog" ]; then
    out=$("$BUILD_DIR/tests/unit_test_settings_dialog" --gtest_filter='GtkFormTest.*' 2>&1)
    e2e_check "GTK form tests pass on a display" "$?" "0"
    e2e_check "GTK form tests ran, none skipped" \
        "$(echo "$out" | grep -c 'SKIPPED'),$(echo "$out" | grep -c '^\[       OK \] GtkFormTest\.' | sed 's/^[1-9][0-9]*$/some/')" "0,some"
else
    unchecked="the GTK form's own tests are not built ($BUILD_DIR/tests/unit_test_settings_dialog)"
fi

# --- a screen that has the mode: real fullscreen 1024x768 (sizes: Tab Tab Tab Down Down)
e2e_start_display 1024x768
e2e_launch
e2e_answer_dialog Tab Tab Tab Down Down Return
WINDOW=$(e2e_find_window "Tessaly - Sunmarrow" 20) || { echo "FAIL: no show window"; cat "$E2E_TMP/player.err"; exit 1; }
e2e_check "fullscreen window covers the screen" "$(e2e_wait_output 5 1024x768 e2e_client_size "$WINDOW")" "1024x768"
e2e_steady 5 e2e_outer_origin "$WINDOW" >/dev/null
e2e_check "fullscreen window at the origin" "$(e2e_outer_origin "$WINDOW")" "0,0"
e2e_check "fullscreen window state" "$(e2e_poll 5 e2e_has_state "$WINDOW" FULLSCREEN && echo set)" "set"
finish_with_escape "$WINDOW" "fullscreen run ends with Escape"

e2e_finish "settings dialog"
