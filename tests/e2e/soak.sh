#!/usr/bin/env bash
# The whole show, twice over, on the generated data set:
#  - the capture tool renders every frame from 0 to 204.1 s at 10 frames a second into a
#    video (with the sanitizer build's binary when there is one): it exits 0, writes
#    nothing on standard output and leaves no sanitizer report;
#  - the player plays the show under Xvfb with music on SDL's disk audio driver and ends
#    by itself after 204 s with status 0; its resident memory at 200 s is within 5 % of
#    that at 60 s; the sound it wrote is not silent anywhere the music is not.
# Both run at the same time. Usage: soak.sh BUILD_DIR SOURCE_DIR
#   SUNMARROW_ASAN_BUILD_DIR=DIR   the capture tool of that sanitizer build
#   SOAK_PLAYER_DIR=DIR            the player of that build (default BUILD_DIR)
#   SOAK_PARTS="capture player"    only these parts
set -u
BUILD_DIR=$(cd "${1:?build dir}" && pwd)
SOURCE_DIR=$(cd "${2:?source dir}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/player_lib.bash"
source "$here/lib/reliability.sh"

rel_pick_binaries
rel_sanitizer_env
rel_good_data
parts=${SOAK_PARTS:-capture player}
player_exe=${SOAK_PLAYER_DIR:-$BUILD_DIR}/sunmarrow
e2e_require ffmpeg ffprobe
# Without the X tools the capture part still runs, and the script then reports a skip.
missing=
if [[ " $parts " == *" player "* ]]; then
    for tool in Xvfb openbox xdotool xprop; do
        command -v "$tool" >/dev/null 2>&1 || { missing=$tool; parts=${parts//player/}; }
    done
fi

# The music's own length and silences, the measure for the player's sound file.
music_seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$REL_DATA/sunmarrow.mp3")
music_seconds=${music_seconds%.*}

# silence_within FILE SECONDS [INPUT OPTIONS...]: seconds of silence (below -60 dB for
# half a second or more) within the first SECONDS of FILE.
silence_within() {
    local file=$1 limit=$2
    shift 2
    ffmpeg -hide_banner -nostats "$@" -i "$file" -t "$limit" -af silencedetect=noise=-60dB:d=0.5 -f null - 2>&1 |
        awk -v limit="$limit" '
            /silence_start:/ { start = $NF + 0; open = 1 }
            /silence_end:/ { sub(/.*silence_end: */, ""); total += ($1 + 0) - start; open = 0 }
            END { if (open) total += limit - start; printf "%d\n", total + 0.5 }'
}

# --- the capture tool over the whole show, in the background
capture_pid=
if [[ " $parts " == *" capture "* ]]; then
    cdir=$E2E_TMP/capture
    mkdir -p "$cdir"
    cp -r "$REL_DATA" "$cdir/data"
    capture_start=$(date +%s)
    (cd "$cdir" && exec "$BIN_DIR/sunmarrow-capture" video --out "$cdir/show.mp4" --fps 10 --from 0 --to 204.2 \
        >"$cdir/capture.out" 2>"$cdir/capture.err") &
    capture_pid=$!
    E2E_PIDS+=("$capture_pid")
fi

# --- the player, music on, sound into a file
if [[ " $parts " == *" player "* ]]; then
    e2e_start_display 1280x1024
    pdir=$E2E_TMP/player
    mkdir -p "$pdir"
    cp -r "$REL_DATA" "$pdir/data"
    audio=$E2E_TMP/player-audio.raw
    BIN_DIR_SAVED=$BIN_DIR
    BIN_DIR=$(dirname "$player_exe")
    # Low priority: the show keeps to the wall clock, and the capture needs the processor.
    REL_NICE=10 rel_launch_player "$pdir" "$E2E_TMP/player" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio"
    BIN_DIR=$BIN_DIR_SAVED
    start=$(date +%s)
    if rel_player_window 60 >/dev/null; then
        shown=$(date +%s)
        rss=()
        for mark in 60 200; do
            while [ $(($(date +%s) - shown)) -lt "$mark" ] && kill -0 "$PLAYER_PID" 2>/dev/null; do sleep 0.5; done
            rss+=("$(rel_vmrss "$PLAYER_PID")")
        done
        echo "player VmRSS: ${rss[0]:-?} kB at 60 s, ${rss[1]:-?} kB at 200 s"
        if [ -n "${rss[0]}" ] && [ -n "${rss[1]}" ]; then
            diff=$((rss[1] - rss[0]))
            e2e_check "memory flat from 60 s to 200 s (${diff#-} kB of ${rss[0]} kB)" \
                "$((${diff#-} * 100 <= rss[0] * 5))" "1"
        else
            e2e_check "player still running at 200 s" "gone" "running"
        fi
        e2e_wait_exit "$PLAYER_PID" 60
        took=$(($(date +%s) - start))
        e2e_check "player exits 0 by itself" "$EXIT_STATUS" "0"
        e2e_check "player ran the whole show (${took} s)" "$((took >= 204 && took < 240))" "1"
        e2e_check "player standard output" "$(cat "$E2E_TMP/player.out")" ""
        # The device plays 16-bit stereo at 44100 Hz from the moment the sound system
        # starts, just before the show clock, and the show ends 204 s after that clock
        # started, cutting a longer track short. SDL's disk driver keeps only roughly
        # to real time, so a tenth is allowed for its drift.
        heard=$(($(stat -c %s "$audio" 2>/dev/null || echo 0) / 176400))
        span=$((music_seconds < 204 ? music_seconds : 204))
        e2e_check "sound file holds ${span} s of the music (${heard} s)" "$((heard * 10 >= span * 9))" "1"
        span=$((heard < span ? heard : span))
        want=$(silence_within "$REL_DATA/sunmarrow.mp3" "$span")
        got=$(silence_within "$audio" "$span" -f s16le -ar 44100 -ac 2)
        e2e_check "sound not silent where the music is not (${got} s silent in ${span} s, music ${want} s)" \
            "$((got <= want + 1))" "1"
    else
        e2e_check "player window appears" "none" "a window"
        cat "$E2E_TMP/player.err"
    fi
    rm -f "$audio"
fi

if [ -n "$capture_pid" ]; then
    e2e_wait_exit "$capture_pid" 3000
    echo "capture: $(($(date +%s) - capture_start)) s for 2042 frames"
    e2e_check "capture of the whole show exits 0" "$EXIT_STATUS" "0"
    e2e_check "capture standard output" "$(cat "$cdir/capture.out")" ""
    frames=$(ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets \
        -of csv=p=0 "$cdir/show.mp4" 2>/dev/null)
    e2e_check "video holds every frame" "$frames" "2042"
    # Standard error is a file here: a short log, not a bar redrawn 2042 times.
    e2e_check "progress lines in the log (at most 22)" \
        "$(($(tr '\r' '\n' < "$cdir/capture.err" | grep -c "frames") <= 22))" "1"
    [ "$EXIT_STATUS" = 0 ] || tr '\r' '\n' <"$cdir/capture.err" | tail -20
fi
rel_sanitizer_clean "soak"

if [ "$E2E_FAILURES" -ne 0 ]; then
    echo "$E2E_FAILURES soak checks failed"
    exit 1
fi
if [ -n "$missing" ]; then
    echo "skipped: the player's part needs $missing, which is not installed"
    exit 77
fi
echo "all soak checks passed"
