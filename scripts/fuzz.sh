#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) into build-fuzz/ and runs each
# for SECONDS (default 60) from its seed corpus in tests/fuzz/corpus/<target>/.
# The working corpus (seeds plus what the run found interesting) stays in
# build-fuzz/corpus/<target>/, so a later run goes on from there; crashing inputs are
# written to build-fuzz/findings/<target>/ and make the script fail. A finding becomes
# a unit test next to its subsystem's tests once it is fixed.
#   scripts/fuzz.sh [SECONDS] [TARGET...]      e.g. scripts/fuzz.sh 3600 fuzz_scene_loader
#   scripts/fuzz.sh --seeds DATA_DIR           rewrites the texture and sound seeds from a
#                                              folder that sunmarrow-data generated
# Prints one summary line per target: executions, corpus size, peak memory, findings.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# Seeds are small cuts of the generator's own files. A texture seed is the fuzz
# target's three size and kind codes followed by the file's bytes.
if [ "${1:-}" = "--seeds" ]; then
  data=${2:?usage: scripts/fuzz.sh --seeds DATA_DIR}
  tex=$root/tests/fuzz/corpus/fuzz_raw_texture
  snd=$root/tests/fuzz/corpus/fuzz_sound_open
  mkdir -p "$tex" "$snd"
  seed() { { printf "$2"; head -c "$3" "$data/$4"; } > "$tex/$1"; }
  seed rgb_16x16 '\x10\x10\x00' 768 texture.raw
  seed rgb_16x16_short '\x10\x10\x00' 100 texture_flowers.raw
  seed rgba_8x8 '\x08\x08\x01' 256 texture_flowers.raw
  seed luminance_32x64 '\x20\x40\x02' 2048 texter4.raw
  seed brush_32x32 '\x20\x20\x02' 1024 stroke4_A_32_128.raw
  seed unknown_kind '\x04\x04\x03' 48 texture.raw
  head -c 4096 "$data/sunmarrow.mp3" > "$snd/track_start.mp3"
  dd if="$data/sunmarrow.mp3" of="$snd/track_middle.mp3" bs=4096 skip=244 count=1 status=none
  head -c 600 "$data/sunmarrow.mp3" > "$snd/one_frame.mp3"
  ls -l "$tex" "$snd"
  exit 0
fi
seconds=${1:-60}
shift || true
case $seconds in '' | *[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS] [TARGET...]" >&2; exit 2 ;; esac
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DSUNMARROW_FUZZ=ON -DSUNMARROW_BENCH=OFF -DSUNMARROW_TESTS=ON > /dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in "$root"/tests/fuzz/fuzz_*.cpp; do
    [ -e "$src" ] && targets+=("$(basename "$src" .cpp)")
  done
fi
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets"; exit 0; }
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

# The fuzz targets are defined in tests/, so CMake puts them in its binary folder.
binary_of() {
  local t=$1 candidate
  for candidate in "$build/tests/$t" "$build/$t"; do
    [ -x "$candidate" ] && { echo "$candidate"; return 0; }
  done
  return 1
}

export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
failed=0
for t in "${targets[@]}"; do
  exe=$(binary_of "$t") || { echo "FAILED: $t was not built"; failed=1; continue; }
  corpus=$build/corpus/$t
  findings=$build/findings/$t
  mkdir -p "$corpus" "$findings"
  seeds=$root/tests/fuzz/corpus/$t
  if [ -d "$seeds" ]; then
    cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true
  else
    echo "note: $t has no seed corpus in tests/fuzz/corpus/$t"
  fi
  before=$(find "$findings" -type f | wc -l)
  echo "== $t: ${seconds}s from $(find "$corpus" -type f | wc -l) inputs"
  start=$(date +%s)
  # -error_exitcode keeps a finding apart from a run that ended for another reason.
  if "$exe" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=4096 -timeout=30 \
      -print_final_stats=1 -error_exitcode=77 -artifact_prefix="$findings/" "$corpus" \
      > "$build/$t.log" 2>&1; then
    status=0
  else
    status=$?
  fi
  took=$(($(date +%s) - start))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/$t.log" | tail -n1)
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$build/$t.log" | tail -n1)
  found=$(($(find "$findings" -type f | wc -l) - before))
  echo "$t: ${runs:-?} executions in ${took}s, corpus $(find "$corpus" -type f | wc -l), peak ${rss:-?} MB, findings $found"
  if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
    echo "FAILED: $t (exit $status; see $build/$t.log; inputs in $findings)"
    tail -40 "$build/$t.log"
    failed=1
  elif [ "$took" -lt $((seconds - 2)) ]; then
    # libFuzzer stops early only on a finding or a broken target: both are failures.
    echo "FAILED: $t stopped after ${took}s of ${seconds}s"
    tail -20 "$build/$t.log"
    failed=1
  fi
done
exit $failed
