#!/usr/bin/env bash
# The show on broken data folders, derived from the generated data set: an empty data/,
# every file cut to half, every file replaced by random bytes of its size, scenes whose
# counts say 65535 with nothing after them, empty textures, a 10-byte brush and an MP3
# that is a text file. For each, the capture tool renders frames of every scene row and
# the end, and the player plays the whole show under Xvfb: no crash, no sanitizer
# report, the show runs to its end, and standard output holds exactly the loaders'
# messages: "Error reading file" per texture, scene or brush file it could not read
# (a short brush counts), "Error!" and the sound system's text per music failure.
# Then every program and command on entries that are no file to read, in place of every
# file it reads (data set, capture file, scene file, fonts): a directory, a FIFO with no
# writer, a link to /dev/zero, a 4 GB sparse file, a 300 MB file that begins "XXXX", a
# file it may not read and a link to nothing. Each run ends by itself within a minute
# and under 1 GB, with an honest status and a message that says what was wrong; the
# player, on each kind, reports it and ends cleanly on SIGTERM, and one player run with
# several kinds at once plays to its end. Last, outputs that cannot be written (a folder
# or file in the way, a FIFO, a /dev/zero link, a read-only folder, a missing one, a
# full disk): status 1, a message, nothing at the name that looks complete.
# Usage: hostile_data.sh BUILD_DIR SOURCE_DIR
#   SUNMARROW_ASAN_BUILD_DIR=DIR   run the binaries of that sanitizer build instead
#   HOSTILE_CASES="empty brush10"  only these cases ("none": none)
#   HOSTILE_PLAYER=all|ends|none   player runs for every case (default), the first
#                                  and last case, or none
#   HOSTILE_ENTRIES=no             leave the entries and the outputs out
set -u
BUILD_DIR=$(cd "${1:?build dir}" && pwd)
SOURCE_DIR=$(cd "${2:?source dir}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/player_lib.bash"
source "$here/lib/reliability.sh"

rel_pick_binaries
# The programs must meet what is in data/: a build folder's own data set, which a
# program started from there may fall back on, is kept out of reach by running copies.
if [ -d "$BIN_DIR/data" ]; then
    mkdir -p "$E2E_TMP/bin"
    cp "$BIN_DIR"/sunmarrow "$BIN_DIR"/sunmarrow-capture "$BIN_DIR"/sunmarrow-scene "$BIN_DIR"/sunmarrow-data "$E2E_TMP/bin/"
    BIN_DIR=$E2E_TMP/bin
fi
rel_sanitizer_env
rel_good_data
# The tmpfs mounts of the output cases go before the scratch folder does.
trap 'rel_unmount_all; e2e_cleanup' EXIT
unchecked=

all_cases=(empty half random counts zero_textures brush10 mp3_text)
read -r -a cases <<<"${HOSTILE_CASES:-${all_cases[*]}}"
[ "${cases[*]}" = none ] && cases=()
player_mode=${HOSTILE_PLAYER:-all}

# Reproducible "random" bytes: a keystream of the given seed, or the kernel's when
# openssl is missing.
random_bytes() {
    local count=$1 seed=$2
    if command -v openssl >/dev/null 2>&1; then
        openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass "pass:$seed" </dev/zero 2>/dev/null | head -c "$count"
    else
        head -c "$count" /dev/urandom
    fi
}

# counted_scene VARIANT: a scene whose last field is a count of 65535 and which ends
# right there, in each place the format has a count. Little-endian throughout.
counted_scene() {
    local head='SCEN' mesh='MSHS\x01\x00' zero4='\x00\x00\x00\x00' word='\x00\x00'
    local keyless='\x00\x00\x00\x40' empty_vis='\x00\x00'
    case $1 in
        meshes) printf "${head}MSHS\xff\xff" ;;
        lights) printf "${head}LGTS\xff\xff" ;;
        camera_keys) printf "${head}CMRA\xff\xff" ;;
        visibility_keys) printf "${head}${mesh}${zero4}${word}\xff\xff" ;;
        polygons) printf "${head}${mesh}${zero4}${word}${empty_vis}${zero4}\xff\xff" ;;
        corners) printf "${head}${mesh}${zero4}${word}${empty_vis}${zero4}\x01\x00\xff" ;;
        vertices) printf "${head}${mesh}${zero4}${word}${empty_vis}${zero4}\x00\x00${zero4}\xff\xff" ;;
        vertex_keys) printf "${head}${mesh}${zero4}${word}${empty_vis}${zero4}\x00\x00${zero4}\x01\x00\xff\xff" ;;
        light_keys) printf "${head}LGTS\x01\x00\x00${keyless}${keyless}\xff\xff" ;;
    esac
}

scene_files=(intro1.csi intro2.csi intro3.csi intro4.csi trees.csi clouds.csi bird2.csi flowers.csi moon.csi)
texture_files=(texter4.raw texture.raw texture_flowers.raw)
brush=stroke4_A_32_128.raw
music=sunmarrow.mp3

# make_case NAME DIR: DIR/data/ as the case wants it.
make_case() {
    local name=$1 data=$2/data f i
    mkdir -p "$data"
    case $name in
        empty) ;;
        half)
            for f in "$REL_DATA"/*; do
                head -c $(($(stat -c %s "$f") / 2)) "$f" >"$data/$(basename "$f")"
            done ;;
        random)
            i=0
            for f in "$REL_DATA"/*; do
                random_bytes "$(stat -c %s "$f")" "sunmarrow-$i" >"$data/$(basename "$f")"
                i=$((i + 1))
            done ;;
        counts)
            cp "$REL_DATA"/* "$data"/
            local variants=(meshes lights camera_keys visibility_keys polygons corners vertices vertex_keys light_keys)
            for i in "${!scene_files[@]}"; do counted_scene "${variants[i]}" >"$data/${scene_files[i]}"; done ;;
        zero_textures)
            cp "$REL_DATA"/* "$data"/
            for f in "${texture_files[@]}"; do : >"$data/$f"; done ;;
        brush10)
            cp "$REL_DATA"/* "$data"/
            head -c 10 "$REL_DATA/$brush" >"$data/$brush" ;;
        mp3_text)
            cp "$REL_DATA"/* "$data"/
            printf 'This is not music.\nJust a few lines of text,\nsaved with the name of an MP3 file.\n' >"$data/$music" ;;
    esac
}

# expected_errors NAME: how many "Error reading file" lines the set-up prints.
expected_errors() {
    case $1 in
        empty) echo $((${#texture_files[@]} + ${#scene_files[@]} + 1)) ;;  # every file, the brush too
        half | brush10) echo 1 ;;                                          # the short brush
        *) echo 0 ;;
    esac
}

# expected_music NAME: the player's music report lines (music on), or "any" where the
# sound library may or may not take the bytes for an MP3.
not_init="This command failed because FSOUND_Init was not called"
expected_music() {
    case $1 in
        empty) printf 'Error!\nFile not found\nError!\n%s\n' "$not_init" ;;
        mp3_text) printf 'Error!\nUnknown file format\nError!\n%s\n' "$not_init" ;;
        random) echo any ;;
    esac
}

# expected_stdout NAME capture|player: the exact standard output, newlines included.
expected_stdout() {
    local n i
    n=$(expected_errors "$1")
    for ((i = 0; i < n; i++)); do printf 'Error reading file\n'; done
    [ "$2" = player ] && [ "$(expected_music "$1")" != any ] && expected_music "$1"
    return 0
}

# check_stdout WHAT FILE NAME capture|player: byte for byte; where the music may or may
# not be taken, its lines may also be two well-formed reports, the second one for the
# stream that never opened.
check_stdout() {
    local what=$1 file=$2 name=$3 mode=$4 want=$E2E_TMP/want.out
    expected_stdout "$name" "$mode" >"$want"
    local verdict="differs"
    if cmp -s "$file" "$want"; then
        verdict="as expected"
    elif [ "$mode" = player ] && [ "$(expected_music "$name")" = any ] &&
        cmp -s <(head -c "$(stat -c %s "$want")" "$file") "$want"; then
        local rest
        rest=$(tail -c +"$(($(stat -c %s "$want") + 1))" "$file")
        if [ "$(printf '%s\n' "$rest" | wc -l)" -eq 4 ] &&
            [ "$(printf '%s\n' "$rest" | sed -n '1p;3p' | tr '\n' ' ')" = "Error! Error! " ] &&
            [ "$(printf '%s\n' "$rest" | sed -n 4p)" = "$not_init" ] &&
            [ "$(tail -c 1 "$file" | od -An -c | tr -d ' ')" = '\n' ]; then
            verdict="as expected"
        fi
    fi
    e2e_check "$what: standard output" "$verdict" "as expected"
    if [ "$verdict" != "as expected" ]; then
        echo "--- got:"; cat -A "$file" | head -40
        echo "--- want:"; cat -A "$want"
    fi
}

# --- the capture tool: the whole show at 2 frames a second, then full-size frames with
# captions only, in the first scenes, the largest scene, the last scenes and at the end
instants=(4.5 24 60 150 200 204.1)
run_capture() {
    local name=$1 dir=$2 i status=0 out=$2/capture.out want=0
    # An empty data/ is no data set: the pictures are made and the status says they lack data.
    [ "$name" = empty ] && want=3
    : >"$out"
    mkdir -p "$dir/frames"
    # The pass renders small, since the data decides the set-up and the scene, not how
    # large the painting is; each single frame is a fresh set-up.
    (cd "$dir" && "$BIN_DIR/sunmarrow-capture" frames --dir frames --fps 2 --from 0 --to 204.1 \
        --size "${HOSTILE_PASS_SIZE:-160x120}" >"$dir/pass.out" 2>"$dir/pass.err") || status=$?
    e2e_check "$name: capture pass over the whole show exits $want" "$status" "$want"
    e2e_check "$name: capture pass rendered every frame" "$(find "$dir/frames" -name '*.png' | wc -l)" "408"
    check_stdout "$name: capture pass" "$dir/pass.out" "$name" capture
    rm -rf "$dir/frames"
    local bad=0
    expected_stdout "$name" capture >"$dir/frame.want"
    for i in "${instants[@]}"; do
        status=0
        (cd "$dir" && "$BIN_DIR/sunmarrow-capture" frame --time "$i" --out "$dir/frame.png" \
            >"$dir/frame.out" 2>"$dir/frame.err") || status=$?
        if [ "$status" -ne "$want" ] || [ ! -s "$dir/frame.png" ] || ! cmp -s "$dir/frame.out" "$dir/frame.want"; then
            echo "frame at $i s: exit $status"
            cat "$dir/frame.out" "$dir/frame.err"
            bad=$((bad + 1))
        fi
        rm -f "$dir/frame.png"
    done
    e2e_check "$name: ${#instants[@]} single frames rendered, each with the set-up's messages only" "$bad" "0"
    rel_sanitizer_clean "$name: capture"
}

for name in "${cases[@]}"; do
    make_case "$name" "$E2E_TMP/cases/$name"
done

# --- entries that are no file to read: make_entry KIND PATH [REAL]. `unreadable` is a
# copy of REAL (a real file of that name) that may not be read, `dangling` a link to a
# file that does not exist.
entry_kinds=(directory fifo zero_link sparse_4g xxxx_300m unreadable dangling)
make_entry() {
    case $1 in
        directory) mkdir "$2" ;;
        fifo) mkfifo "$2" ;;
        zero_link) ln -s /dev/zero "$2" ;;
        sparse_4g) truncate -s 4G "$2" ;;
        xxxx_300m) printf XXXX >"$2" && truncate -s 300M "$2" ;;
        unreadable) cp "$3" "$2" && chmod 000 "$2" ;;
        dangling) ln -s "$2.gone" "$2" ;;
    esac
}
# What cannot be opened is reported as a missing file; the large files open, are no
# scene (nothing is said), and give textures and the brush their first bytes.
entry_is_reported() { case $1 in sparse_4g | xxxx_300m) return 1 ;; esac; return 0; }
# The command prefix for a kind: root reads a file whatever its mode, so an unreadable
# file is met as root without the capabilities that let it.
entry_prefix() { case $1 in unreadable | every) echo "${REL_READER[*]}" ;; esac; }

# watched SECONDS MAX_KB DIR PREFIX COMMAND...: runs COMMAND in DIR (standard output and
# error to PREFIX.out and PREFIX.err), killed with every process it started once it
# runs past SECONDS or its resident size passes MAX_KB. Sets WATCH_STATUS, WATCH_KILLED
# (why, or empty), WATCH_MS and WATCH_PEAK_KB (its high-water mark as last seen).
watched() {
    local limit=$1 max_kb=$2 dir=$3 prefix=$4 key value rest pid start
    shift 4
    start=${EPOCHREALTIME/./}
    (cd "$dir" && exec "$@" >"$prefix.out" 2>"$prefix.err") &
    pid=$!
    WATCH_KILLED= WATCH_PEAK_KB=0
    while kill -0 "$pid" 2>/dev/null; do
        while read -r key value rest; do
            [ "$key" = VmHWM: ] && [ "$value" -gt "$WATCH_PEAK_KB" ] && WATCH_PEAK_KB=$value
        done <"/proc/$pid/status" 2>/dev/null
        if [ -z "$WATCH_KILLED" ] && [ "$WATCH_PEAK_KB" -gt "$max_kb" ]; then
            WATCH_KILLED="resident beyond $max_kb kB" && rel_kill_tree "$pid"
        elif [ -z "$WATCH_KILLED" ] && [ $((${EPOCHREALTIME/./} - start)) -ge $((limit * 1000000)) ]; then
            WATCH_KILLED="running beyond $limit s" && rel_kill_tree "$pid"
        fi
        sleep 0.05
    done
    wait "$pid" 2>/dev/null  # no job notice for a kill
    WATCH_STATUS=$?
    WATCH_MS=$(((${EPOCHREALTIME/./} - start) / 1000))
}

entries=${HOSTILE_ENTRIES:-yes}
entry_limit_kb=$((1024 * 1024))
if [ "$entries" != no ]; then
    # The player's data: every kind of entry somewhere, in place of a scene, a texture,
    # the brush and the music; the rest as generated.
    player_entries=(texter4.raw:fifo texture.raw:directory intro1.csi:directory intro2.csi:fifo
        intro3.csi:zero_link intro4.csi:sparse_4g trees.csi:xxxx_300m texture_flowers.raw:zero_link
        "$brush:sparse_4g" "$music:fifo")
    mkdir -p "$E2E_TMP/entries/player/data"
    cp "$REL_DATA"/* "$E2E_TMP/entries/player/data/"
    for pair in "${player_entries[@]}"; do
        rm -f "$E2E_TMP/entries/player/data/${pair%%:*}"
        make_entry "${pair##*:}" "$E2E_TMP/entries/player/data/${pair%%:*}"
    done
fi

# --- the player, for every case at once (each in its own working directory) on one
# display, while the capture tool works: it plays to its end by itself, with music on,
# through SDL's dummy audio. The show follows the wall clock, so the players run at the
# lowest priority and leave the processor to the captures and to the tests beside this
# script. Their sanitizer reports go to a folder of their own.
player_cases=()
case $player_mode in
    all) player_cases=("${cases[@]}") ;;
    ends) player_cases=("${cases[0]}") && [ ${#cases[@]} -gt 1 ] && player_cases+=("${cases[-1]}") ;;
esac
missing=
for tool in Xvfb openbox xdotool xprop; do
    [ ${#player_cases[@]} -eq 0 ] || command -v "$tool" >/dev/null 2>&1 || { missing=$tool; player_cases=(); }
done
# The player with every kind of entry runs beside the others (not when players are off
# or cannot run).
entries_player=$([ "$entries" != no ] && [ "$player_mode" != none ] && echo yes)
for tool in Xvfb openbox xdotool xprop; do command -v "$tool" >/dev/null 2>&1 || entries_player=; done
[ -n "$entries_player" ] && player_cases+=(entries)
declare -A pid_of start_of
if [ ${#player_cases[@]} -gt 0 ]; then
    mkdir -p "$REL_SAN/players"
    for name in "${player_cases[@]}"; do
        # One player per display: each whole-show player gets a display of its own.
        e2e_start_display 1280x1024
        dir=$E2E_TMP/cases/$name
        [ "$name" = entries ] && dir=$E2E_TMP/entries/player
        REL_NICE=19 rel_launch_player "$dir" "$dir/player" \
            ASAN_OPTIONS="$ASAN_OPTIONS:log_path=$REL_SAN/players/asan" \
            UBSAN_OPTIONS="$UBSAN_OPTIONS:log_path=$REL_SAN/players/ubsan"
        pid_of[$name]=$PLAYER_PID
        start_of[$name]=$(date +%s)
        if ! rel_player_window 60 >/dev/null; then
            e2e_check "$name: the player's window appears" "no window" "a window"
            cat "$dir/player.err"
        fi
    done
fi

# --- the player on each kind of entry, every data file replaced by it: a short run each,
# one after the other (beside the whole-show players), in a window with no settings
# form. Its set-up reports what it could not read (standard output holds the show's own
# messages, the music's two reports last), and SIGTERM once its window is there ends it
# through its teardown with status 0, never above 1 GB.
kind_players() {
    local kind dir i verdict peak state key value rest
    e2e_start_display 1280x1024  # its own: the whole-show players hold theirs
    for kind in "${entry_kinds[@]}"; do
        dir=$E2E_TMP/kinds/$kind
        cell_setup "$kind" "$dir" data
        REL_PREFIX="$(entry_prefix "$kind")" REL_ARGS=--windowed rel_launch_player "$dir" "$dir/player" \
            ASAN_OPTIONS="$ASAN_OPTIONS:log_path=$REL_SAN/players/asan" \
            UBSAN_OPTIONS="$UBSAN_OPTIONS:log_path=$REL_SAN/players/ubsan"
        e2e_check "player on $kind: its window appears" "$(rel_player_window 60 >/dev/null && echo yes)" "yes"
        kill -TERM "$PLAYER_PID"
        # The most it was resident, as last seen before it was gone.
        peak=0 state=R
        for ((i = 0; i < 600; i++)); do
            [ "$state" = Z ] && break
            while read -r key value rest; do
                case $key in VmHWM:) peak=$value ;; State:) state=$value ;; esac
            done <"/proc/$PLAYER_PID/status" 2>/dev/null || break
            sleep 0.1
        done
        e2e_wait_exit "$PLAYER_PID" 10
        echo "player on $kind: peak $peak kB"
        e2e_check "player on $kind: SIGTERM ends it with status 0" "$EXIT_STATUS" "0"
        e2e_check "player on $kind: under 1 GB" "$([ "$peak" -lt "$entry_limit_kb" ] && echo yes)" "yes"
        { if entry_is_reported "$kind"; then
              for ((i = 0; i < ${#texture_files[@]} + ${#scene_files[@]} + 1; i++)); do echo "Error reading file"; done
              printf 'Error!\nFile not found\nError!\n%s\n' "$not_init"
          else
              printf 'Error!\nUnknown file format\nError!\n%s\n' "$not_init"
          fi; } >"$dir/want.out"
        if cmp -s "$dir/player.out" "$dir/want.out"; then verdict="as expected"; else verdict="differs"; fi
        e2e_check "player on $kind: standard output" "$verdict" "as expected"
        [ "$verdict" = "as expected" ] || { cat -A "$dir/player.out" | head -20; head -20 "$dir/player.err"; }
        rm -rf "$dir"
    done
}

# --- every program and command on every kind of entry, in place of every file it
# reads: one short run per command and kind, each watched for time (a minute) and memory
# (1 GB), with an honest status and a message that says what was wrong. One table: the
# command, what the entry stands for, its arguments (ENTRY: the entry's path, FONTS: a
# folder of fonts that are all that entry, OUT: a name in a scratch folder), and how it
# must end: `show` draws the show from a data/ of such entries (status 0 with the show's
# own messages on standard output, 3 where the kind leaves the data set incomplete, or 1
# with the reason on standard error), `refused`
# exits 1 saying what is wrong with the entry, `unmoved` reads none of it and exits 0
# (one run, in a data/ of every kind at once).
matrix=(
    "frame    data     show     sunmarrow-capture frame --time 60 --size 16x16 --out OUT.png"
    "frames   data     show     sunmarrow-capture frames --dir OUT --fps 1 --from 60 --to 61 --size 16x16"
    "video    data     show     sunmarrow-capture video --fps 1 --from 60 --to 61 --size 16x16 --out OUT.mp4"
    "bench    data     show     sunmarrow-capture bench --size 16x16 --frames 1"
    "renderer data     unmoved  sunmarrow-capture renderer"
    "field    capture  refused  sunmarrow-capture field --capture ENTRY"
    "strokes  capture  refused  sunmarrow-capture strokes --capture ENTRY --phase 0.5"
    "info     scene    refused  sunmarrow-scene info ENTRY"
    "eval     scene    refused  sunmarrow-scene eval ENTRY 0 12.5"
    "data     fonts    refused  sunmarrow-data --fonts FONTS --out OUT"
)
fonts_dir=/usr/share/fonts/truetype/dejavu
# A real file for each kind of entry to stand for (the unreadable copy is made of it).
real_capture=$E2E_TMP/real_capture.raw
head -c 57600 "$REL_DATA/texture.raw" >"$real_capture"

# cell_setup KIND DIR STANDS_FOR: DIR/ holding the kind of entry where the command looks.
cell_setup() {
    local kind=$1 dir=$2 f
    mkdir -p "$dir"
    case $3 in
        data)
            mkdir "$dir/data"
            local i=0
            for f in "$REL_DATA"/*; do
                [ "$1" = every ] && kind=${entry_kinds[i++ % ${#entry_kinds[@]}]}
                make_entry "$kind" "$dir/data/${f##*/}" "$f"
            done ;;
        capture) make_entry "$kind" "$dir/entry" "$real_capture" ;;
        scene) make_entry "$kind" "$dir/entry" "$REL_DATA/trees.csi" ;;
        fonts)
            mkdir "$dir/fonts"
            for f in "$fonts_dir"/*.ttf; do make_entry "$kind" "$dir/fonts/${f##*/}" "$f"; done ;;
    esac
}

# check_cell NAME KIND DIR HOW: the verdicts on a finished run (WATCH_* and DIR/cell.*).
check_cell() {
    local name=$1 kind=$2 dir=$3 how=$4 what="$1 on $2" want_out n=0 i
    echo "$what: ${WATCH_MS} ms, peak ${WATCH_PEAK_KB} kB, status $WATCH_STATUS${WATCH_KILLED:+, killed: $WATCH_KILLED}"
    e2e_check "$what: ends by itself within a minute, under 1 GB" "${WATCH_KILLED:-no}" "no"
    [ -z "$WATCH_KILLED" ] || return 0
    case $how in
        show)
            # Every data file is the entry: 13 reports (the music is not read here).
            entry_is_reported "$kind" && n=$((${#texture_files[@]} + ${#scene_files[@]} + 1))
            want_out=$(for ((i = 0; i < n; i++)); do echo "Error reading file"; done)
            if [ "$name" = bench ]; then
                e2e_check "$what: the show's messages" "$(grep -c '^Error reading file$' "$dir/cell.out")" "$n"
            else
                e2e_check "$what: standard output is the show's messages" "$(cat "$dir/cell.out")" "$want_out"
            fi
            # A kind the show cannot open leaves the data set incomplete: status 3 and
            # the files it lacks on standard error, what was made all the same.
            local made=0
            entry_is_reported "$kind" && made=3
            case $WATCH_STATUS in
                0 | 3) e2e_check "$what: status $made with what it made" \
                    "$WATCH_STATUS $(cell_made "$name" "$dir")" "$made made"
                    [ "$made" = 3 ] && e2e_check "$what: names the files the data set lacks" \
                        "$(grep -c '^  texture.raw (' "$dir/cell.err")" "1" ;;
                1) e2e_check "$what: status 1 says why" "$([ -s "$dir/cell.err" ] && echo said)" "said" ;;
                *) e2e_check "$what: status 0, 1 or 3" "$WATCH_STATUS" "0, 1 or 3" ;;
            esac
            [ "$name" = video ] && e2e_check "$what: the missing sound track is named" \
                "$(grep -c 'no sound track: .*sunmarrow.mp3' "$dir/cell.err")" "1" ;;
        refused)
            e2e_check "$what: status 1" "$WATCH_STATUS" "1"
            # The entry named, or the inspector's JSON with what was wrong.
            e2e_check "$what: says what is wrong" \
                "$(cat "$dir/cell.out" "$dir/cell.err" | grep -qE "$dir/(entry|fonts/)|\"error\": \"" && echo said)" "said" ;;
        unmoved)
            e2e_check "$what: status 0" "$WATCH_STATUS" "0"
            e2e_check "$what: one line" "$(wc -l <"$dir/cell.out")" "1" ;;
    esac
    [ -z "$(find "$dir" -name '*.partial*' 2>/dev/null)" ] || e2e_check "$what: no partial file left" "left" "none"
}

# cell_made NAME DIR: "made" when what a run with status 0 wrote is whole.
cell_made() {
    case $1 in
        frame) rel_whole_png "$2/out.png" && echo made ;;
        frames) rel_whole_png "$2/out/frame_00000.png" && echo made ;;
        video) ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$2/out.mp4" 2>/dev/null | grep -qx h264 && echo made ;;
        bench) grep -q '"frame_over_floor"' "$2/cell.out" && echo made ;;
    esac
}

matrix_cells() {
    local row name stands how template args kind kinds dir prefix
    for row in "${matrix[@]}"; do
        read -r name stands how template <<<"$row"
        [ "$name" = video ] && ! command -v ffmpeg >/dev/null 2>&1 && { unchecked="$unchecked video (no ffmpeg)"; continue; }
        kinds=("${entry_kinds[@]}")
        [ "$how" = unmoved ] && kinds=(every)
        for kind in "${kinds[@]}"; do
            dir=$E2E_TMP/matrix/$name-$kind
            cell_setup "$kind" "$dir" "$stands"
            args=${template//ENTRY/$dir/entry}
            args=${args//FONTS/$dir/fonts}
            args=${args//OUT/$dir/out}
            read -r -a prefix <<<"$(entry_prefix "$kind")"
            # shellcheck disable=SC2086
            watched 60 "$entry_limit_kb" "$dir" "$dir/cell" "${prefix[@]}" "$BIN_DIR/"$args
            check_cell "$name" "$kind" "$dir" "$how"
            rm -rf "$dir"
        done
    done
    rel_sanitizer_clean "every command on every kind of entry"
}

# --- outputs that cannot be written: --out or --dir naming what is in the way (a folder
# where a file goes, a file where a folder goes), a FIFO, a link to /dev/zero, a name in
# a read-only folder or in a missing one, and a full disk (a small tmpfs). Each command
# exits 1 saying what it could not write, and nothing stands at the name afterwards that
# looks complete, nor a partial file beside it. The read-only folder and the full disk
# are tmpfs mounts (root); without root the read-only folder is a folder of mode 555
# and the full disk cannot be had. One table: the command, what its target is (file or
# folder), its arguments (TARGET: the name).
out_kinds=(in_the_way fifo zero_link readonly missing full)
out_rows=(
    "frame   file    frame.png  sunmarrow-capture frame --time 60 --size 640x480 --out TARGET"
    "video   file    video.mp4  sunmarrow-capture video --fps 5 --from 60 --to 61 --size 320x240 --out TARGET"
    "frames  folder  frames     sunmarrow-capture frames --dir TARGET --fps 5 --from 60 --to 61 --size 640x480"
    "data    folder  data       sunmarrow-data --out TARGET"
)

# out_setup KIND DIR FILE|FOLDER NAME: makes DIR/place and prints the target's path in
# it; status 1 when the kind cannot be had here.
out_setup() {
    local kind=$1 dir=$2 shape=$3 target=$2/place/$4
    mkdir -p "$dir/place"
    case $kind in
        in_the_way) if [ "$shape" = file ]; then mkdir "$target"; else echo "a file" >"$target"; fi ;;
        fifo) mkfifo "$target" ;;
        zero_link) ln -s /dev/zero "$target" ;;
        readonly)
            if [ "$(id -u)" = 0 ]; then
                rel_mount_tmpfs "$dir/place" ro,size=64k || return 1
            else
                chmod 555 "$dir/place"
            fi ;;
        missing) target=$dir/place/gone/$4 ;;
        full)
            rel_mount_tmpfs "$dir/place" size=64k || return 1
            dd if=/dev/zero of="$dir/place/filler" bs=4k 2>/dev/null ;;
    esac
    echo "$target"
}

# out_state PATH: what stands at PATH, to compare before and after a run. A folder that
# a run made and left empty counts as nothing.
out_state() {
    if [ -d "$1" ] && [ ! -L "$1" ] && [ -z "$(ls -A "$1")" ] && [ "${2:-}" = "" ]; then return 0; fi
    if [ -e "$1" ] || [ -L "$1" ]; then stat -c '%F %s' "$1"; fi
    if [ -L "$1" ]; then readlink "$1"; fi
    return 0
}

output_cells() {
    local row name shape file template kind dir target before
    for row in "${out_rows[@]}"; do
        read -r name shape file template <<<"$row"
        [ "$name" = video ] && ! command -v ffmpeg >/dev/null 2>&1 && { unchecked="$unchecked video (no ffmpeg)"; continue; }
        for kind in "${out_kinds[@]}"; do
            # The generator makes the folders it needs: a missing one is no failure.
            [ "$name/$kind" = data/missing ] && continue
            dir=$E2E_TMP/outputs/$name-$kind
            if ! target=$(out_setup "$kind" "$dir" "$shape" "$file"); then
                unchecked="$unchecked $name-into-$kind (no tmpfs: not root)"
                continue
            fi
            before=$(out_state "$target" before)
            # Where a data set is needed, the good one; the folder for --out is elsewhere.
            mkdir -p "$dir/work" && ln -s "$REL_DATA" "$dir/work/data"
            watched 60 "$entry_limit_kb" "$dir/work" "$dir/cell" "$BIN_DIR/"${template//TARGET/$target}
            local what="$name into $kind"
            echo "$what: ${WATCH_MS} ms, status $WATCH_STATUS${WATCH_KILLED:+, killed: $WATCH_KILLED}"
            e2e_check "$what: ends by itself within a minute, under 1 GB" "${WATCH_KILLED:-no}" "no"
            e2e_check "$what: status 1" "$WATCH_STATUS" "1"
            e2e_check "$what: says what it could not write" \
                "$(grep -qF "$dir/place" "$dir/cell.err" && echo said)" "said"
            e2e_check "$what: what stood at the name is as it was" "$(out_state "$target" "$before")" "$before"
            e2e_check "$what: no partial file left" "$(find "$dir/place" -name '*.partial*' | wc -l)" "0"
            [ "$WATCH_STATUS" = 1 ] || head -5 "$dir/cell.err"
            rel_unmount "$dir/place"
            chmod -R u+w "$dir" 2>/dev/null
            rm -rf "$dir"
        done
    done
    rel_sanitizer_clean "outputs that cannot be written"
}

if [ "$entries" != no ]; then
    matrix_started=$(date +%s)
    if [ -n "$entries_player" ]; then
        kind_players
        echo "the players on each kind took $(($(date +%s) - matrix_started)) s"
        matrix_started=$(date +%s)
    fi
    if [ -n "${pid_of[entries]:-}" ]; then
        # Its set-up is long done: the most it was ever resident, loading included.
        peak=$(awk '/^VmHWM:/ {print $2}' "/proc/${pid_of[entries]}/status" 2>/dev/null)
        echo "entries: player peak ${peak:-?} kB after $(($(date +%s) - start_of[entries])) s"
        e2e_check "entries: the player runs, under 1 GB" "$([ -n "$peak" ] && [ "$peak" -lt "$entry_limit_kb" ] && echo yes)" "yes"
    fi
    matrix_cells
    echo "the entry matrix took $(($(date +%s) - matrix_started)) s"
    matrix_started=$(date +%s)
    output_cells
    echo "the output cases took $(($(date +%s) - matrix_started)) s"
fi

for name in "${cases[@]}"; do
    dir=$E2E_TMP/cases/$name
    echo "== $name: $(ls "$dir/data" | wc -l) files, $(du -sb "$dir/data" | cut -f1) bytes"
    run_capture "$name" "$dir"
done

for name in "${player_cases[@]}"; do
    dir=$E2E_TMP/cases/$name
    [ "$name" = entries ] && dir=$E2E_TMP/entries/player
    # 4 s of captions, 200 s of show, and the set-up before the clock starts.
    e2e_wait_exit "${pid_of[$name]}" 300
    took=$(($(date +%s) - start_of[$name]))
    e2e_check "$name: the player exits 0 by itself" "$EXIT_STATUS" "0"
    e2e_check "$name: after the whole show (${took} s)" "$((took >= 204))" "1"
    if [ "$name" = entries ]; then
        # Six entries that cannot be opened (the large files open), then the music FIFO.
        { for ((i = 0; i < 6; i++)); do printf 'Error reading file\n'; done
          printf 'Error!\nFile not found\nError!\n%s\n' "$not_init"; } >"$dir/want.out"
        if cmp -s "$dir/player.out" "$dir/want.out"; then verdict="as expected"; else verdict="differs"; fi
        e2e_check "entries: player's standard output" "$verdict" "as expected"
        [ "$verdict" = "as expected" ] || { echo "--- got:"; cat -A "$dir/player.out" | head -20; }
    else
        check_stdout "$name: player" "$dir/player.out" "$name" player
    fi
done
[ ${#player_cases[@]} -eq 0 ] || rel_sanitizer_clean "players" "$REL_SAN/players"

if [ "$E2E_FAILURES" -ne 0 ]; then
    echo "$E2E_FAILURES hostile data checks failed"
    exit 1
fi
[ -z "$missing" ] || unchecked="$unchecked the player runs (no $missing)"
if [ -n "$unchecked" ]; then
    echo "skipped:$unchecked"
    exit 77
fi
echo "all hostile data checks passed"
