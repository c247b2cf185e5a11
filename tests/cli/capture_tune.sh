#!/usr/bin/env bash
# 'capture tune' against the built-in simulated drive: one line per capture, the drive
# left with its starting gains or the proposal (refused numbers: hostile_arguments.sh).
set -euo pipefail
source "$(dirname "$0")/drive_sim.sh"

"$cli" --port sim capture tune current --max-captures 2 >"$out/kept" 2>/dev/null
has_lines "$out/kept" "capture 2: Ki 4000, .*" "end: capture budget spent" \
  "capture 1: Ki 2000, rise [0-9.]* ms, overshoot [0-9.]* %, settling [0-9.]* ms: within target" \
  "the drive keeps its starting gains: Ki 2000"

"$cli" --port sim --sim-load heavy capture tune current --max-captures 3 --apply \
  >"$out/applied" 2>/dev/null
proposal=$(sed -n 's/^proposal: \(Ki [0-9]*\) (.*/\1/p' "$out/applied")
[ -n "$proposal" ] && has_lines "$out/applied" "applied: $proposal"
echo ok
