# Helpers for the player's end-to-end scripts (sourced, not a test of its own): a
# private X server with a window manager, the player started in an empty working
# directory, and waits with time limits. Callers set BUILD_DIR first.
# A script that cannot run here exits 77 (CTest's skip code) naming what is missing.

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

# e2e_require TOOL...: skips the script (status 77) unless every TOOL is on PATH.
e2e_require() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "skipped: $tool is not installed"
            exit 77
        fi
    done
}

e2e_skip_without_tools() {
    e2e_require Xvfb openbox xdotool xwininfo xprop
}

# e2e_poll SECONDS COMMAND...: runs COMMAND every tenth of a second until it succeeds
# (status 0) or SECONDS have passed (status 1).
e2e_poll() {
    local limit=$1 deadline
    shift
    deadline=$(($(date +%s%N) + limit * 1000000000))
    until "$@"; do
        [ "$(date +%s%N)" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# e2e_start_server [--wm] NAME SERVER [ARG...]: the X server command SERVER ARG...
# (Xvfb, Xorg) on a free display number, which DISPLAY then names; with --wm openbox
# too, its process id in E2E_WM_PID. NAME names the server in messages and its log
# ($E2E_TMP/NAME.log). On a shared machine X servers come and go; a server that accepts
# no client (its socket lost to one that was ending on the same number) or on which
# openbox cannot start is replaced, three times at most. A server that does not start
# at all skips the script.
e2e_start_server() {
    local wm=no name attempt server
    if [ "$1" = --wm ]; then
        wm=yes
        shift
    fi
    name=$1
    shift
    for attempt in 1 2 3; do
        rm -f "$E2E_TMP/display"
        "$@" -displayfd 3 -nolisten tcp 3>"$E2E_TMP/display" >"$E2E_TMP/$name.log" 2>&1 &
        server=$!
        E2E_PIDS+=("$server")
        if ! e2e_poll 30 test -s "$E2E_TMP/display"; then
            echo "skipped: $name did not start"
            tail -20 "$E2E_TMP/$name.log"
            exit 77
        fi
        export DISPLAY=":$(head -n1 "$E2E_TMP/display")"
        if e2e_poll 10 e2e_display_open; then
            [ "$wm" = yes ] || return 0
            openbox --sm-disable >"$E2E_TMP/openbox.log" 2>&1 &
            E2E_WM_PID=$!
            E2E_PIDS+=("$E2E_WM_PID")
            # A loaded machine may take a while to start openbox.
            e2e_poll 60 e2e_wm_settled "$E2E_WM_PID" && e2e_wm_running && return 0
            echo "openbox did not come up on $DISPLAY (attempt $attempt):"
            cat "$E2E_TMP/openbox.log"
            kill "$E2E_WM_PID" 2>/dev/null
        else
            echo "$name on $DISPLAY accepts no client (attempt $attempt)"
        fi
        kill "$server" 2>/dev/null
        wait "$server" 2>/dev/null
    done
    [ "$wm" = yes ] && name="$name with openbox"
    echo "FAIL: no $name after three attempts"
    exit 1
}

# e2e_start_display WIDTHxHEIGHT: an Xvfb with one 24-bit screen of that size and
# openbox (e2e_start_server).
e2e_start_display() {
    e2e_start_server --wm Xvfb Xvfb -screen 0 "${1}x24"
}

e2e_display_open() {
    xprop -root >/dev/null 2>&1
}

# e2e_wm_settled PID: openbox (process PID) is running as the window manager, or gone.
e2e_wm_settled() {
    e2e_wm_running || ! kill -0 "$1" 2>/dev/null
}

e2e_wm_running() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
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

# e2e_wait_output SECONDS WANT COMMAND...: runs COMMAND every tenth of a second until
# it prints WANT or SECONDS have passed; prints what it printed last.
e2e_wait_output() {
    local limit=$1 want=$2 got deadline
    shift 2
    deadline=$(($(date +%s%N) + limit * 1000000000))
    while :; do
        got=$("$@" 2>/dev/null)
        [ "$got" = "$want" ] && break
        [ "$(date +%s%N)" -lt "$deadline" ] || break
        sleep 0.1
    done
    echo "$got"
}

# e2e_steady SECONDS COMMAND...: runs COMMAND until two runs a fifth of a second apart
# print the same (a window the window manager has done placing), at most SECONDS;
# prints that output.
e2e_steady() {
    local limit=$1 last got deadline
    shift
    deadline=$(($(date +%s%N) + limit * 1000000000))
    last=$("$@" 2>/dev/null)
    while :; do
        sleep 0.2
        got=$("$@" 2>/dev/null)
        [ "$got" = "$last" ] && break
        [ "$(date +%s%N)" -lt "$deadline" ] || break
        last=$got
    done
    echo "$got"
}

# e2e_drawing PID TICKS SECONDS: waits until the process has used TICKS more clock ticks
# of processor time (a sign that it draws frames), at most SECONDS; status 1 if not.
e2e_drawing() {
    local pid=$1 ticks=$2 limit=$3 from
    from=$(e2e_cpu_ticks "$pid") || return 1
    e2e_poll "$limit" e2e_used_since "$pid" "$from" "$ticks"
}

e2e_used_since() {
    local now
    now=$(e2e_cpu_ticks "$1" 2>/dev/null) || return 1
    [ $((now - $2)) -ge "$3" ]
}

# e2e_idle PID SECONDS: waits until the process uses at most one clock tick in half a
# second (it has stopped drawing), at most SECONDS; status 1 if it never does.
e2e_idle() {
    e2e_poll "$2" e2e_idle_now "$1"
}

e2e_idle_now() {
    local before after
    before=$(e2e_cpu_ticks "$1" 2>/dev/null) || return 1
    sleep 0.5
    after=$(e2e_cpu_ticks "$1" 2>/dev/null) || return 1
    [ $((after - before)) -le 1 ]
}

# e2e_build_tool NAME LIB...: builds tests/e2e/lib/NAME.c with the libraries into
# $E2E_TMP/NAME; skips the script (status 77) where it cannot be built.
e2e_build_tool() {
    local name=$1
    shift
    e2e_require cc
    cc -O2 -o "$E2E_TMP/$name" "$(dirname "${BASH_SOURCE[0]}")/lib/$name.c" "$@" 2>"$E2E_TMP/cc.err" || {
        echo "skipped: tests/e2e/lib/$name.c does not build here (it needs cc and the X libraries' headers):"
        cat "$E2E_TMP/cc.err"
        exit 77
    }
}

# e2e_build_grey: builds the picture reader e2e_grey uses (lib/window_grey.c).
e2e_build_grey() {
    e2e_build_tool window_grey -lX11
    E2E_GREY=$E2E_TMP/window_grey
}

# e2e_build_saver: builds the screen saver reader e2e_saver uses (lib/saver_state.c).
e2e_build_saver() {
    e2e_build_tool saver_state -lXss -lX11
}

# e2e_saver: the X server's screen saver state and idle time, "on|off|disabled MS";
# nothing, status 1, when it cannot be read.
e2e_saver() {
    "$E2E_TMP/saver_state" 2>>"$E2E_TMP/saver.err"
}

# e2e_grey WINDOW [WxH+X+Y...]: the mean grey (0..255) of the window ("root" for the
# screen), or of each rectangle of it, on one line, from a picture taken in milliseconds
# (ImageMagick's import takes seconds on a loaded machine). Nothing, status 1, when no
# picture can be taken; why is in $E2E_TMP/grey.err. Needs e2e_build_grey first.
e2e_grey() {
    "$E2E_GREY" "$@" 2>"$E2E_TMP/grey.err"
}

# e2e_has_state ID STATE: whether _NET_WM_STATE of the window holds _NET_WM_STATE_STATE.
e2e_has_state() {
    xprop -id "$1" _NET_WM_STATE 2>/dev/null | grep -q "_NET_WM_STATE_$2"
}

# e2e_active_is ID: whether the window manager's active window is ID.
e2e_active_is() {
    [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]
}

# e2e_client_size ID: "WIDTHxHEIGHT" of the window's client area.
e2e_client_size() {
    xwininfo -id "$1" | awk '/^  Width:/ {w = $2} /^  Height:/ {h = $2} END {print w "x" h}'
}

# e2e_cpu_ticks PID: user + system clock ticks the process has used so far.
e2e_cpu_ticks() {
    local stat
    { stat=$(<"/proc/$1/stat"); } 2>/dev/null || return 1
    # Fields after the command name, which may hold spaces: utime and stime are the
    # 12th and 13th of them.
    read -r -a fields <<<"${stat##*) }"
    echo $((fields[11] + fields[12]))
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

# e2e_finish WHAT: the script's end. Any failed check fails it (with the player's
# standard error); else checks left undone ($unchecked names them) make it a skip;
# else "all WHAT checks passed".
e2e_finish() {
    if [ "$E2E_FAILURES" -ne 0 ]; then
        echo "--- player stderr"
        cat "$E2E_TMP/player.err"
        exit 1
    fi
    if [ -n "${unchecked:-}" ]; then
        echo "skipped: $unchecked"
        exit 77
    fi
    echo "all $1 checks passed"
}

# e2e_outer_origin ID: "X,Y" of the window's outer top-left corner (frame included).
e2e_outer_origin() {
    local x y left top
    x=$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {print $4}')
    y=$(xwininfo -id "$1" | awk '/Absolute upper-left Y/ {print $4}')
    read -r left _ top _ < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ',')
    echo "$((x - ${left:-0})),$((y - ${top:-0}))"
}
