#!/usr/bin/env bash
# Golden frames: a handful of instants of the show (one per scene, one in a gap, ones
# with captions) rendered headless at 320x240 and compared with the references in
# tests/golden/ within a small per-pixel tolerance (llvmpipe versions differ slightly).
# Prints where and how much a frame differs. scripts/update-golden.sh makes the
# references anew, on purpose. The references are llvmpipe's pictures: on any other
# renderer the script says which it found and exits 77 (skipped).
set -euo pipefail
build=$1
source=$2
data=${SUNMARROW_TEST_DATA:-$build/test-data/data}
capture=$build/sunmarrow-capture
command -v compare > /dev/null || { echo "skipped: ImageMagick's compare is missing"; exit 77; }
[ -d "$data" ] || { echo "no generated data in $data"; exit 1; }
source "$source/tests/golden/renderer.sh"
if ! golden_renderer "$capture"; then
  echo "skipped: the golden frames are Mesa llvmpipe's; this machine renders with '$GOLDEN_RENDERER'"
  exit 77
fi
echo "renderer: $GOLDEN_RENDERER"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$data" "$work/data"
source "$source/tests/golden/instants.sh"

fuzz=${GOLDEN_FUZZ:-8%}          # per-channel difference that still counts as equal
allowed=${GOLDEN_ALLOWED:-0.2}   # percent of pixels that may differ beyond it
failed=0
for t in "${GOLDEN_INSTANTS[@]}"; do
  ref=$source/tests/golden/frame_$t.png
  out=$work/frame_$t.png
  (cd "$work" && "$capture" frame --time "$t" --size 320x240 --out "$out" > /dev/null)
  if [ ! -f "$ref" ]; then
    echo "elapsed $t: no reference $ref (make them with scripts/update-golden.sh)"; failed=1; continue
  fi
  differing=$(compare -metric AE -fuzz "$fuzz" "$ref" "$out" null: 2>&1 || true)
  peak=$(compare -metric PAE "$ref" "$out" null: 2>&1 | sed 's/.*(\(.*\))/\1/' || true)
  percent=$(awk -v d="$differing" 'BEGIN { printf "%.3f", 100 * d / (320 * 240) }')
  if awk -v p="$percent" -v a="$allowed" 'BEGIN { exit !(p > a) }'; then
    where=$(convert "$ref" "$out" -compose difference -composite -colorspace gray -threshold "$fuzz" -trim \
      -format '%wx%h at %X%Y' info: 2>/dev/null || echo "?")
    echo "elapsed $t: DIFFERS in $percent % of pixels (peak difference $peak of 1), region $where"
    cp "$out" "$build/golden_actual_$t.png" 2>/dev/null || true
    failed=1
  else
    echo "elapsed $t: ok ($percent % of pixels beyond $fuzz, peak $peak)"
  fi
done
exit $failed
