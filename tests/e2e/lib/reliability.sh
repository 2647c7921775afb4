# Helpers for the reliability scripts (sourced after player_lib.bash, not a test of its
# own): which binaries run, sanitizer reports caught in files, the generated data set
# shared by the scripts of one build folder, and the player started in a working
# directory of the caller's choice. Callers set BUILD_DIR and SOURCE_DIR first.

# The binaries under test: those of the sanitizer build when SUNMARROW_ASAN_BUILD_DIR
# names one that has them, else the build's own. BIN_DIR is set here.
rel_pick_binaries() {
    BIN_DIR=$BUILD_DIR
    local asan=${SUNMARROW_ASAN_BUILD_DIR:-}
    if [ -n "$asan" ] && [ -x "$asan/sunmarrow-capture" ] && [ -x "$asan/sunmarrow" ]; then
        BIN_DIR=$(cd "$asan" && pwd)
    fi
    local exe
    for exe in sunmarrow sunmarrow-capture sunmarrow-scene sunmarrow-data; do
        [ -x "$BIN_DIR/$exe" ] || { echo "FAIL: $BIN_DIR/$exe is not built"; exit 1; }
    done
    echo "binaries: $BIN_DIR"
}

# Sanitizer reports go to files under $REL_SAN/ (one per process) rather than into the
# programs' own output, so a script can tell a report from a message. Leaks of the
# system libraries are suppressed as in the sanitizer suite; options already in the
# environment (halt_on_error and the like) are kept.
rel_sanitizer_env() {
    REL_SAN=$E2E_TMP/sanitizer
    mkdir -p "$REL_SAN"
    local supp=$SOURCE_DIR/tests/sanitizer/lsan.supp
    export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}halt_on_error=1:detect_leaks=1:log_path=$REL_SAN/asan"
    export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}halt_on_error=1:print_stacktrace=1:log_path=$REL_SAN/ubsan"
    export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$supp:print_suppressions=0"
    # Sanitized binaries keep their shared libraries mapped to the end (see
    # tests/sanitizer/keep_modules.c); the test command preloads that already.
    if ldd "$BIN_DIR/sunmarrow" 2>/dev/null | grep -q libasan && [[ "${LD_PRELOAD:-}" != *keep_modules* ]]; then
        if cc -shared -fPIC -o "$E2E_TMP/keep_modules.so" "$SOURCE_DIR/tests/sanitizer/keep_modules.c" 2>/dev/null; then
            export LD_PRELOAD="$E2E_TMP/keep_modules.so${LD_PRELOAD:+:$LD_PRELOAD}"
            export ASAN_OPTIONS="$ASAN_OPTIONS:verify_asan_link_order=0"
        fi
    fi
}

# rel_sanitizer_clean WHAT [DIR]: a check that no sanitizer report was written into DIR
# (default $REL_SAN) since the last call; the reports found are shown and moved aside.
rel_sanitizer_clean() {
    local dir=${2:-$REL_SAN} reports
    reports=$(find "$dir" -maxdepth 1 -type f 2>/dev/null | sort)
    if [ -n "$reports" ]; then
        local r
        for r in $reports; do
            echo "--- sanitizer report $r"
            head -60 "$r"
        done
        mkdir -p "$dir/seen"
        mv $reports "$dir/seen/"
        e2e_check "$1: no sanitizer report" "$(echo "$reports" | wc -l) reports" "0 reports"
    else
        e2e_check "$1: no sanitizer report" "0 reports" "0 reports"
    fi
}

# rel_good_data: REL_DATA is a folder of the default data set: the suite's own
# (SUNMARROW_TEST_DATA) when it is there, else one generated once per build folder and
# generator binary (the music takes a while to encode); concurrent scripts wait for
# each other's generation.
rel_good_data() {
    if [ -n "${SUNMARROW_TEST_DATA:-}" ] && [ -f "$SUNMARROW_TEST_DATA/sunmarrow.mp3" ]; then
        REL_DATA=$SUNMARROW_TEST_DATA
        rel_check_data
        return
    fi
    local cache=$BUILD_DIR/e2e-data
    local gen=$BUILD_DIR/sunmarrow-data
    [ -x "$gen" ] || gen=$BIN_DIR/sunmarrow-data
    mkdir -p "$cache"
    (
        flock 9
        if [ ! -f "$cache/stamp" ] || [ "$gen" -nt "$cache/stamp" ]; then
            [ -x "$gen" ] || { echo "FAIL: sunmarrow-data is not built"; exit 1; }
            rm -rf "$cache/data" "$cache/stamp"
            # The generator's own sanitizer findings are its suite's business, not ours.
            ASAN_OPTIONS=detect_leaks=0 "$gen" --out "$cache/data" >"$cache/generate.log" 2>&1 || {
                echo "FAIL: sunmarrow-data failed"
                tail -5 "$cache/generate.log"
                exit 1
            }
            touch "$cache/stamp"
        fi
    ) 9>"$cache/lock" || exit 1
    REL_DATA=$cache/data
    rel_check_data
}

rel_check_data() {
    local f
    for f in texter4.raw texture.raw texture_flowers.raw stroke4_A_32_128.raw sunmarrow.mp3 \
        intro1.csi intro2.csi intro3.csi intro4.csi trees.csi clouds.csi bird2.csi flowers.csi moon.csi; do
        [ -f "$REL_DATA/$f" ] || { echo "FAIL: the generated data set has no $f"; exit 1; }
    done
}

# rel_launch_player DIR OUT_PREFIX [VAR=VALUE...]: starts the player in working
# directory DIR with the extra environment (and the niceness REL_NICE, default 0, under
# the command prefix REL_PREFIX, with the player's options REL_ARGS, default none);
# stdout and stderr go to OUT_PREFIX.out and OUT_PREFIX.err. PLAYER_PID is its id.
rel_launch_player() {
    local dir=$1 prefix=$2
    shift 2
    # shellcheck disable=SC2086
    (cd "$dir" && exec ${REL_PREFIX:-} nice -n "${REL_NICE:-0}" env SDL_AUDIODRIVER=dummy "$@" "$BIN_DIR/sunmarrow" ${REL_ARGS:-} \
        >"$prefix.out" 2>"$prefix.err") &
    PLAYER_PID=$!
    E2E_PIDS+=("$PLAYER_PID")
}

# rel_children PID: the process ids whose parent is PID (from /proc, no tools needed).
rel_children() {
    local f stat ppid
    for f in /proc/[0-9]*/stat; do
        { stat=$(<"$f"); } 2>/dev/null || continue
        read -r _ ppid _ <<<"${stat##*) }"
        if [ "$ppid" = "$1" ]; then
            f=${f#/proc/}
            echo "${f%/stat}"
        fi
    done
}

# rel_kill_tree PID: SIGKILL to PID and every process it started, theirs first (a hung
# program's helpers, such as an encoder waiting on a FIFO, go with it).
rel_kill_tree() {
    local child
    for child in $(rel_children "$1"); do rel_kill_tree "$child"; done
    kill -9 "$1" 2>/dev/null
}

# rel_player_window SECONDS: prints the id of the player's window titled "Tessaly -
# Sunmarrow". A settings form on the way (shown by the player or by a child process of
# it) is answered with REL_DIALOG_KEYS, by default a windowed run with the form's other
# marks (Tab to "Fullscreen", clear it, Enter). When REL_WINDOW_AFTER names a file, it
# gets the time (date +%s%N) of the last search that did not find the window yet: the
# window came up after that.
rel_player_window() {
    local limit=$1 id i pid answered= looked missed
    missed=$(date +%s%N)
    for ((i = 0; i < limit * 10; i++)); do
        looked=$(date +%s%N)
        for pid in "$PLAYER_PID" $(rel_children "$PLAYER_PID"); do
            for id in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
                if [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "Tessaly - Sunmarrow" ]; then
                    [ -z "${REL_WINDOW_AFTER:-}" ] || echo "$missed" >"$REL_WINDOW_AFTER"
                    echo "$id"
                    return 0
                fi
                if [[ " $answered " != *" $id "* ]]; then
                    answered="$answered $id"
                    sleep 0.3
                    xdotool windowactivate --sync "$id" >/dev/null 2>&1
                    sleep 0.2
                    # shellcheck disable=SC2086
                    xdotool key --delay 50 ${REL_DIALOG_KEYS:-Tab Tab space Return} >/dev/null 2>&1
                fi
            done
        done
        kill -0 "$PLAYER_PID" 2>/dev/null || return 1
        missed=$looked
        sleep 0.1
    done
    return 1
}

# rel_vmrss PID: resident set size in kB (empty when the process is gone).
rel_vmrss() {
    awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null
}

# rel_tree DIR: every path under DIR with its size and modification time, for comparing
# a working directory before and after a run.
rel_tree() {
    (cd "$1" && find . -printf '%p %s %T@\n' | sort)
}

# REL_READER: a command prefix under which a program meets file permissions as any user
# does. Root reads every file whatever its mode, so for root it is setpriv (util-linux)
# without the two capabilities that allow that; for anyone else nothing.
REL_READER=()
[ "$(id -u)" = 0 ] && REL_READER=(setpriv --inh-caps=-dac_override,-dac_read_search
    --bounding-set=-dac_override,-dac_read_search)

# rel_whole_png FILE: FILE ends in the IEND chunk, as only a whole PNG does.
rel_whole_png() {
    [ -f "$1" ] && [ "$(tail -c 12 "$1" | od -An -tx1 | tr -d ' \n')" = 0000000049454e44ae426082 ]
}

# rel_mount_tmpfs DIR OPTIONS: a tmpfs with OPTIONS ("ro,size=64k") on DIR; root only
# (status 1 otherwise). rel_unmount DIR takes it away; rel_unmount_all takes every mount
# under the script's scratch folder, for its end.
rel_mount_tmpfs() {
    [ "$(id -u)" = 0 ] && mount -t tmpfs -o "$2" sunmarrow-test "$1"
}
rel_unmount() {
    if mountpoint -q "$1"; then umount "$1"; fi
    return 0
}
rel_unmount_all() {
    local m
    for m in $(awk -v t="$E2E_TMP/" 'index($2, t) == 1 {print $2}' /proc/self/mounts | sort -r); do umount "$m"; done
}
