#!/usr/bin/env bash
# Values a script may get wrong: each is refused with status 2 and a message naming the
# option and its range, before the port is picked (so nothing reaches the drive). Then
# results that cannot be written: status 1 and the reason.
set -euo pipefail
source "$(dirname "$0")/drive_sim.sh"

while IFS='|' read -r want args message; do
  status_is "$want" eval "\"$cli\" --port sim $args" 2>"$out/e" >/dev/null &&
    grep -qxF -- "$message" "$out/e" && { [ "$want" -eq 1 ] || ! grep -q Connectting "$out/e"; } ||
    { echo "$args"; cat "$out/e"; exit 1; }
done <<'TABLE'
2|capture step current --range nan|--range: 'nan' is not a number from 0 to 100 A
2|capture step position --lasting-ms 65536|--lasting-ms: '65536' is not a whole number from 1 to 65535 ms
2|capture step speed --lasting-ms 99999999|--lasting-ms: '99999999' is not a whole number from 20 to 60000 ms
2|capture step current --start nan|--start: 'nan' is not a number from 0 to 1
2|capture step current --divider 41|--divider: '41' is not a whole number from 1 to 40
2|capture step speed --gains 5,5,1001|--gains: '1001' is not a whole number from 1 to 1000
2|capture step position --gains 1,2,3,4|--gains: the position loop has 3 gain words
2|capture free current --level ''|--level: '' is not a number from -100 to 100 A
2|capture free speed --rate 0x10|--rate: '0x10' is not a whole number from 1 to 4000 Hz
2|capture free position --count 513|--count: at most 512 samples for position
2|capture tune current --max-overshoot 101|--max-overshoot: '101' is not a number from 0 to 100 %
2|capture tune current --max-captures 2.5|--max-captures: '2.5' is not a whole number from 1 to 100
2|capture tune position --range ''|--range: '' is not a whole number from 1 to 4000000 pulses
2|motor write rated-current=-5|quendrix-cli: rated-current: '-5' is not a number from 0 to 511.9921875 A
2|motor write ls=inf|quendrix-cli: ls: 'inf' is not a number from 0 to 63.9990234375 mH
2|motor write pole-pairs=11|quendrix-cli: pole-pairs: '11' is not a whole number from 1 to 10
2|capture step torque|loop: torque not in {current,speed,position}
2|capture free speed --trigger up|--trigger: up not in {auto,rising,falling}
2|motor match --rated-current 1e30|--rated-current: '1e30' is not a number from 0 to 511.9921875 A
2|monitor --interval ' 5'|--interval: ' 5' is not a whole number from 0 to 3600000 ms
2|param set 36 ''|VALUE: '' is not a whole number
2|param set -- 36 -|VALUE: '-' is not a whole number
1|identify >/dev/full|quendrix-cli: cannot write the results: No space left on device
1|params dump --csv >/dev/full|quendrix-cli: cannot write the results: No space left on device
1|capture step current --count 16 --csv /dev/full|quendrix-cli: cannot write /dev/full: No space left on device
1|capture free current --count 16 --csv /dev/full|quendrix-cli: cannot write /dev/full: No space left on device
TABLE
echo "hostile arguments: ok"
