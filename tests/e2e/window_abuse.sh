#!/usr/bin/env bash
# The player's window handled roughly under Xvfb and openbox, on the generated data set:
#  - minimised: it draws no frames (no processor time) and the show moves on by the wall
#    clock, so the restored window shows a later part of the show;
#  - resized to 100 x 80 (it keeps its 160 x 120 minimum) and to 1600 x 1200 and back:
#    it keeps drawing;
#  - another window takes the focus: Escape typed there is not the show's, Escape typed
#    into the show's window once it has the focus again ends the run with status 0;
#  - the close button pressed within the first second: status 0;
#  - Escape held down from the moment the window appears: status 0.
# Every run is in an empty working directory holding a copy of data/ only; nothing in it
# may change, and standard output stays empty (the data is complete).
# Usage: window_abuse.sh BUILD_DIR SOURCE_DIR   (SUNMARROW_ASAN_BUILD_DIR as elsewhere)
set -u
BUILD_DIR=$(cd "${1:?build dir}" && pwd)
SOURCE_DIR=$(cd "${2:?source dir}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/player_lib.bash"
source "$here/lib/reliability.sh"

e2e_skip_without_tools
e2e_require xev
e2e_build_grey
rel_pick_binaries
rel_sanitizer_env
rel_good_data
e2e_start_display 2048x1536

run=0
# start RUN_NAME: the player in a fresh working directory; WINDOW is its window.
start() {
    run=$((run + 1))
    RUN_DIR=$E2E_TMP/run$run
    mkdir -p "$RUN_DIR"
    cp -r "$REL_DATA" "$RUN_DIR/data"
    rel_tree "$RUN_DIR" >"$E2E_TMP/tree$run.before"
    rel_launch_player "$RUN_DIR" "$E2E_TMP/player$run"
    WINDOW=$(rel_player_window 60) || {
        echo "FAIL: $1: no player window"
        cat "$E2E_TMP/player$run.err"
        exit 1
    }
}

# finish RUN_NAME STATUS: the run's exit status, its output and its working directory.
finish() {
    e2e_check "$1: exit status" "$EXIT_STATUS" "$2"
    e2e_check "$1: nothing on standard output" "$(cat "$E2E_TMP/player$run.out")" ""
    rel_tree "$RUN_DIR" >"$E2E_TMP/tree$run.after"
    e2e_check "$1: working directory unchanged" \
        "$(diff "$E2E_TMP/tree$run.before" "$E2E_TMP/tree$run.after" >/dev/null && echo same || echo changed)" "same"
    [ "$EXIT_STATUS" = "$2" ] || tail -20 "$E2E_TMP/player$run.err"
}

# brightness ID: mean grey level 0..255 of the window's client area; nothing (status 1)
# when no picture can be taken, and why in $E2E_TMP/grey.err. In milliseconds: the
# check after a restore must not wait long for its picture.
brightness() { e2e_grey "$1"; }

ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }

# --- minimise, restore, resize, focus
REL_WINDOW_AFTER=$E2E_TMP/window-after
start "window games"
unset REL_WINDOW_AFTER
xdotool windowactivate --sync "$WINDOW" >/dev/null 2>&1
shown=$(date +%s)
# Before any scene (the first starts 6 s in) the picture is nearly black.
early_picture() { early=$(brightness "$WINDOW"); }
early=
e2e_poll 5 early_picture
xdotool windowminimize --sync "$WINDOW" >/dev/null 2>&1
e2e_poll 10 e2e_has_state "$WINDOW" HIDDEN
e2e_idle "$PLAYER_PID" 10
# A show that paused with its window would resume at most this far into its clock: the
# player starts that clock once its window is mapped and its data loaded (half a second
# of grace for the window manager's part in the mapping), and has stopped drawing by now.
paused_ms=$(($(ms_since "$(cat "$E2E_TMP/window-after")") + 500))
before=$(e2e_cpu_ticks "$PLAYER_PID")
sleep 2
after=$(e2e_cpu_ticks "$PLAYER_PID")
e2e_check "minimised: no frames drawn ($((after - before)) ticks in 2 s; a frame costs several)" "$((after - before <= 10))" "1"
# Stay minimised into the second scene (11 to 19 s of show time, 15 to 23 s of wall time).
while [ $(($(date +%s) - shown)) -lt 18 ]; do sleep 0.2; done
restored=$(date +%s%N)
xdotool windowactivate --sync "$WINDOW" >/dev/null 2>&1
xdotool windowmap --sync "$WINDOW" >/dev/null 2>&1
# The restored window shows black until the player's next frame (a loaded machine draws
# it late, and it may fall into the black second between two scenes), so pictures are
# taken until one is brighter. They count only while a show that had paused would
# still be black, before its first scene: after 6 s less its paused time.
late_picture() {
    late=$(brightness "$WINDOW")
    late_ms=$(ms_since "$restored")
    [ "$late_ms" -lt $((6000 - paused_ms)) ] || return 0
    [ -n "$late" ] && [ -n "$early" ] && [ "$late" -gt $((early + 8)) ]
}
late= late_ms=0
e2e_poll 20 late_picture
e2e_check "restored: drawing again" "$(e2e_drawing "$PLAYER_PID" 10 20 && echo drawing)" "drawing"
echo "picture brightness: ${early:-?} before minimising, ${late:-?} ${late_ms} ms after restoring" \
    "(a show paused at ${paused_ms} ms or less would be black for $((6000 - paused_ms)) ms)"
[ -n "$early" ] && [ -n "$late" ] || echo "no picture of the window: $(cat "$E2E_TMP/grey.err")"
e2e_check "restored: the show moved on while minimised (brightness ${early:-?} then ${late:-?})" \
    "$([ -n "$early" ] && [ -n "$late" ] && echo $((late > early + 8 && late_ms < 6000 - paused_ms)))" "1"

for size in "100 80" "1600 1200" "640 480"; do
    read -r w h <<<"$size"
    xdotool windowsize --sync "$WINDOW" "$w" "$h" >/dev/null 2>&1
    # Below the 160 x 120 capture the window keeps its minimum.
    want="$((w < 160 ? 160 : w))x$((h < 120 ? 120 : h))"
    e2e_check "resized to ${w}x${h}" "$(e2e_wait_output 10 "$want" e2e_client_size "$WINDOW")" "$want"
    e2e_check "at ${w}x${h}: still drawing" "$(e2e_drawing "$PLAYER_PID" 10 20 && echo drawing)" "drawing"
done

# Another window takes the focus; Escape typed now is that window's. Once that window
# has seen the key and the show has drawn more frames, the show must still be running.
xev -geometry 200x100+900+100 -name focus-thief >"$E2E_TMP/xev.out" 2>&1 &
E2E_PIDS+=($!)
thief=$(e2e_find_window focus-thief 10)
xdotool windowactivate --sync "$thief" >/dev/null 2>&1
e2e_poll 10 e2e_active_is "$thief"
xdotool key Escape
e2e_check "the other window got the Escape" "$(e2e_poll 10 grep -q 'keysym 0xff1b, Escape' "$E2E_TMP/xev.out" && echo got)" "got"
e2e_drawing "$PLAYER_PID" 10 20
e2e_check "Escape into another window does not end the show" "$(kill -0 "$PLAYER_PID" 2>/dev/null && echo running)" "running"
xdotool windowactivate --sync "$WINDOW" >/dev/null 2>&1
e2e_poll 10 e2e_active_is "$WINDOW"
xdotool key Escape
e2e_wait_exit "$PLAYER_PID" 10
finish "window games" 0

# --- the close button within the first second
start "close button"
started=$(date +%s%N)
x=$(xwininfo -id "$WINDOW" | awk '/Absolute upper-left X/ {print $4}')
y=$(xwininfo -id "$WINDOW" | awk '/Absolute upper-left Y/ {print $4}')
w=$(xwininfo -id "$WINDOW" | awk '/^  Width:/ {print $2}')
# openbox's close button is the title bar's rightmost, 11 px in from the client's
# right edge and above its top edge.
xdotool mousemove $((x + w - 11)) $((y - 11)) click 1
e2e_check "close button pressed within the first second" \
    "$((($(date +%s%N) - started) / 1000000 < 1000))" "1"
e2e_wait_exit "$PLAYER_PID" 10
finish "close button" 0

# --- Escape held down from the start
start "Escape held"
xdotool windowactivate --sync "$WINDOW" >/dev/null 2>&1
xdotool keydown Escape
e2e_wait_exit "$PLAYER_PID" 10
xdotool keyup Escape
finish "Escape held" 0

rel_sanitizer_clean "window abuse"
if [ "$E2E_FAILURES" -ne 0 ]; then
    echo "$E2E_FAILURES window abuse checks failed"
    exit 1
fi
echo "all window abuse checks passed"
