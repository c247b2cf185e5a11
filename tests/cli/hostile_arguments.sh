#!/usr/bin/env bash
# Values a script may get wrong: each is refused with status 2 and a message naming the
# option and its range, before the port is picked (so nothing reaches the drive). Then
# results that cannot be written.
set -euo pipefail
cli=$1
err=$(mktemp)
trap 'rm -f "$err"' EXIT

while IFS='|' read -r args message; do
  status=0
  eval "\"$cli\" --port sim $args" >/dev/null 2>"$err" || status=$?
  if [ "$status" -ne 2 ] || [ "$(head -n1 "$err")" != "$message" ] || grep -q Connectting "$err"; then
    echo "$args: status $status"; cat "$err"; exit 1
  fi
done <<'TABLE'
capture step current --range nan|--range: 'nan' is not a number from 0 to 100 A
capture step position --lasting-ms 65536|--lasting-ms: '65536' is not a whole number from 1 to 65535 ms
capture step speed --lasting-ms 99999999|--lasting-ms: '99999999' is not a whole number from 20 to 60000 ms
capture step current --start nan|--start: 'nan' is not a number from 0 to 1
capture step current --divider 41|--divider: '41' is not a whole number from 1 to 40
capture step speed --gains 5,5,1001|--gains: '1001' is not a whole number from 1 to 1000
capture step position --gains 1,2,3,4|--gains: the position loop has 3 gain words
capture free current --level ''|--level: '' is not a number from -100 to 100 A
capture free speed --rate 0x10|--rate: '0x10' is not a whole number from 1 to 4000 Hz
capture free position --count 513|--count: at most 512 samples for position
motor write rated-current=-5|quendrix-cli: rated-current: '-5' is not a number from 0 to 511.9921875 A
motor write ls=inf|quendrix-cli: ls: 'inf' is not a number from 0 to 63.9990234375 mH
motor write pole-pairs=11|quendrix-cli: pole-pairs: '11' is not a whole number from 1 to 10
capture step torque|loop: torque not in {current,speed,position}
capture free speed --trigger up|--trigger: up not in {auto,rising,falling}
motor match --rated-current 1e30|--rated-current: '1e30' is not a number from 0 to 511.9921875 A
monitor --interval ' 5'|--interval: ' 5' is not a whole number from 0 to 3600000 ms
param set 36 ''|VALUE: '' is not a whole number
param set -- 36 -|VALUE: '-' is not a whole number
TABLE
# Results that cannot be written make the command fail with the reason.
while IFS='|' read -r args message; do
  status=0
  eval "\"$cli\" --port sim $args" 2>"$err" || status=$?
  if [ "$status" -ne 1 ] || [ "$(tail -n1 "$err")" != "$message" ]; then
    echo "$args: status $status"; cat "$err"; exit 1
  fi
done <<'TABLE'
identify >/dev/full|quendrix-cli: cannot write the results: No space left on device
params dump --csv >/dev/full|quendrix-cli: cannot write the results: No space left on device
capture step current --count 16 --csv /dev/full|quendrix-cli: cannot write /dev/full: No space left on device
capture free current --count 16 --csv /dev/full|quendrix-cli: cannot write /dev/full: No space left on device
TABLE
echo "hostile arguments: ok"
