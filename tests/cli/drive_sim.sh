# Sourced by the end-to-end scripts (given the tool and the drive simulator): sets $cli, $sim
# and $out, a scratch folder removed at the exit. start_drive_sim OPTIONS... starts
# quendrix-drive-sim (stopped at the exit too) and sets $dev to its pseudo-terminal.
cli=$1
sim=${2:-}
out=$(mktemp -d)
trap 'kill ${simpid:-} 2>/dev/null || true; rm -rf "$out"' EXIT
start_drive_sim() {
  "$sim" "$@" >"$out/sim" &
  simpid=$!
  # A loaded machine may take a while to start it: up to 30 s.
  for _ in $(seq 300); do [ -s "$out/sim" ] && break; sleep 0.1; done
  dev=$(head -n1 "$out/sim")
  [ -e "$dev" ] || { echo "the simulated drive did not start" >&2; return 1; }
}

# Reads the whole output before matching: grep -q leaving early would end the
# command with SIGPIPE, which pipefail reports as a failure.
matches() { local text; text=$(cat); grep -q "$@" <<<"$text"; }

# has_lines FILE PATTERN...: each pattern matches a whole line of FILE.
has_lines() {
  local f=$1 p; shift
  for p; do grep -qx -- "$p" "$f" || { echo "$f has no line $p" >&2; return 1; }; done
}

# status_is CODE COMMAND...: the command ends with exit status CODE.
status_is() {
  local want=$1 got=0; shift
  "$@" || got=$?
  [ "$got" -eq "$want" ] || { echo "$*: status $got, not $want" >&2; return 1; }
}
