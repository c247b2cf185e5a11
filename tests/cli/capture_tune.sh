#!/usr/bin/env bash
# 'capture tune' against the built-in simulated drive: numbers refused before any drive
# traffic, one line per capture, the drive left with its starting gains or the proposal.
set -euo pipefail
source "$(dirname "$0")/drive_sim.sh"

for bad in "--max-overshoot nan" "--max-overshoot inf" "--max-overshoot=" "--max-overshoot 101" \
           "--max-captures 0" "--max-captures 2.5" "--range 0" "--range 0x1"; do
  status_is 2 "$cli" --port sim capture tune current $bad 2>"$out/err" >/dev/null &&
    grep -q -- "${bad%%[ =]*}" "$out/err" || { echo "accepted: $bad"; cat "$out/err"; exit 1; }
done

"$cli" --port sim capture tune current --max-captures 2 >"$out/kept" 2>/dev/null
has_lines "$out/kept" "capture 2: Ki 4000, .*" "end: capture budget spent" \
  "capture 1: Ki 2000, rise [0-9.]* ms, overshoot [0-9.]* %, settling [0-9.]* ms: within target" \
  "the drive keeps its starting gains: Ki 2000"

"$cli" --port sim --sim-load heavy capture tune current --max-captures 3 --apply \
  >"$out/applied" 2>/dev/null
proposal=$(sed -n 's/^proposal: \(Ki [0-9]*\) (.*/\1/p' "$out/applied")
[ -n "$proposal" ] && has_lines "$out/applied" "applied: $proposal"
echo ok
