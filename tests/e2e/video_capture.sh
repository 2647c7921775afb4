#!/usr/bin/env bash
# The capture tool's video: ten seconds from elapsed 40 encode to H.264 at the asked
# size and rate with the music as its sound track, cut to the same ten seconds; the
# frame at 5 s shows what `frame --time 45` shows; without ffmpeg the tool says so and
# fails. Without ffmpeg, ffprobe or ImageMagick's compare the script skips (77).
set -euo pipefail
build=$1
source=$2
data=${SUNMARROW_TEST_DATA:-$build/test-data/data}
capture=$build/sunmarrow-capture
for tool in ffmpeg ffprobe compare; do
  command -v $tool > /dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$data" "$work/data"
cd "$work"

"$capture" video --from 40 --to 50 --fps 10 --size 320x240 --out clip.mp4 2> progress.txt
grep -q "100/100 frames" progress.txt || { echo "no progress bar seen:"; cat progress.txt; exit 1; }

probe() { ffprobe -v error -select_streams "$1" -show_entries "$2" -of default=noprint_wrappers=1:nokey=1 clip.mp4; }
[ "$(probe v:0 stream=codec_name)" = h264 ] || { echo "video is not H.264"; exit 1; }
[ "$(probe v:0 stream=width)x$(probe v:0 stream=height)" = 320x240 ] || { echo "wrong size"; exit 1; }
[ "$(probe v:0 stream=r_frame_rate)" = 10/1 ] || { echo "wrong frame rate: $(probe v:0 stream=r_frame_rate)"; exit 1; }
[ "$(probe v:0 stream=pix_fmt)" = yuv420p ] || { echo "wrong pixel format"; exit 1; }
audio=$(probe a:0 stream=duration)
awk -v d="$audio" 'BEGIN { exit !(d > 9.8 && d < 10.3) }' || { echo "audio track lasts $audio s, not 10"; exit 1; }

# The frame at 5 s of the clip is elapsed 45.
ffmpeg -v error -ss 5 -i clip.mp4 -frames:v 1 from_video.png
"$capture" frame --time 45 --size 320x240 --out direct.png > /dev/null
differing=$(compare -metric AE -fuzz 15% direct.png from_video.png null: 2>&1 || true)
awk -v d="$differing" 'BEGIN { exit !(d < 0.05 * 320 * 240) }' || {
  echo "video frame at 5 s differs from frame --time 45 in $differing pixels"; exit 1; }

# Without ffmpeg on PATH: a clear message and status 1.
set +e
PATH=/nonexistent "$capture" video --from 0 --to 1 --out none.mp4 2> missing.txt
status=$?
set -e
[ $status -eq 1 ] && grep -q ffmpeg missing.txt || { echo "missing ffmpeg gave status $status:"; cat missing.txt; exit 1; }
[ ! -e none.mp4 ] || { echo "a file was written without ffmpeg"; exit 1; }
echo "video capture ok (audio $audio s, $differing pixels differ at 5 s)"
