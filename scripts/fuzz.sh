#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) into build-fuzz/ and runs each
# for SECONDS (default 60) from its seed corpus in tests/fuzz/corpus/<target>/.
# Findings are written to build-fuzz/findings/<target>/ and make the script fail.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build=$root/build-fuzz
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
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
failed=0
for t in "${targets[@]}"; do
  corpus=$build/corpus/$t
  findings=$build/findings/$t
  mkdir -p "$corpus" "$findings"
  [ -d "$root/tests/fuzz/corpus/$t" ] && cp -n "$root/tests/fuzz/corpus/$t"/* "$corpus"/ 2>/dev/null || true
  echo "== $t: ${seconds}s"
  if "$build/$t" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=4096 -print_final_stats=1 \
      -artifact_prefix="$findings/" "$corpus" > "$build/$t.log" 2>&1; then
    grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$build/$t.log" | tr '\n' ' '; echo
  else
    echo "FAILED: $t (see $build/$t.log; inputs in $findings)"; tail -30 "$build/$t.log"; failed=1
  fi
done
exit $failed
