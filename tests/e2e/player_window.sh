#!/usr/bin/env bash
# The player under a real X server and window manager: its window and client size,
# and each way a run ends (Escape, the close request, SIGTERM, SIGINT while minimised).
# Usage: player_window.sh BUILD_DIR SOURCE_DIR
set -u
BUILD_DIR=$(cd "${1:?build dir}" && pwd)
source "$(dirname "$0")/player_lib.bash"
e2e_skip_without_tools
[ -x "$BUILD_DIR/sunmarrow" ] || { echo "FAIL: $BUILD_DIR/sunmarrow is missing"; exit 1; }
e2e_start_display 1280x1024

# start_player: launches the player and accepts the settings as a windowed run
# (Tab to "Fullscreen", clear it, Enter): 640 x 480.
start_player() {
    e2e_launch
    e2e_answer_dialog Tab Tab space Return
    WINDOW=$(e2e_find_window "Tessaly - Sunmarrow" 20) || {
        echo "FAIL: no window titled 'Tessaly - Sunmarrow'"
        cat "$E2E_TMP/player.err"
        exit 1
    }
    # The show draws its frames before a key or a request arrives.
    e2e_drawing "$PLAYER_PID" 10 30 || {
        echo "FAIL: the player draws no frames"
        cat "$E2E_TMP/player.err"
        exit 1
    }
}

# --- Escape
start_player
e2e_check "client area" "$(e2e_client_size "$WINDOW")" "640x480"
e2e_check "placed at the top left" "$(e2e_outer_origin "$WINDOW")" "0,0"
xdotool windowactivate --sync "$WINDOW" >/dev/null 2>&1
start=$(date +%s%N)
xdotool key Escape
e2e_wait_exit "$PLAYER_PID" 10
took=$((($(date +%s%N) - start) / 1000000))
e2e_check "Escape ends the run (in ${took} ms)" "$EXIT_STATUS" "0"

# --- the window manager's close request (Alt+F4 in openbox)
start_player
xdotool windowactivate --sync "$WINDOW" >/dev/null 2>&1
xdotool key alt+F4
e2e_wait_exit "$PLAYER_PID" 10
e2e_check "close request ends the run" "$EXIT_STATUS" "0"

# --- SIGTERM
start_player
kill -TERM "$PLAYER_PID"
e2e_wait_exit "$PLAYER_PID" 10
e2e_check "SIGTERM ends the run" "$EXIT_STATUS" "0"

# --- minimised: no frames, no processor time; SIGINT still ends it
start_player
xdotool windowminimize --sync "$WINDOW" >/dev/null 2>&1
e2e_check "window manager has minimised the window" "$(e2e_poll 10 e2e_has_state "$WINDOW" HIDDEN && echo yes)" "yes"
# Once the player has settled into its pause, a whole second costs it nothing.
e2e_idle "$PLAYER_PID" 10
before=$(e2e_cpu_ticks "$PLAYER_PID")
sleep 1
after=$(e2e_cpu_ticks "$PLAYER_PID")
e2e_check "minimised window uses no processor time ($((after - before)) ticks)" "$((after - before <= 2))" "1"
kill -INT "$PLAYER_PID"
e2e_wait_exit "$PLAYER_PID" 10
e2e_check "SIGINT ends a minimised run" "$EXIT_STATUS" "0"

# --- no display at all: the defaults stand, the class cannot be registered, and the
# two messages go to standard error
mkdir -p "$E2E_TMP/nodisplay"
(cd "$E2E_TMP/nodisplay" && exec env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy \
    "$BUILD_DIR/sunmarrow" >/dev/null 2>"$E2E_TMP/nodisplay.err") &
PLAYER_PID=$!
E2E_PIDS+=("$PLAYER_PID")
e2e_wait_exit "$PLAYER_PID" 10
e2e_check "without a display the run ends at once with -1" "$EXIT_STATUS" "255"
e2e_check "without a display the messages go to stderr" \
    "$(grep -c -e '^Error: RegisterClassEx failed.$' -e '^Error: Error registering window class!$' "$E2E_TMP/nodisplay.err")" "2"

if [ "$E2E_FAILURES" -ne 0 ]; then
    echo "--- player stderr"
    cat "$E2E_TMP/player.err"
    exit 1
fi
echo "all player window checks passed"
