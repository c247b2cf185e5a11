#!/usr/bin/env bash
# The parameter commands of quendrix-cli against quendrix-drive-sim over a
# pseudo-terminal: table dump, one parameter, files, EEPROM.
set -euo pipefail
source "$(dirname "$0")/drive_sim.sh"
start_drive_sim
q() { "$cli" --port "$dev" "$@"; }

# The whole table: a header and 184 parameters.
q params dump --csv >"$out/dump.csv" 2>/dev/null
[ "$(wc -l <"$out/dump.csv")" -eq 185 ]
has_lines "$out/dump.csv" '41,"Speed in JOG Mode",120,0,5000' \
  '8,"Inverting enable of low part CN2 input signals",000000,000000,111111'

# One parameter within its range; bit fields as binary text; Pn 2's unlock code as its
# help text gives it. Anything else is refused and nothing is written.
q param set 22 300 >/dev/null 2>&1
q param set 8 000101 >/dev/null 2>&1
q param get 8 2>/dev/null | matches '^Pn 8 = 000101 '
q param set 2 40613 2>/dev/null | matches '^Pn 2 = -24923 '
while IFS='|' read -r args message; do
  status_is 2 q param $args >/dev/null 2>"$out/bad"
  grep -qxF "$message" "$out/bad"
done <<'END'
set 22 301|quendrix-cli: VALUE: '301' is outside the range of Pn 22, 0 to 300; nothing was written
set 8 0101|VALUE: '0101' is not 6 binary digits for Pn 8
set 8 000102|VALUE: '000102' is not 6 binary digits for Pn 8
get 184|N: '184' is not a whole number from 0 to 183
END
q param get 8 2>/dev/null | matches '^Pn 8 = 000101 '

# Upload: exactly 1024 bytes, starting with the software version 913 (0x0391). Store,
# change, restore the defaults: the stored value comes back. Download the uploaded file
# after a change: Pn 8 goes back to the file's 000101.
q params upload "$out/a.par" 2>"$out/log"
[ "$(stat -c %s "$out/a.par")" -eq 1024 ]
[ "$(head -c2 "$out/a.par" | od -An -tx1 | tr -d ' ')" = "0391" ]
q eeprom save 2>>"$out/log"
q param set 41 777 >/dev/null 2>&1
q eeprom defaults 2>>"$out/log"
q param get 41 2>/dev/null | matches '^Pn 41 = 120 '
q param set 8 111111 >/dev/null 2>&1
q params download "$out/a.par" 2>>"$out/log"
q param get 8 2>/dev/null | matches '^Pn 8 = 000101 '
has_lines "$out/log" "Note: Uploading Parameters Succeeds!" "NOTES: Save to EEPROM Succeeds!" \
  "NOTES: Loading Default Parameters from EEPROM Succeeds!" "Note: Downloading Parameters Succeeds!"

# A short, FIFO or missing file is refused before the port is picked (no connection message).
head -c 1000 "$out/a.par" >"$out/short.par"
mkfifo "$out/fifo.par"
for f in short.par fifo.par none.par; do
  status_is 2 timeout 10 "$cli" --port "$dev" params download "$out/$f" 2>"$out/$f.err"
  ! grep -q "Connectting" "$out/$f.err" || { echo "$f reached the drive"; exit 1; }
done
grep -q "holds 1000 bytes" "$out/short.par.err"
grep -q "is a FIFO, not a parameter file" "$out/fifo.par.err"
# Files without a drive: one word edited, the drive compared with files.
cp "$out/a.par" "$out/b.par"
"$cli" params edit "$out/b.par" 41=300 | matches -x "Pn 41: 120 -> 300  Speed in JOG Mode"
for bad in 184=1 41=70000 41= 8=0101 x; do
  status_is 2 "$cli" params edit "$out/b.par" "$bad" 2>"$out/bad"
  grep -q "^quendrix-cli: $bad: " "$out/bad"
done
[ "$(cmp -l "$out/a.par" "$out/b.par" | wc -l)" -eq 2 ]
"$cli" params show "$out/b.par" --csv | matches -x '41,"Speed in JOG Mode",300'
q params diff drive "$out/a.par" >/dev/null 2>&1
status_is 1 q params diff drive "$out/b.par" --csv >"$out/diff" 2>/dev/null
[ "$(tail -n +2 "$out/diff")" = '41,"Speed in JOG Mode",120,300' ]
status_is 2 "$cli" params diff "$out/a.par" "$out/short.par" 2>/dev/null
echo "parameters over a pseudo-terminal: ok"
