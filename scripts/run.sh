#!/usr/bin/env bash
# One command from a fresh machine to the show: install, build (which generates the data
# set into build/data), play. The player starts in build/, so it plays that data set.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
cd "$root/build"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set)."
  if [ -x sunmarrow-capture ]; then
    echo "Rendering the show to sunmarrow.mp4 instead."
    exec ./sunmarrow-capture video --out "$root/sunmarrow.mp4"
  fi
  exit 1
fi
exec ./sunmarrow "$@"
