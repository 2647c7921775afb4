#!/usr/bin/env bash
# The capture tool's frames and video. Frames of other shapes than 4:3 hold the show at
# its own aspect on black, the picture inside being the show drawn at that 4:3 size;
# --stretch fills the frame. A video encodes H.264 at the asked size, rate and CRF with
# the music as its AAC sound track, cut to the same span, in step with the pictures; its
# progress into a file is a short log. Wrong options are refused with status 2 and a
# usage line before anything is drawn. SIGINT, SIGTERM or SIGHUP during an export end
# it within a second (two when sanitized: the leak check at exit takes most of one)
# with status 128 + the signal, keeping a playable video (its sound
# as long as its pictures) or whole PNGs of the frames made; a stopped 4K export plays
# too. Without ffmpeg the tool says so and fails; without ffmpeg, ffprobe, ImageMagick's
# compare or script (a terminal for the bar) the script skips (77).
set -euo pipefail
build=$1
source=$2
data=${SUNMARROW_TEST_DATA:-$build/test-data/data}
capture=$build/sunmarrow-capture
for tool in ffmpeg ffprobe compare script; do
  command -v $tool > /dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/video_capture.$$.XXXX")
trap 'rm -rf "$work"' EXIT
ln -s "$data" "$work/data"
cd "$work"
fail() { echo "$*"; exit 1; }
source "$source/tests/e2e/lib/reliability.sh"

# --- true aspect: pillarbox, letterbox, stretch
# The brightest value (0-255) inside a crop WxH+X+Y.
peak() { convert "$1" -crop "$2" +repage -format '%[fx:round(255*maxima)]' info:; }
"$capture" frame --time 140 --size 1920x1080 --out wide.png
"$capture" frame --time 140 --size 1440x1080 --out inner.png
"$capture" frame --time 140 --size 1080x1920 --out tall.png
"$capture" frame --time 140 --size 1920x1080 --stretch --out stretched.png
[ "$(peak wide.png 240x1080+0+0) $(peak wide.png 240x1080+1680+0)" = "0 0" ] || fail "1920x1080: columns 0-239 and 1680-1919 are not black"
[ "$(peak wide.png 1x1080+240+0)" -gt 0 ] && [ "$(peak wide.png 1x1080+1679+0)" -gt 0 ] || fail "1920x1080: the picture does not reach columns 240 and 1679"
convert wide.png -crop 1440x1080+240+0 +repage middle.png
differing=$(compare -metric AE middle.png inner.png null: 2>&1 || true)
[ "$differing" = 0 ] || fail "the middle of a 1920x1080 frame differs from a 1440x1080 frame in $differing pixels"
# 1080x1920: the picture is 1080x810, its top at row 554 (offsets are even).
[ "$(peak tall.png 1080x554+0+0) $(peak tall.png 1080x556+0+1364)" = "0 0" ] || fail "1080x1920: no black bars above and below"
[ "$(peak tall.png 1080x1+0+554)" -gt 0 ] && [ "$(peak tall.png 1080x1+0+1363)" -gt 0 ] || fail "1080x1920: the picture is not rows 554-1363"
[ "$(peak stretched.png 240x1080+0+0)" -gt 0 ] || fail "--stretch left black bars"

# --- a clip at 10 frames a second, progress written into a file
"$capture" video --from 40 --to 50 --fps 10 --size 320x240 --out clip.mp4 2> progress.txt
grep -q "100/100 frames" progress.txt || { echo "no progress seen:"; cat progress.txt; exit 1; }
! grep -q $'\r' progress.txt || fail "progress into a file redraws a bar"
lines=$(tr '\r' '\n' < progress.txt | grep -c frames)
[ "$lines" -le 22 ] || { echo "progress into a file took $lines lines:"; cat progress.txt; exit 1; }
# On a terminal (script gives it one): the bar, redrawn in place.
script -qec "'$capture' video --from 40 --to 41 --fps 10 --size 320x240 --out tty.mp4" /dev/null > tty.txt
grep -q $'\r\\[#*\\.*\\] 10/10 frames' tty.txt || { echo "no bar on a terminal:"; cat -v tty.txt; exit 1; }

probe() { ffprobe -v error -select_streams "$1" -show_entries "$2" -of default=noprint_wrappers=1:nokey=1 "${3:-clip.mp4}"; }
[ "$(probe v:0 stream=codec_name)" = h264 ] || fail "video is not H.264"
[ "$(probe v:0 stream=width)x$(probe v:0 stream=height)" = 320x240 ] || fail "wrong size"
[ "$(probe v:0 stream=r_frame_rate)" = 10/1 ] || fail "wrong frame rate: $(probe v:0 stream=r_frame_rate)"
[ "$(probe v:0 stream=pix_fmt) $(probe v:0 stream=color_space)" = "yuv420p bt709" ] || fail "not yuv420p tagged BT.709"
[ "$(probe a:0 stream=codec_name)" = aac ] || fail "sound is not AAC"
audio=$(probe a:0 stream=duration)
awk -v d="$audio" 'BEGIN { exit !(d > 9.8 && d < 10.3) }' || fail "audio track lasts $audio s, not 10"

# The frame at 5 s of the clip is elapsed 45.
ffmpeg -v error -ss 5 -i clip.mp4 -frames:v 1 from_video.png
"$capture" frame --time 45 --size 320x240 --out direct.png > /dev/null
differing=$(compare -metric AE -fuzz 15% direct.png from_video.png null: 2>&1 || true)
awk -v d="$differing" 'BEGIN { exit !(d < 0.05 * 320 * 240) }' || fail "video frame at 5 s differs from frame --time 45 in $differing pixels"

# --- 60 frames a second at 1280x720: every frame, pillarboxed, the music beside it
"$capture" video --size 1280x720 --fps 60 --from 10 --to 11 --out hd.mp4 2> /dev/null
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 hd.mp4)
[ "$frames $(probe v:0 stream=width hd.mp4)x$(probe v:0 stream=height hd.mp4) $(probe v:0 stream=r_frame_rate hd.mp4)" = "60 1280x720 60/1" ] ||
  fail "1280x720 at 60 fps for 1 s: $frames frames of $(probe v:0 stream=width hd.mp4)x$(probe v:0 stream=height hd.mp4) at $(probe v:0 stream=r_frame_rate hd.mp4)"
starts="$(probe v:0 stream=start_time hd.mp4) $(probe a:0 stream=start_time hd.mp4) $(probe a:0 stream=duration hd.mp4)"
awk -v s="$starts" 'BEGIN { split(s, v, " "); exit !(v[1] == 0 && v[2] > -0.02 && v[2] < 0.02 && v[3] > 0.95 && v[3] < 1.05) }' ||
  fail "sound not beside the pictures (video start, audio start, audio duration: $starts)"
ffmpeg -v error -ss 0.5 -i hd.mp4 -frames:v 1 hd_video.png
"$capture" frame --time 10.5 --size 1280x720 --out hd_direct.png
# Black within the encoder's noise: x264 leaves a level or two in blocks next to the picture.
bars="$(peak hd_video.png 156x720+0+0) $(peak hd_video.png 156x720+1124+0)"
awk -v b="$bars" 'BEGIN { split(b, v, " "); exit !(v[1] <= 8 && v[2] <= 8) }' || fail "the 1280x720 video has no black bars (peaks $bars)"
differing=$(compare -metric AE -fuzz 15% hd_direct.png hd_video.png null: 2>&1 || true)
awk -v d="$differing" 'BEGIN { exit !(d < 0.05 * 1280 * 720) }' || fail "video frame at 0.5 s differs from frame --time 10.5 in $differing pixels"

# --- the CRF reaches the encoder: a lower one gives a larger file
"$capture" video --size 320x240 --fps 10 --from 40 --to 42 --crf 12 --out fine.mp4 2> /dev/null
"$capture" video --size 320x240 --fps 10 --from 40 --to 42 --crf 35 --preset ultrafast --out coarse.mp4 2> /dev/null
grep -aq "crf=12.0" fine.mp4 && grep -aq "crf=35.0" coarse.mp4 && grep -aq "crf=18.0" clip.mp4 || fail "the encoder did not get the CRF"
fine=$(stat -c %s fine.mp4)
coarse=$(stat -c %s coarse.mp4)
[ "$fine" -gt $((coarse * 2)) ] || fail "--crf 12 gave $fine bytes, --crf 35 $coarse"

# --- wrong options: status 2, a usage line, nothing written
refused() {
  set +e
  "$capture" "$@" > /dev/null 2> refused.txt
  local status=$?
  set -e
  [ $status -eq 2 ] && grep -q "^usage: sunmarrow-capture" refused.txt || { echo "$* gave status $status:"; cat refused.txt; exit 1; }
}
for args in "video --size 321x240" "video --size 1280x721" "video --fps 0" "video --fps 61" "video --crf 52" \
            "video --crf -1" "video --crf 18.5" "video --preset fastest" "video --from 5 --to 5" "video --stretch yes" \
            "frames --dir out --crf 18" "frames --dir out --size 9000x9000" "frames --dir out --size 1920x0" \
            "frame --time 1 --size 0x0" "frame --time 1 --size 8193x8192" "frame --time 1 --preset fast" "frame --size 640x480"; do
  # shellcheck disable=SC2086
  refused $args --out refused.out
done
[ ! -e refused.out ] && [ ! -e out ] || fail "a refused command wrote something"

# Without ffmpeg on PATH: a clear message and status 1.
set +e
PATH=/nonexistent "$capture" video --from 0 --to 1 --out none.mp4 2> missing.txt
status=$?
set -e
[ $status -eq 1 ] && grep -q ffmpeg missing.txt || { echo "missing ffmpeg gave status $status:"; cat missing.txt; exit 1; }
[ ! -e none.mp4 ] || fail "a file was written without ffmpeg"
# --- a stopped export keeps what it made. stop_export SIGNAL LOG COMMAND...: runs the
# export, sends SIGNAL once its progress shows in LOG, and sets STOPPED (its exit status)
# and STOP_MS (from the signal to its end).
stop_export() {
  local signal=$1 log=$2 pid i start
  shift 2
  "$@" 2> "$log" &
  pid=$!
  for ((i = 0; i < 1200; i++)); do grep -q "frames (" "$log" && break; sleep 0.05; done
  start=$(date +%s%N)
  kill -"$signal" "$pid"
  STOPPED=0
  wait "$pid" || STOPPED=$?
  STOP_MS=$((($(date +%s%N) - start) / 1000000))
}
# What was cut short says so: 128 + the signal's number, as a shell reports it.
declare -A number_of=([INT]=2 [HUP]=1 [TERM]=15)
# A sanitized build's leak check at exit alone takes most of a second: it gets two.
stop_limit=1000
case $(ldd "$capture") in *libasan*) stop_limit=2000 ;; esac
stops=""
for signal in INT TERM HUP; do
  want=$((128 + number_of[$signal]))
  stop_export "$signal" "stop_$signal.txt" "$capture" video --from 40 --to 45 --fps 10 --size 320x240 --out "stop_$signal.mp4"
  stops="$stops $signal:${STOP_MS}ms"
  [ "$STOPPED" = "$want" ] || { cat "stop_$signal.txt"; fail "video stopped by SIG$signal exits $STOPPED, not $want"; }
  [ "$STOP_MS" -le $stop_limit ] || fail "video stopped by SIG$signal took $STOP_MS ms to end"
  made=$(sed -n 's/^Stopped by SIG[A-Z]* after \([0-9]*\) of.*/\1/p' "stop_$signal.txt")
  counted=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "stop_$signal.mp4") ||
    fail "the video stopped by SIG$signal is no video ffprobe reads"
  [ -n "$made" ] && [ "$counted" = "$made" ] || fail "SIG$signal: the tool says $made frames, the video holds $counted"
  sound=$(probe a:0 stream=duration "stop_$signal.mp4")
  awk -v a="$sound" -v n="$made" 'BEGIN { exit !(a > n / 10 - 0.1 && a < n / 10 + 0.1) }' ||
    fail "SIG$signal: $made frames at 10 fps, but $sound s of sound"

  stop_export "$signal" "frames_$signal.txt" "$capture" frames --dir "frames_$signal" --from 40 --to 45 --fps 10 --size 320x240
  [ "$STOPPED" = "$want" ] || { cat "frames_$signal.txt"; fail "frames stopped by SIG$signal exits $STOPPED, not $want"; }
  [ "$STOP_MS" -le $stop_limit ] || fail "frames stopped by SIG$signal took $STOP_MS ms to end"
  made=$(sed -n 's/^Stopped by SIG[A-Z]* after \([0-9]*\) of.*/\1/p' "frames_$signal.txt")
  [ -n "$made" ] && [ "$(ls -A "frames_$signal" | wc -l)" = "$made" ] ||
    fail "SIG$signal: the tool says $made frames, the folder holds $(ls -A "frames_$signal" | tr '\n' ' ')"
  for png in "frames_$signal"/*; do rel_whole_png "$png" || fail "SIG$signal left $png cut short"; done
done
[ -z "$(ls -A | grep '\.partial')" ] || fail "hidden files of stopped exports were left: $(ls -A | grep partial)"

# A stopped 4K export gives a playable file.
stop_export INT stop_4k.txt "$capture" video --from 40 --to 42 --fps 10 --size 3840x2160 --out stop_4k.mp4
[ "$STOPPED" = 130 ] || { cat stop_4k.txt; fail "the 4K export stopped by SIGINT exits $STOPPED"; }
[ "$(probe v:0 stream=width stop_4k.mp4)x$(probe v:0 stream=height stop_4k.mp4) $(probe a:0 stream=codec_name stop_4k.mp4)" = "3840x2160 aac" ] ||
  fail "the stopped 4K export is no 3840x2160 video with sound"
ffmpeg -v error -i stop_4k.mp4 -f null - || fail "the stopped 4K export does not play to its end"
stops="$stops 4K:${STOP_MS}ms"

echo "video capture ok (audio $audio s, $differing pixels differ at 0.5 s, crf 12/35: $fine/$coarse bytes; stopped:$stops)"
