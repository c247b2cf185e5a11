#!/usr/bin/env bash
# quendrix-cli's motor commands against quendrix-drive-sim over a pseudo-terminal: the
# block written by one run is read back by the next, and a match finds the drive's motor.
set -euo pipefail
cli=$1
sim=$2
source "$(dirname "$0")/drive_sim.sh"
start_drive_sim --pace

"$cli" --port "$dev" motor write rated-current=3.3 ls=1.23 pole-pairs=5 encoder-type=1 \
  z-pulse-type=2 pulse-number=2500 >/dev/null 2>&1
"$cli" --port "$dev" motor read >"$out/read" 2>/dev/null
grep -q "^Rated Current (A) *3.29688  \[422\]$" "$out/read"
grep -q "^Ls  (mH) *1.22949  \[1259\]$" "$out/read"
grep -q "^Pole Pairs *5$" "$out/read"
grep -q "^Encoder *Less Wire$" "$out/read"
grep -q "^Z  Pulse Type *2$" "$out/read"
grep -q "^Pulse Number *2500$" "$out/read"

# Out of range: refused before anything is written.
status=0; "$cli" --port "$dev" motor write pole-pairs=11 2>"$out/range" || status=$?
[ "$status" -eq 2 ] && grep -qx "quendrix-cli: pole-pairs: '11' is not a whole number from 1 to 10" "$out/range"
"$cli" --port "$dev" motor read 2>/dev/null | matches "^Pole Pairs *5$"

# The simulated drive's own motor: 4 pole pairs, 10000 pulses, Z type 0, offset 1234.
"$cli" --port "$dev" motor match --direction ccw --rated-current 2.5 >"$out/match" 2>&1
grep -q "^100%  Auto match succed!$" "$out/match"
grep -q "^Pole Pairs *4$" "$out/match"
grep -q "^Pulse Number *10000$" "$out/match"
grep -q "^Encoder Offset *1234$" "$out/match"
grep -q "^Encoder *Standard$" "$out/match"

# No answer to the direction question.
status=0
"$cli" --port "$dev" motor match --rated-current 2.5 </dev/null >"$out/escape" 2>&1 || status=$?
[ "$status" -eq 1 ] && grep -q "Warning: Invalid Direction Input!" "$out/escape"
grep -q "^  0%  Auto match fails!$" "$out/escape"
# Terminated at the direction question, the match switches the servo off before it ends:
# the rotor no longer turns.
mkfifo "$out/answer"
exec 8<>"$out/answer"
"$cli" --port "$dev" motor match --rated-current 2.5 <"$out/answer" >"$out/killed" 2>&1 &
matchpid=$!
for _ in $(seq 100); do grep -q "which direction" "$out/killed" && break; sleep 0.1; done
kill -TERM "$matchpid"
status=0; wait "$matchpid" || status=$?
exec 8>&-
[ "$status" -eq 143 ] && grep -qx "quendrix-cli: stopped by Terminated" "$out/killed"
first=$("$cli" --port "$dev" motor position 2>/dev/null)
sleep 0.3
[ "$("$cli" --port "$dev" motor position 2>/dev/null)" = "$first" ]
echo "motor commands over a pseudo-terminal: ok"
