#!/usr/bin/env bash
# quendrix-cli against quendrix-drive-sim over a pseudo-terminal: the real termios path.
set -euo pipefail
source "$(dirname "$0")/drive_sim.sh"
start_drive_sim --pace

"$cli" --port "$dev" identify >"$out/stdout" 2>"$out/stderr"
grep -qx "The Software Version is 913." "$out/stdout"
grep -qx "Notes: Connectting with servo succeeds!" "$out/stderr"
# Picking the port again works: no exclusive mode is left set to lock out the ordinary
# user the suite also runs this as. A busy port: devices_over_pty.sh.
"$cli" --com 3="$dev" --port COM3 identify >/dev/null 2>&1

status_is 1 "$cli" --port /dev/null identify 2>"$out/nottty"
grep -q "Setup COM1 Fails!" "$out/nottty"
status_is 2 "$cli" --port sim frobnicate 2>/dev/null
status_is 2 "$cli" --port COM9 identify 2>/dev/null
echo "identify over a pseudo-terminal: ok"
