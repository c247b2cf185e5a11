#!/usr/bin/env bash
# Builds Quendrix and runs the whole test suite: formatting, the tests of a normal
# build (warnings are errors), then the tests again under AddressSanitizer with
# UndefinedBehaviorSanitizer and under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)

echo "== Formatting"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

run_suite() {
  local dir=$1; shift
  echo "== Build $dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQX_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs" >/dev/null
  echo "== Tests $dir"
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs" --timeout 300)
}

run_suite build-ci
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build-asan -DQX_SANITIZE="address;undefined" -DQX_BUILD_BENCH=OFF
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  run_suite build-tsan -DQX_SANITIZE=thread -DQX_BUILD_BENCH=OFF -DQX_BUILD_GUI=OFF
