# Helpers for the player's end-to-end scripts (sourced, not a test of its own): a
# private X server with a window manager, the player started in an empty working
# directory, and waits with time limits. Callers set BUILD_DIR first.

E2E_PIDS=()
E2E_TMP=$(mktemp -d)

e2e_cleanup() {
    local pid
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${E2E_PIDS[i]}
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT

e2e_skip_without_tools() {
    local tool
    for tool in Xvfb openbox xdotool xwininfo xprop; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "skipped: $tool is not installed"
            exit 0
        fi
    done
}

# e2e_start_display WIDTHxHEIGHT: an Xvfb on a free display number, with openbox.
e2e_start_display() {
    local size=$1
    rm -f "$E2E_TMP/display"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$E2E_TMP/display" 2>"$E2E_TMP/xvfb.log" &
    E2E_PIDS+=($!)
    local i
    for ((i = 0; i < 100; i++)); do
        [ -s "$E2E_TMP/display" ] && break
        sleep 0.1
    done
    if [ ! -s "$E2E_TMP/display" ]; then
        echo "skipped: Xvfb did not start"
        cat "$E2E_TMP/xvfb.log"
        exit 0
    fi
    export DISPLAY=":$(head -n1 "$E2E_TMP/display")"
    openbox --sm-disable >"$E2E_TMP/openbox.log" 2>&1 &
    E2E_PIDS+=($!)
    for ((i = 0; i < 100; i++)); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    echo "FAIL: openbox did not come up"
    exit 1
}

# e2e_launch [ARG...]: starts the player with the arguments in an empty working
# directory, or in E2E_RUN_DIR when set (no data/ there: it plays the build's data set
# when the build made one, else black); PLAYER_PID is its process id, its output goes
# to $E2E_TMP/player.out/.err.
e2e_launch() {
    mkdir -p "$E2E_TMP/run"
    (cd "${E2E_RUN_DIR:-$E2E_TMP/run}" && exec env SDL_AUDIODRIVER=dummy "$BUILD_DIR/sunmarrow" "$@" \
        >"$E2E_TMP/player.out" 2>"$E2E_TMP/player.err") &
    PLAYER_PID=$!
    E2E_PIDS+=("$PLAYER_PID")
}

# e2e_find_window NAME SECONDS: prints the id of the visible window called NAME.
e2e_find_window() {
    local name=$1 limit=$2 id i
    for ((i = 0; i < limit * 10; i++)); do
        id=$(xdotool search --onlyvisible --name "^${name}\$" 2>/dev/null | head -n1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# e2e_find_dialog SECONDS: prints the id of the player's first visible window, which is
# the settings form as long as the show's window is not up.
e2e_find_dialog() {
    local limit=$1 id i
    for ((i = 0; i < limit * 10; i++)); do
        id=$(xdotool search --onlyvisible --pid "$PLAYER_PID" 2>/dev/null | head -n1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# e2e_answer_dialog KEY...: focuses the settings form and types the keys into it.
e2e_answer_dialog() {
    local dialog
    dialog=$(e2e_find_dialog 20) || {
        echo "FAIL: the settings form did not appear"
        cat "$E2E_TMP/player.err"
        exit 1
    }
    xdotool windowactivate --sync "$dialog" >/dev/null 2>&1
    sleep 0.2
    xdotool key --delay 50 "$@"
}

# e2e_wait_exit PID SECONDS: waits for the process (a child of this shell, so not in a
# command substitution); EXIT_STATUS is its exit status, or "timeout" when it is still
# running after SECONDS.
e2e_wait_exit() {
    local pid=$1 limit=$2 i
    EXIT_STATUS=timeout
    for ((i = 0; i < limit * 20; i++)); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            EXIT_STATUS=$?
            return 0
        fi
        sleep 0.05
    done
}

# e2e_client_size ID: "WIDTHxHEIGHT" of the window's client area.
e2e_client_size() {
    xwininfo -id "$1" | awk '/^  Width:/ {w = $2} /^  Height:/ {h = $2} END {print w "x" h}'
}

# e2e_cpu_ticks PID: user + system clock ticks the process has used so far.
e2e_cpu_ticks() {
    awk '{print $14 + $15}' "/proc/$1/stat"
}

E2E_FAILURES=0
e2e_check() {
    local what=$1 got=$2 want=$3
    if [ "$got" = "$want" ]; then
        echo "ok: $what"
    else
        echo "FAIL: $what: got '$got', want '$want'"
        E2E_FAILURES=$((E2E_FAILURES + 1))
    fi
}

# e2e_outer_origin ID: "X,Y" of the window's outer top-left corner (frame included).
e2e_outer_origin() {
    local x y left top
    x=$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {print $4}')
    y=$(xwininfo -id "$1" | awk '/Absolute upper-left Y/ {print $4}')
    read -r left _ top _ < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ',')
    echo "$((x - ${left:-0})),$((y - ${top:-0}))"
}
