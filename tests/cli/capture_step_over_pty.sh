#!/usr/bin/env bash
# 'capture step' against quendrix-drive-sim over a pseudo-terminal: one step test of
# each loop, written as CSV.
set -euo pipefail
source "$(dirname "$0")/drive_sim.sh"
start_drive_sim

"$cli" --port "$dev" capture step current --count 256 --csv "$out/current.csv" 2>/dev/null
[ "$(wc -l <"$out/current.csv")" -eq 257 ]
# 0.25 ms a point at 4000 Hz (each time once); the command is +-1 A. Every value is exact:
# a whole number of the drive's 1/128 A.
has_lines "$out/current.csv" "time_ms,command_A,feedback_A" "0.25,-1,.*" "63.75,1,.*"
awk -F, 'NR > 1 && ($2 * 128 != int($2 * 128) || $3 * 128 != int($3 * 128)) {bad = 1}
         END {exit bad}' "$out/current.csv"

"$cli" --port "$dev" capture step speed --count 64 >"$out/speed.csv" 2>/dev/null
has_lines "$out/speed.csv" "time_ms,command_rpm,feedback_rpm" "1,-2500,.*"

"$cli" --port "$dev" capture step position --count 16 --lasting-ms 100 >"$out/pos.csv" 2>/dev/null
[ "$(wc -l <"$out/pos.csv")" -eq 17 ]

# Step metrics, and the record as JSON (the step 25 ms after the first point, -1 to 1 A).
"$cli" --port "$dev" capture step current --metrics >"$out/metrics.txt" 2>/dev/null
has_lines "$out/metrics.txt" "rise time: [0-9.]* ms" "settling time: .*"
"$cli" --port "$dev" capture step current --count 128 --json --csv "$out/j.csv" >"$out/step.json" 2>/dev/null
grep -q '"step":{"time_ms":25,"end_ms":325,"from":-1,"to":1}' "$out/step.json"
grep -q '"metrics":{"status":"ok","rise_time_ms":[0-9.]*,' "$out/step.json"
[ "$(wc -l <"$out/j.csv")" -eq 129 ]
# A record longer than --timeout: the wait is said after a second, then the test fails.
status_is 1 "$cli" --port "$dev" capture step current --divider 9 --count 1024 --timeout 2 \
  >/dev/null 2>"$out/wait"
has_lines "$out/wait" "quendrix-cli: waiting for the step test's record (at most 2 s)" \
  "quendrix-cli: no record arrived"
echo ok
