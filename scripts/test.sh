#!/usr/bin/env bash
# One command from a fresh machine to the whole test suite:
#   scripts/test.sh           install, then fuzz (60 s a target), the sanitizer build's
#                             suite, and last the normal build's suite (CTest's summary),
#                             in which the broken-data, soak and window-abuse scripts run
#                             the sanitizer build's programs
#   scripts/test.sh --quick   install, build, and run the normal suite only
# Extra arguments after the mode go to the last ctest (e.g. -L unit, -R Caption).
# With CI set (and not "false"), a test that was skipped fails the run, unless the
# README's "Skipped in CI" list names it: a skip is not a pass.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
quick=0
if [ "${1:-}" = "--quick" ]; then quick=1; shift; fi
"$root/scripts/deps.sh"

# The tests that may skip in CI: the backquoted names that open the items of the
# README's "Skipped in CI" list.
allowed_skips() {
  awk '/^#+ Skipped in CI/ { on = 1; next } /^#/ { on = 0 }
       on && /^- `[^`]+`/ { sub(/^- `/, ""); sub(/`.*/, ""); print }' "$root/README.md"
}

# skipped_tests JUNIT: "NAME: REASON" for each test the run skipped (ctest's JUnit
# record: status "notrun"); the reason is the script's "skipped:" line or the text
# after gtest's "Skipped" mark.
skipped_tests() {
  awk '
    /<testcase / {
      name = $0; sub(/.*<testcase name="/, "", name); sub(/".*/, "", name)
      skipped = ($0 ~ /status="notrun"/); reason = ""; next_is_reason = 0
    }
    { line = $0; sub(/^[ \t]*<system-out>/, "", line) }
    skipped && reason == "" && next_is_reason { reason = line }
    skipped && reason == "" && line ~ /^skipped: / { reason = line }
    { next_is_reason = (line ~ /: Skipped$/) }
    /<\/testcase>/ && skipped { print name ": " (reason == "" ? "(no reason given)" : reason); skipped = 0 }
  ' "$1"
}

# run_ctest ARGS...: ctest in the current folder; in CI, any skip that the README does
# not allow fails it as well.
run_ctest() {
  local junit status=0
  junit=$PWD/ctest-junit.xml
  rm -f "$junit"
  ctest --output-junit "$junit" "$@" || status=$?
  case ${CI:-} in "" | false | 0) return $status ;; esac
  if [ ! -f "$junit" ]; then
    echo "CI: ctest wrote no record of its tests, so skips cannot be told from passes"
    return 1
  fi
  local allowed line unexpected=0
  allowed=$(allowed_skips)
  while IFS= read -r line; do
    [ -n "$line" ] || continue
    if grep -qxF "${line%%: *}" <<<"$allowed"; then
      echo "CI: skipped, as the README allows: $line"
    else
      echo "CI: skipped, which counts as a failure here: $line"
      unexpected=1
    fi
  done < <(skipped_tests "$junit")
  [ $unexpected -eq 0 ] || status=1
  return $status
}

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
    # these same sanitized binaries; installing and packaging need the data set, which
    # only the normal build makes; the fresh-root check builds its own, once.
    run_ctest --output-on-failure -j "$(nproc)" --timeout 1200 -E '^e2e\.(hostile_data|soak|window_abuse|install|debian_package|fresh_root)$'
  )
  export SUNMARROW_ASAN_BUILD_DIR=$asan
fi

echo "== build and test"
"$root/scripts/build.sh"
cd "${BUILD_DIR:-$root/build}"
run_ctest --output-on-failure -j "$(nproc)" --timeout 1200 "$@"
