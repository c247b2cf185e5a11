#!/usr/bin/env bash
# 'capture free' against quendrix-drive-sim over a pseudo-terminal: an auto-run record
# and records that fire on a rising and a falling edge.
set -euo pipefail
source "$(dirname "$0")/drive_sim.sh"
start_drive_sim

"$cli" --port "$dev" capture free speed --count 128 --csv "$out/auto.csv" 2>/dev/null
head -n1 "$out/auto.csv" | grep -qx "time_ms,command_rpm,feedback_rpm"
[ "$(wc -l <"$out/auto.csv")" -eq 129 ]

# 64 points, a quarter of them before the trigger: point 16 (line 18) is the first at the level.
"$cli" --port "$dev" capture free speed --trigger rising --level 500 --offset 0.25 \
    --count 64 --timeout 10 >"$out/rise.csv" 2>/dev/null
[ "$(wc -l <"$out/rise.csv")" -eq 65 ]
awk -F, 'NR==18 && $3 >= 500 {a=1} NR==17 && $3 < 500 {b=1} END {exit !(a && b)}' "$out/rise.csv"

"$cli" --port "$dev" capture free current --trigger falling --level -2 --offset 0.5 \
    --count 32 --timeout 10 >"$out/fall.csv" 2>/dev/null
awk -F, 'NR==18 && $3 <= -2 {a=1} NR==17 && $3 > -2 {b=1} END {exit !(a && b)}' "$out/fall.csv"

# A trigger that never comes: the wait is said after a second, and ends at --timeout.
status_is 1 "$cli" --port "$dev" capture free speed --trigger rising --level 6000 --timeout 2 \
  >/dev/null 2>"$out/wait"
grep -qx "quendrix-cli: waiting for the trigger and its record (at most 2 s)" "$out/wait"
echo ok
