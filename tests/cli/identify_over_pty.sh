#!/usr/bin/env bash
# quendrix-cli against quendrix-drive-sim over a pseudo-terminal: the real termios path.
set -euo pipefail
cli=$1
sim=$2
source "$(dirname "$0")/drive_sim.sh"
start_drive_sim --pace

"$cli" --port "$dev" identify >"$out/stdout" 2>"$out/stderr"
grep -qx "The Software Version is 913." "$out/stdout"
grep -qx "Notes: Connectting with servo succeeds!" "$out/stderr"

# Picking the port again works: nothing is left locked.
"$cli" --com 3="$dev" --port COM3 identify >/dev/null 2>&1

# A busy port is refused with its message.
exec 9<>"$dev"
flock -n 9
if "$cli" --port "$dev" identify >/dev/null 2>"$out/busy"; then
  echo "a locked port was opened"; exit 1
fi
grep -q "Create COM1 Fails!" "$out/busy"
exec 9>&-

# Not a tty, unknown command, unknown port.
status=0; "$cli" --port /dev/null identify 2>"$out/nottty" || status=$?
[ "$status" -eq 1 ] && grep -q "Setup COM1 Fails!" "$out/nottty"
status=0; "$cli" --port sim frobnicate 2>/dev/null || status=$?
[ "$status" -eq 2 ]
status=0; "$cli" --port COM9 identify 2>/dev/null || status=$?
[ "$status" -eq 2 ]
echo "identify over a pseudo-terminal: ok"
