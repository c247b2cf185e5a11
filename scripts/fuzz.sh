#!/usr/bin/env bash
# Runs every libFuzzer target (tests/fuzz/fuzz_*.cpp) for SECONDS (default 600), all at
# once, each from a temporary copy of its corpus, and prints each one's executions and
# coverage. Builds the targets first in build-asan (clang, ASan+UBSan, QX_FUZZ=ON, as
# scripts/test.sh configures it) when needed. Fails when any target finds a crash, a
# leak or a hang; its log and the input that did it are then kept and named.
#   scripts/fuzz.sh [--merge] [SECONDS]
# --merge adds to tests/fuzz/corpus/<target> the inputs that reached code its corpus did
# not (code reached, not how often, which keeps the corpora to tens of inputs).
# QX_FUZZ_BUILD names another build directory.
set -euo pipefail
cd "$(dirname "$0")/.."

merge=0
if [ "${1:-}" = "--merge" ]; then
  merge=1
  shift
fi
seconds=${1:-600}
build=${QX_FUZZ_BUILD:-build-asan}

mapfile -t targets < <(ls tests/fuzz/fuzz_*.cpp | xargs -n1 basename | sed 's/\.cpp$//')
if ! grep -qs '^QX_FUZZ:BOOL=ON' "$build/CMakeCache.txt"; then
  grep -qs '^CMAKE_CXX_COMPILER:FILEPATH=.*clang++' "$build/CMakeCache.txt" || rm -rf "$build"
  CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
    -DQX_WERROR=ON -DQX_FUZZ=ON -DQX_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/qx-fuzz.XXXXXX")
declare -A pids
for t in "${targets[@]}"; do
  mkdir -p "$work/$t"
  cp -r "tests/fuzz/corpus/${t#fuzz_}" "$work/$t/corpus"
  "$build/tests/fuzz/$t" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
    -artifact_prefix="$work/$t/" "$work/$t/corpus" >"$work/$t/log" 2>&1 &
  pids[$t]=$!
done

failed=0
passed=0
for t in "${targets[@]}"; do
  if wait "${pids[$t]}"; then
    passed=$((passed + 1))
    # The last status line: "#RUNS DONE cov: N ft: N corp: N/Nb lim: N exec/s: N rss: NMb".
    done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$work/$t/log" | tail -n1)
    runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$work/$t/log")
    rate=$(sed -nE 's/^stat::average_exec_per_sec: *([0-9]+)/\1/p' "$work/$t/log")
    cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$done_line")
    ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$done_line")
    corp=$(sed -nE 's/.* corp: ([0-9]+\/[0-9]+[a-zA-Z]*).*/\1/p' <<<"$done_line")
    printf '%-18s %9s runs in %ss, %6s exec/s, cov: %s ft: %s corpus: %s\n' \
      "$t" "$runs" "$seconds" "$rate" "$cov" "$ft" "$corp"
    if ((merge)); then
      "$build/tests/fuzz/$t" -merge=1 -use_counters=0 -use_value_profile=0 \
        "tests/fuzz/corpus/${t#fuzz_}" "$work/$t/corpus" \
        >"$work/$t/merge.log" 2>&1
      echo "  merged: $(grep -Eo 'MERGE-OUTER: [0-9]+ new files' "$work/$t/merge.log")"
    fi
  else
    failed=$((failed + 1))
    echo "$t FAILED; its log: $work/$t/log"
    tail -n 40 "$work/$t/log"
    ls "$work/$t"/crash-* "$work/$t"/leak-* "$work/$t"/timeout-* "$work/$t"/oom-* 2>/dev/null || true
  fi
done

echo "fuzzing: $passed passed, $failed failed"
if ((failed)); then
  exit 1
fi
rm -rf "$work"
