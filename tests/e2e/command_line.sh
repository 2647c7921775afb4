#!/usr/bin/env bash
# The player's command line under Xvfb and openbox: run options skip the settings form
# and open the window they ask for (windowed 800x600; fullscreen 1024x768 on
# a screen that has the mode), started from / it plays a real data set (the build's),
# and a wrong argument exits 2 with a usage line before anything opens. That no
# arguments still show the form is settings_dialog.sh's business. A few seconds.
# Usage: command_line.sh BUILD_DIR SOURCE_DIR
set -u
BUILD_DIR=$(cd "${1:?build dir}" && pwd)
source "$(dirname "$0")/player_lib.bash"
e2e_skip_without_tools
[ -x "$BUILD_DIR/sunmarrow" ] || { echo "FAIL: $BUILD_DIR/sunmarrow is missing"; exit 1; }

usage='usage: sunmarrow [--windowed | --fullscreen] [--size 640x480|800x600|1024x768] [--depth 16|32] [--no-music] [--painter gl|cpu|auto]'

# --- no display needed: help, version, wrong arguments
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$BUILD_DIR/sunmarrow" --version 2>&1)
e2e_check "--version exits 0" "$?" "0"
e2e_check "--version names the program" "$(echo "$out" | grep -cE '^sunmarrow [0-9]+\.[0-9]+\.[0-9]+$')" "1"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$BUILD_DIR/sunmarrow" --windowed --help 2>/dev/null)
e2e_check "--help exits 0" "$?" "0"
e2e_check "--help starts with the usage line" "$(echo "$out" | head -n1)" "$usage"

e2e_start_display 1024x768

# A wrong argument with a display at hand: status 2 at once, the problem and the usage
# line on standard error, nothing on standard output, no window.
for args in "--size 999x1" "--windowed --depth 24" "--bogus"; do
    start=$(date +%s%N)
    # shellcheck disable=SC2086 # the words are the arguments
    e2e_launch $args
    e2e_wait_exit "$PLAYER_PID" 5
    took=$((($(date +%s%N) - start) / 1000000))
    e2e_check "'$args' exits 2" "$EXIT_STATUS" "2"
    e2e_check "'$args' ends at once (${took} ms)" "$((took < 2000))" "1"
    e2e_check "'$args' ends standard error with the usage line" "$(tail -n1 "$E2E_TMP/player.err")" "$usage"
    e2e_check "'$args' names the problem first" "$(head -n1 "$E2E_TMP/player.err" | grep -c '^sunmarrow: ')" "1"
    e2e_check "'$args' writes nothing on standard output" "$(wc -c <"$E2E_TMP/player.out")" "0"
done
e2e_check "no window opened for a wrong argument" \
    "$(xdotool search --onlyvisible --name 'Tessaly - Sunmarrow' 2>/dev/null | wc -l)" "0"

# --- windowed 800x600 from /: the player's first window is the show's, no form.
# A build that made no data set of its own (the sanitizer build) is stood in for by a
# folder that looks like one: a copy of its player, a CMake cache and the suite's data.
player_dir=$BUILD_DIR
if [ ! -f "$BUILD_DIR/data/sunmarrow.mp3" ]; then
    [ -f "${SUNMARROW_TEST_DATA:-}/sunmarrow.mp3" ] || {
        echo "FAIL: neither the build nor SUNMARROW_TEST_DATA holds a data set"; exit 1; }
    player_dir=$E2E_TMP/build
    mkdir -p "$player_dir"
    cp "$BUILD_DIR/sunmarrow" "$player_dir/"
    : >"$player_dir/CMakeCache.txt"
    ln -s "$SUNMARROW_TEST_DATA" "$player_dir/data"
fi
BUILD_DIR=$player_dir E2E_RUN_DIR=/ e2e_launch --windowed --size 800x600
FIRST=$(e2e_find_dialog 20) || { echo "FAIL: no window"; cat "$E2E_TMP/player.err"; exit 1; }
WINDOW=$(e2e_find_window "Tessaly - Sunmarrow" 5) || WINDOW=none
e2e_check "the first window is the show's (no settings form)" "$FIRST" "$WINDOW"
e2e_check "windowed 800x600 client area" "$(e2e_wait_output 10 800x600 e2e_client_size "$WINDOW")" "800x600"
# Drawing, the player is past its window's set-up, a fullscreen request included.
e2e_drawing "$PLAYER_PID" 10 20
e2e_check "not fullscreen" "$(xprop -id "$WINDOW" _NET_WM_STATE | grep -c _NET_WM_STATE_FULLSCREEN)" "0"
xdotool windowactivate --sync "$WINDOW" >/dev/null 2>&1
xdotool key Escape
e2e_wait_exit "$PLAYER_PID" 5
e2e_check "the 800x600 run ends with Escape" "$EXIT_STATUS" "0"
e2e_check "started from / it read the build's data set" "$(grep -c 'Error' "$E2E_TMP/player.out")" "0"

# --- fullscreen (the form's own mark, not given) at 1024x768, no music
e2e_launch --size 1024x768 --depth 32 --no-music
WINDOW=$(e2e_find_window "Tessaly - Sunmarrow" 20) || { echo "FAIL: no show window"; cat "$E2E_TMP/player.err"; exit 1; }
e2e_check "fullscreen window covers the screen" "$(e2e_wait_output 10 1024x768 e2e_client_size "$WINDOW")" "1024x768"
e2e_check "fullscreen window state" "$(e2e_poll 10 e2e_has_state "$WINDOW" FULLSCREEN && echo set)" "set"
kill -TERM "$PLAYER_PID"
e2e_wait_exit "$PLAYER_PID" 5
e2e_check "the fullscreen run ends with SIGTERM" "$EXIT_STATUS" "0"

e2e_finish "command line"
