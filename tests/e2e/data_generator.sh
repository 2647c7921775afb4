#!/usr/bin/env bash
# The data generator end to end: every file at the size the show reads, scenes that the
# inspector finds complete with a camera and lights, the same bytes from a second run,
# caption bands that hold text and nothing between them, and a sound track of the
# show's length and loudness. Usage: data_generator.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=${1:?usage: data_generator.sh BUILD_DIR SOURCE_DIR}
generator="$build/sunmarrow-data"
inspector="$build/sunmarrow-scene"

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
[ -x "$generator" ] || { echo "FAIL: $generator is not built"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- One run, with a progress line per file. Its time is printed, not judged: a shared
# machine under a sanitizer takes longer without anything being wrong.
start=$(date +%s%N)
"$generator" --out "$work/first" >"$work/first.log" || { cat "$work/first.log"; echo "FAIL: generator failed"; exit 1; }
seconds=$(( ($(date +%s%N) - start) / 1000000000 ))
echo "generated in ${seconds} s"
lines=$(grep -c '^\[' "$work/first.log" || true)
[ "$lines" -eq 14 ] || fail "expected 14 progress lines, got $lines"

scenes="intro1 intro2 intro3 intro4 trees clouds bird2 flowers moon"

# --- Sizes.
size_is() {
    local actual
    actual=$(stat -c %s "$work/first/$1" 2>/dev/null || echo missing)
    [ "$actual" = "$2" ] || fail "$1 is $actual bytes, the show reads $2"
}
size_is texture.raw 196608
size_is texture_flowers.raw 196608
size_is texter4.raw 131072
size_is stroke4_A_32_128.raw 4096
for s in $scenes; do
    f="$work/first/$s.csi"
    [ -s "$f" ] || { fail "$s.csi missing"; continue; }
    [ "$(stat -c %s "$f")" -lt 2097152 ] || fail "$s.csi is larger than 2 MB"
done
[ -s "$work/first/sunmarrow.mp3" ] || fail "sunmarrow.mp3 missing"

# --- Scenes through the inspector, when it is built.
if [ -x "$inspector" ]; then
    for s in $scenes; do
        info=$("$inspector" info "$work/first/$s.csi" || true)
        grep -q '"complete": true' <<<"$info" || fail "$s.csi is not complete: ${info:0:200}"
        grep -q '"camera": true' <<<"$info" || fail "$s.csi has no camera"
        grep -Eq '"lights": \[[0-9]' <<<"$info" || fail "$s.csi has no light"
    done
    # The README's example is what the inspector prints, meshes left out.
    example=$(sed -n 's|^sunmarrow-scene info data/trees.csi *# ||p' "${2:?}/README.md")
    info=$("$inspector" info "$work/first/trees.csi" | sed 's|"meshes": \[.*\]}$|"meshes": [...]}|')
    [ "$info" = "$example" ] || fail "the README's info example says $example; the inspector prints ${info:0:200}"
else
    unchecked="$inspector is not built, so the scene files were checked by size only"
fi

# --- Determinism: another run gives the same bytes. The suite's shared data set is
# one, made by the same generator at the start of the run; without it, run again.
second=${SUNMARROW_TEST_DATA:-}
if [ -z "$second" ] || [ ! -f "$second/sunmarrow.mp3" ]; then
    second=$work/second
    "$generator" --out "$second" >/dev/null || fail "second run failed"
fi
for f in "$work/first"/*; do
    name=$(basename "$f")
    cmp -s "$f" "$second/$name" || fail "$name differs between two runs"
done

# --- Caption bands: text inside each band, black outside every band and in rows that
# two bands share, and at each band's first and last row.
od -An -v -tu1 -w256 "$work/first/texter4.raw" |
    awk '{ m = 0; for (i = 1; i <= NF; i++) if ($i + 0 > m) m = $i + 0; print m }' >"$work/rowmax"
[ "$(wc -l <"$work/rowmax")" -eq 512 ] || fail "caption texture does not have 512 rows"
bands="10:67 82:105 107:126 126:150 150:171 171:193 216:239 241:264 264:286 293:316 314:339 339:363 363:387 388:454 462:504"
caption_report=$(awk -v bands="$bands" '
    { level[NR - 1] = $1 }
    END {
        n = split(bands, list, " ")
        for (b = 1; b <= n; b++) {
            split(list[b], edge, ":"); top[b] = edge[1]; bottom[b] = edge[2]
            for (r = top[b]; r < bottom[b]; r++) owners[r]++
        }
        for (b = 1; b <= n; b++) {
            peak = 0
            for (r = top[b]; r < bottom[b]; r++) if (level[r] > peak) peak = level[r]
            if (peak < 200) print "band " top[b] "-" bottom[b] " holds no text"
            if (level[top[b]] > 0 || level[bottom[b] - 1] > 0) print "band " top[b] "-" bottom[b] " has ink on its edge row"
        }
        for (r = 0; r < 512; r++) {
            if (owners[r] != 1 && level[r] > 0) print "row " r " has ink but belongs to " owners[r] + 0 " bands"
        }
    }' "$work/rowmax")
[ -z "$caption_report" ] || fail "captions: $caption_report"

# --- Music: length and loudness.
mp3="$work/first/sunmarrow.mp3"
if command -v ffprobe >/dev/null && command -v ffmpeg >/dev/null; then
    duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$mp3")
    awk -v d="$duration" 'BEGIN { exit !(d >= 203.5 && d <= 204.5) }' || fail "music lasts $duration s, not 204"
    rate=$(ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,channels -of csv=p=0 "$mp3")
    [ "$rate" = "44100,2" ] || fail "music is $rate, not 44100 Hz stereo"
    volume=$(ffmpeg -hide_banner -nostats -i "$mp3" -af volumedetect -f null - 2>&1 | grep -E 'mean_volume|max_volume')
    mean=$(sed -n 's/.*mean_volume: \(-\?[0-9.]*\) dB.*/\1/p' <<<"$volume")
    peak=$(sed -n 's/.*max_volume: \(-\?[0-9.]*\) dB.*/\1/p' <<<"$volume")
    echo "music: ${duration} s, mean ${mean} dB, peak ${peak} dB"
    awk -v p="$peak" 'BEGIN { exit !(p < 0) }' || fail "music peaks at $peak dBFS"
    awk -v m="$mean" 'BEGIN { exit !(m > -30) }' || fail "music RMS $mean dBFS is below -30"
else
    unchecked="${unchecked:+$unchecked; }ffprobe and ffmpeg, which check the music, are not installed"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
if [ -n "${unchecked:-}" ]; then
    echo "skipped: $unchecked"
    exit 77
fi
echo "data generator: all checks passed"
