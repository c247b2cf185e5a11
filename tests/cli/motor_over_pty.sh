#!/usr/bin/env bash
# quendrix-cli's motor commands against quendrix-drive-sim over a pseudo-terminal: the
# block written by one run is read back by the next, and a match finds the drive's motor.
set -euo pipefail
source "$(dirname "$0")/drive_sim.sh"
start_drive_sim --pace

# A whole match waits seconds on the drive: it runs meanwhile against the built-in
# simulated drive, whose motor has 4 pole pairs, 10000 pulses, Z type 0, offset 1234.
"$cli" --port sim motor match --direction ccw --rated-current 2.5 >"$out/match" 2>&1 &
matchpid=$!

"$cli" --port "$dev" motor write rated-current=3.3 ls=1.23 pole-pairs=5 encoder-type=1 \
  z-pulse-type=2 pulse-number=2500 >/dev/null 2>&1
"$cli" --port "$dev" motor read >"$out/read" 2>/dev/null
has_lines "$out/read" "Rated Current (A) *3.29688  \[422\]" "Ls  (mH) *1.22949  \[1259\]" \
  "Pole Pairs *5" "Encoder *Less Wire" "Z  Pulse Type *2" "Pulse Number *2500"

# No answer to the direction question.
status_is 1 "$cli" --port "$dev" motor match --rated-current 2.5 </dev/null >"$out/escape" 2>&1
has_lines "$out/escape" ".*Warning: Invalid Direction Input!.*" "  0%  Auto match fails!"
# Terminated at the direction question, the match first switches the servo off: no turning.
mkfifo "$out/answer"
exec 8<>"$out/answer"
"$cli" --port "$dev" motor match --rated-current 2.5 <"$out/answer" >"$out/killed" 2>&1 &
killedpid=$!
for _ in $(seq 100); do grep -q "which direction" "$out/killed" && break; sleep 0.1; done
kill -TERM "$killedpid"
status_is 143 wait "$killedpid"
exec 8>&-
grep -qx "quendrix-cli: stopped by Terminated" "$out/killed"
first=$("$cli" --port "$dev" motor position 2>/dev/null)
sleep 0.3
[ "$("$cli" --port "$dev" motor position 2>/dev/null)" = "$first" ]

wait "$matchpid"
has_lines "$out/match" "100%  Auto match succed!" "Pole Pairs *4" "Pulse Number *10000" \
  "Encoder Offset *1234" "Encoder *Standard"
echo "motor commands over a pseudo-terminal: ok"
