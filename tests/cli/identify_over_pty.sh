#!/usr/bin/env bash
# quendrix-cli against quendrix-drive-sim over a pseudo-terminal: the real termios path.
set -euo pipefail
source "$(dirname "$0")/drive_sim.sh"
start_drive_sim --pace

"$cli" --port "$dev" identify >"$out/stdout" 2>"$out/stderr"
grep -qx "The Software Version is 913." "$out/stdout"
grep -qx "Notes: Connectting with servo succeeds!" "$out/stderr"
# Picking the port again works: nothing is left locked (the suite runs this script as an
# ordinary user too, whom a tty's exclusive mode left set would lock out). A busy port:
# devices_over_pty.sh.
"$cli" --com 3="$dev" --port COM3 identify >/dev/null 2>&1

# Not a tty, unknown command, unknown port.
status_is 1 "$cli" --port /dev/null identify 2>"$out/nottty"
grep -q "Setup COM1 Fails!" "$out/nottty"
status_is 2 "$cli" --port sim frobnicate 2>/dev/null
status_is 2 "$cli" --port COM9 identify 2>/dev/null
echo "identify over a pseudo-terminal: ok"
