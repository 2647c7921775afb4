#!/usr/bin/env bash
# One command from a fresh machine to the whole test suite:
#   scripts/test.sh           install, then fuzz (60 s a target), the sanitizer build's
#                             suite, and last the normal build's suite (CTest's summary),
#                             in which the broken-data, soak and window-abuse scripts run
#                             the sanitizer build's programs
#   scripts/test.sh --quick   install, build, and run the normal suite only
# Extra arguments after the mode go to the last ctest (e.g. -L unit, -R Caption).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
quick=0
if [ "${1:-}" = "--quick" ]; then quick=1; shift; fi
"$root/scripts/deps.sh"

if [ $quick -eq 0 ]; then
  echo "== fuzzing (libFuzzer, clang, ASan + UBSan)"
  "$root/scripts/fuzz.sh" "${FUZZ_SECONDS:-60}"

  echo "== sanitizer build (ASan + UBSan, halt on error)"
  asan=$root/build-asan
  BUILD_DIR=$asan "$root/scripts/build.sh" -DSUNMARROW_SANITIZE=ON -DSUNMARROW_BENCH=OFF
  # Shared libraries stay mapped to the end, so leak reports name them (the file says why).
  cc -shared -fPIC -O2 -o "$asan/keep_modules.so" "$root/tests/sanitizer/keep_modules.c"
  (
    cd "$asan"
    export LD_PRELOAD=$asan/keep_modules.so
    export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1:verify_asan_link_order=0
    export LSAN_OPTIONS=suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    # The three long reliability scripts run once, in the normal suite below, against
    # these same sanitized binaries.
    ctest --output-on-failure -j "$(nproc)" --timeout 1200 -E '^e2e\.(hostile_data|soak|window_abuse)$'
  )
  export SUNMARROW_ASAN_BUILD_DIR=$asan
fi

echo "== build and test"
"$root/scripts/build.sh"
cd "${BUILD_DIR:-$root/build}"
ctest --output-on-failure -j "$(nproc)" --timeout 1200 "$@"
