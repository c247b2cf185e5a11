#!/usr/bin/env bash
# The monitor and ports commands against the built-in simulated drive, and the monitor
# against quendrix-drive-sim whose cable is pulled.
set -euo pipefail
source "$(dirname "$0")/drive_sim.sh"

# One header and one line per poll; no DC bus column below software version 1001.
"$cli" --port sim monitor --count 3 --interval 0 >"$out/m913" 2>/dev/null
[ "$(wc -l <"$out/m913")" -eq 4 ]
head -n1 "$out/m913" | grep -q "Alarm$"

# Version 1003 shows the DC bus; an alarm stops the motor and shows its number.
"$cli" --port sim --sim-software 1003 --sim-alarm 7 --sim-dc-bus 540 \
    monitor --count 2 --interval 0 >"$out/m1003" 2>/dev/null
head -n1 "$out/m1003" | grep -q "DCBus(V)$"
tail -n1 "$out/m1003" | awk '{ exit !($1 == "0" && $2 == "0" && $9 == "7" && $10 == "540") }'

# The lamps, one per line, under their group captions.
"$cli" --port sim --sim-inputs 0x0201 --sim-outputs 0x0011 --sim-phases 0x0020 ports \
    >"$out/ports" 2>/dev/null
[ "$(grep -c " on$" "$out/ports")" -eq 4 ]
has_lines "$out/ports" "  ServoEn  *on" "  PulseInv  *on" "  SRDY   *on" "  PhaseU  *on" "CN1 Input"

# A drive that stops answering: the line says so and the exit status is 1.
status_is 1 "$cli" --port sim --sim-fault silence,cmd=0xC2,count=-1 monitor --count 1 \
  >"$out/lost" 2>"$out/lost.err"
[ "$(wc -l <"$out/lost")" -eq 1 ]
grep -qx "quendrix-cli: no status from the drive (status 1)" "$out/lost.err"
# One poll failing among good ones (both attempts unanswered) fails the command too.
status_is 1 "$cli" --port sim --sim-fault silence,cmd=0xC2,count=2 monitor --count 3 \
  --interval 0 >"$out/once" 2>/dev/null
[ "$(wc -l <"$out/once")" -eq 3 ]

# A pulled cable: said once, and polling goes on when the device is back.
start_drive_sim --link "$out/com1" --unplug 12:1000
status_is 1 "$cli" --com 1="$out/com1" monitor --count 12 --interval 100 >"$out/pulled" \
  2>"$out/pulled.err"
[ "$(grep -c "has gone" "$out/pulled.err")" -eq 1 ]
[ "$(tail -n1 "$out/pulled.err")" = "quendrix-cli: COM1 is back; polling goes on" ]
[ "$(wc -l <"$out/pulled")" -ge 6 ]
status_is 1 "$cli" --port sim --sim-fault silence,cmd=0xC2,count=-1 ports >/dev/null 2>&1
echo "monitor and ports commands: ok"
