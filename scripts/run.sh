#!/usr/bin/env bash
# One command from a fresh machine to the show: install, build, generate data/, play.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
cd "$root"
gen=build/sunmarrow-data
if [ -x "$gen" ] && { [ ! -d data ] || [ "$gen" -nt data ]; }; then
  "$gen" --out data && touch data
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set)."
  if [ -x build/sunmarrow-capture ]; then
    echo "Rendering the show to sunmarrow.mp4 instead."
    exec build/sunmarrow-capture video --out sunmarrow.mp4
  fi
  exit 1
fi
exec build/sunmarrow
