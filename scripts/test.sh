#!/usr/bin/env bash
# Builds Quendrix and runs the whole test suite: formatting, the tests of a normal
# build (warnings are errors), then the tests again under AddressSanitizer with
# UndefinedBehaviorSanitizer (a clang build that also makes the libFuzzer targets, each
# then run for 30 s) and under ThreadSanitizer. scripts/fuzz.sh runs the fuzzers longer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)
# Each stage says when it starts, in seconds since the suite began.
stage() { echo "== $* (at ${SECONDS} s)"; }

stage Formatting
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

run_suite() {
  local dir=$1 type=$2; shift 2
  stage Build "$dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="$type" -DQX_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs" >/dev/null
  stage Tests "$dir"
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs" --timeout 300)
}

# Compiling is most of the suite's time, and full debug information a good part of
# it: the normal build goes without, the sanitizer builds keep line tables for their
# reports. The sanitizer builds leave out the window program and the command-line tool
# (their code is tested in the normal build; the workers they drive are the core's and
# run under both sanitizers) and build unoptimised, which keeps the suite within minutes.
# QX_FUZZ=ON turns on both sanitizers and gives the core coverage instrumentation. A
# build directory cannot change compilers in place: an older GCC build-asan goes.
run_suite build-ci Release -DCMAKE_CXX_FLAGS_RELEASE=-O2
stage Debian package build-ci
scripts/check-package.sh build-ci
# A tty's exclusive mode does not bind root: the scripts that open the simulated drive's
# pseudo-terminal again and again run once more as an ordinary user (from a copy, since
# the tree may lie where that user cannot reach).
if [ "$(id -u)" -eq 0 ]; then
  stage End-to-end scripts as an ordinary user
  id -u qxuser >/dev/null 2>&1 || useradd -m qxuser
  e2e=$(mktemp -d)
  cp build-ci/cli/quendrix-cli build-ci/quendrix-drive-sim tests/cli/drive_sim.sh \
    tests/cli/identify_over_pty.sh tests/cli/params_over_pty.sh "$e2e"
  chmod -R a+rX "$e2e"
  for s in identify_over_pty params_over_pty; do
    runuser -u qxuser -- "$e2e/$s.sh" "$e2e/quendrix-cli" "$e2e/quendrix-drive-sim"
  done
  rm -rf "$e2e"
fi
grep -qs '^CMAKE_CXX_COMPILER:FILEPATH=.*clang++' build-asan/CMakeCache.txt || rm -rf build-asan
CC=clang CXX=clang++ ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build-asan Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DQX_FUZZ=ON -DQX_BUILD_BENCH=OFF -DQX_BUILD_CLI=OFF
stage Fuzzing build-asan
scripts/fuzz.sh 30
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  run_suite build-tsan Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DQX_SANITIZE=thread \
  -DQX_BUILD_BENCH=OFF -DQX_BUILD_GUI=OFF -DQX_BUILD_CLI=OFF
stage Done
