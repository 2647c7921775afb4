#!/usr/bin/env bash
# Renders the golden frames anew into tests/golden/ from the current build and a freshly
# generated data set, on Mesa's llvmpipe (tests/golden/renderer.sh; it refuses any
# other renderer). Run it on purpose, after a change of the picture that is meant,
# and look at the new frames before committing them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
source "$root/tests/golden/renderer.sh"
if ! golden_renderer "$build/sunmarrow-capture"; then
  echo "The golden frames are made on Mesa's llvmpipe; this machine renders with '$GOLDEN_RENDERER'." >&2
  exit 1
fi
echo "renderer: $GOLDEN_RENDERER"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/sunmarrow-data" --out "$work/data" > /dev/null
source "$root/tests/golden/instants.sh"
for t in "${GOLDEN_INSTANTS[@]}"; do
  (cd "$work" && "$build/sunmarrow-capture" frame --time "$t" --size 320x240 --out "$root/tests/golden/frame_$t.png" > /dev/null)
  echo "tests/golden/frame_$t.png"
done
