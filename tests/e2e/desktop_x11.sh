#!/usr/bin/env bash
# The player on an X desktop set up the way people have one, under Xvfb and openbox:
#  - a 24-bit 800x600 screen, 800x600 + 16 bpp + Fullscreen: a fullscreen 800x600
#    window and no warning (the screen's depth is its own; 16 bpp is the GL buffer);
#  - a real mode switch (640x480 added to that screen), then SIGHUP as when the
#    terminal closes: status 0 and the screen back at 800x600;
#  - no sound device at all (no driver forced, no sound server, no card): the music's
#    error reports on standard output (set-up, then play), the show plays on silently,
#    Escape ends it;
#  - the settings form's process killed (SIGKILL, xkill, SIGTERM): no show window,
#    status 0 and a line on standard error saying why;
#  - the window shrunk to 60x40 by the window manager, then by another program with no
#    window manager to refuse it: the client area stays 160x120.
# Usage: desktop_x11.sh BUILD_DIR SOURCE_DIR
set -u
BUILD_DIR=$(cd "${1:?build dir}" && pwd)
source "$(dirname "$0")/player_lib.bash"
e2e_skip_without_tools
for tool in xrandr xkill xdpyinfo; do
    command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
done
[ -x "$BUILD_DIR/sunmarrow" ] || { echo "FAIL: $BUILD_DIR/sunmarrow is missing"; exit 1; }
e2e_start_display 800x600

# show_window: the show's window id, or the run's stderr and a failure.
show_window() {
    WINDOW=$(e2e_find_window "Tessaly - Sunmarrow" 20) || {
        echo "FAIL: no window titled 'Tessaly - Sunmarrow'"
        cat "$E2E_TMP/player.err"
        exit 1
    }
}

screen_size() { xdpyinfo | awk '/dimensions:/ {print $2}'; }

# show_window_past_warnings: like show_window, but a warning notice on the way is
# counted in WARNINGS and dismissed, so that the run can go on to be checked. The
# player warns before it creates the show's window, so once that window is up no
# warning can follow.
show_window_past_warnings() {
    local notice deadline=$(($(date +%s%N) + 20000000000))
    WARNINGS=0
    while :; do
        WINDOW=$(xdotool search --onlyvisible --name '^Tessaly - Sunmarrow$' 2>/dev/null | head -n1)
        [ -n "$WINDOW" ] && return 0
        notice=$(xdotool search --onlyvisible --name '^Error$' 2>/dev/null | head -n1)
        if [ -n "$notice" ]; then
            WARNINGS=$((WARNINGS + 1))
            xdotool windowactivate --sync "$notice" >/dev/null 2>&1
            xdotool key Return
            # Gone before looking again, so that one notice is counted once.
            e2e_poll 10 notice_gone "$notice"
        fi
        [ "$(date +%s%N)" -lt "$deadline" ] || break
        sleep 0.1
    done
    show_window
}

notice_gone() { ! xdotool search --onlyvisible --name '^Error$' 2>/dev/null | grep -qx "$1"; }

fullscreen_state() { e2e_poll 10 e2e_has_state "$1" FULLSCREEN && echo set; }

# end_run: makes sure the player is gone before the next run (after a failed check).
end_run() {
    [ "$EXIT_STATUS" = timeout ] || return 0
    kill -KILL "$PLAYER_PID" 2>/dev/null
    wait "$PLAYER_PID" 2>/dev/null
}

# --- 800x600 + 16 bpp + Fullscreen on a 24-bit 800x600 screen (Tab to the sizes,
# Down to 800x600, Tab to the depths, Up to 16 bpp, Enter)
e2e_launch
e2e_answer_dialog Tab Tab Tab Down Tab Up Return
show_window_past_warnings
e2e_check "16 bpp: no warning" "$WARNINGS" "0"
e2e_check "16 bpp: fullscreen window covers the screen" "$(e2e_wait_output 10 800x600 e2e_client_size "$WINDOW")" "800x600"
e2e_check "16 bpp: window in the fullscreen state" "$(fullscreen_state "$WINDOW")" "set"
xdotool windowactivate --sync "$WINDOW" >/dev/null 2>&1
xdotool key Escape
e2e_wait_exit "$PLAYER_PID" 5
e2e_check "16 bpp: Escape ends the run" "$EXIT_STATUS" "0"
end_run

# --- a switched mode and SIGHUP: the marks as opened (640x480, 32 bpp, Fullscreen)
xrandr --newmode 640x480_test 25.18 640 656 752 800 480 490 492 525 -hsync -vsync 2>/dev/null
xrandr --addmode screen 640x480_test
e2e_launch
e2e_answer_dialog Return
show_window_past_warnings
e2e_check "switched: screen in 640x480" "$(e2e_wait_output 10 640x480 screen_size)" "640x480"
e2e_check "switched: fullscreen window covers it" "$(e2e_wait_output 10 640x480 e2e_client_size "$WINDOW")" "640x480"
kill -HUP "$PLAYER_PID"
e2e_wait_exit "$PLAYER_PID" 5
e2e_check "SIGHUP ends the run with status 0" "$EXIT_STATUS" "0"
# Nobody else puts the mode back: a player that leaves it switched fails however long
# this waits.
e2e_check "SIGHUP: the screen is back at 800x600" "$(e2e_wait_output 5 800x600 screen_size)" "800x600"
end_run
[ "$(screen_size)" = 800x600 ] || xrandr -s 800x600

# --- no sound device: SDL picks its own driver; no server can be reached (empty runtime
# folder, no PulseAudio address) and ALSA is sent to a device that does not exist
if [ -n "${SUNMARROW_TEST_DATA:-}" ] && [ -f "$SUNMARROW_TEST_DATA/sunmarrow.mp3" ]; then
    mkdir -p "$E2E_TMP/sound" "$E2E_TMP/runtime"
    ln -s "$SUNMARROW_TEST_DATA" "$E2E_TMP/sound/data"
    (cd "$E2E_TMP/sound" && exec env -u SDL_AUDIODRIVER -u AUDIODEV XDG_RUNTIME_DIR="$E2E_TMP/runtime" \
        PULSE_SERVER=unix:/nonexistent PIPEWIRE_REMOTE=/nonexistent AUDIODEV=nosuchdev \
        "$BUILD_DIR/sunmarrow" >"$E2E_TMP/player.out" 2>"$E2E_TMP/player.err") &
    PLAYER_PID=$!
    E2E_PIDS+=("$PLAYER_PID")
    e2e_answer_dialog Tab Tab space Return
    show_window
    # The music fails (set-up, then play) before the show's first frame. Once the player
    # is busy after its window came up, it must go on drawing and still be there.
    e2e_drawing "$PLAYER_PID" 10 20
    e2e_check "no sound device: the show plays on" \
        "$(e2e_drawing "$PLAYER_PID" 10 20 && kill -0 "$PLAYER_PID" 2>/dev/null && echo drawing)" "drawing"
    xdotool windowactivate --sync "$WINDOW" >/dev/null 2>&1
    xdotool key Escape
    e2e_wait_exit "$PLAYER_PID" 5
    e2e_check "no sound device: Escape ends the run" "$EXIT_STATUS" "0"
    end_run
    e2e_check "no sound device: the music's error texts on standard output" \
        "$(cat "$E2E_TMP/player.out")" \
        "$(printf 'Error!\nError initializing output device.\nError!\nThis command failed because FSOUND_Init was not called')"
else
    echo "FAIL: the generated data set (SUNMARROW_TEST_DATA) is missing"
    E2E_FAILURES=$((E2E_FAILURES + 1))
fi

# --- the settings form's process ended before OK, three ways
form_killed() {
    local how=$1 form child
    e2e_launch
    form=$(e2e_find_dialog 20) || { echo "FAIL: $how: no settings form"; exit 1; }
    child=$(cat /proc/"$PLAYER_PID"/task/*/children 2>/dev/null | awk '{print $1}')
    case $how in
        SIGKILL) kill -KILL "$child" ;;
        SIGTERM) kill -TERM "$child" ;;
        xkill) xkill -id "$form" >/dev/null 2>&1 ;;
    esac
    e2e_wait_exit "$PLAYER_PID" 5
    e2e_check "form ended by $how: status 0" "$EXIT_STATUS" "0"
    e2e_check "form ended by $how: no show window" \
        "$(xdotool search --name '^Tessaly - Sunmarrow$' 2>/dev/null | wc -l)" "0"
    e2e_check "form ended by $how: standard error says why" \
        "$(grep -c '^settings form: its process .* before OK; the show does not start$' "$E2E_TMP/player.err")" "1"
    e2e_check "form ended by $how: nothing on standard output" "$(cat "$E2E_TMP/player.out")" ""
    end_run
}
form_killed SIGKILL
form_killed xkill
form_killed SIGTERM

# --- shrunk to 60x40: by openbox, which keeps the size hints, then with no window
# manager (openbox ended), where only the player itself can refuse
e2e_launch
e2e_answer_dialog Tab Tab space Return
show_window
# Placed at its 640x480 and drawing: the player has set its size hints and handles
# what the window is sent.
e2e_wait_output 10 640x480 e2e_client_size "$WINDOW" >/dev/null
e2e_drawing "$PLAYER_PID" 10 20
# Each shrink ends at the minimum, which is a change from the size before it: a window
# left at 60x40 fails however long the wait.
xdotool windowsize "$WINDOW" 60 40 >/dev/null 2>&1
e2e_check "shrunk by the window manager: client area kept" "$(e2e_wait_output 10 160x120 e2e_client_size "$WINDOW")" "160x120"
kill "$E2E_WM_PID" 2>/dev/null
e2e_wait_exit "$E2E_WM_PID" 10
[ "$EXIT_STATUS" != timeout ] || { echo "FAIL: openbox did not end"; exit 1; }
# With nobody to refuse it, a resize takes effect as asked.
xdotool windowsize "$WINDOW" 400 300 >/dev/null 2>&1
e2e_check "no window manager: resized to 400x300" "$(e2e_wait_output 10 400x300 e2e_client_size "$WINDOW")" "400x300"
xdotool windowsize "$WINDOW" 60 40 >/dev/null 2>&1
e2e_check "shrunk with no window manager: client area kept" "$(e2e_wait_output 10 160x120 e2e_client_size "$WINDOW")" "160x120"
kill -TERM "$PLAYER_PID"
e2e_wait_exit "$PLAYER_PID" 5
e2e_check "shrunk: SIGTERM ends the run" "$EXIT_STATUS" "0"
end_run

if [ "$E2E_FAILURES" -ne 0 ]; then
    echo "--- player stderr"
    cat "$E2E_TMP/player.err"
    exit 1
fi
echo "all X desktop checks passed"
