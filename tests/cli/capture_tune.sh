#!/usr/bin/env bash
# 'capture tune' against the built-in simulated drive: numbers refused before any drive
# traffic, one line per capture, the drive left with its starting gains or the proposal.
set -euo pipefail
cli=$1
tune() { "$cli" --port sim "$@" 2>/dev/null; }

for bad in "--max-overshoot nan" "--max-overshoot inf" "--max-overshoot=" "--max-overshoot 101" \
           "--max-captures 0" "--max-captures 2.5" "--range 0" "--range 0x1"; do
  set +e; err=$("$cli" --port sim capture tune current $bad 2>&1 >/dev/null); code=$?; set -e
  [ "$code" -eq 2 ] && grep -q -- "${bad%%[ =]*}" <<<"$err" || { echo "accepted: $bad"; exit 1; }
done

out=$(tune capture tune current --max-captures 2)
grep -q "^capture 1: Ki 2000, rise [0-9.]* ms, overshoot [0-9.]* %, settling [0-9.]* ms: within target$" <<<"$out"
grep -q "^capture 2: Ki 4000, " <<<"$out"
grep -qx "end: capture budget spent" <<<"$out"
grep -qx "the drive keeps its starting gains: Ki 2000" <<<"$out"

out=$(tune --sim-load heavy capture tune current --max-captures 3 --apply)
proposal=$(sed -n 's/^proposal: \(Ki [0-9]*\) (.*/\1/p' <<<"$out")
[ -n "$proposal" ]
grep -qx "applied: $proposal" <<<"$out"
echo ok
