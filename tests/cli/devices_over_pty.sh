#!/usr/bin/env bash
# The COM ports follow a USB adapter of a made-up device tree leading to quendrix-drive-sim's
# pseudo-terminal; the window's Port Settings are read; a port failure prints its detail.
set -euo pipefail
source "$(dirname "$0")/drive_sim.sh"
start_drive_sim --pace

root=$out/root
usb=$root/sys/devices/usb1/1-1
byid=usb-Quendrix_Drive_Cable_Q1-if00-port0
mkdir -p "$root/dev/serial/by-id" "$root/sys/class/tty/ttyUSB0" "$usb/1-1:1.0/ttyUSB0"
ln -s "$dev" "$root/dev/ttyUSB0"
ln -s ../../ttyUSB0 "$root/dev/serial/by-id/$byid"
ln -s "$usb/1-1:1.0/ttyUSB0" "$root/sys/class/tty/ttyUSB0/device"
echo 0403 >"$usb/idVendor"; echo Quendrix >"$usb/manufacturer"
echo "Drive Cable" >"$usb/product"; echo Q1 >"$usb/serial"
export HOME=$out/home
unset XDG_CONFIG_HOME
profile="$HOME/.config/Local AppWizard-Generated Applications"
mkdir -p "$profile"
printf '[Ports]\nCOM2=/dev/serial/by-id/usb-gone\n' >"$profile/Quendrix.conf"
q=("$cli" --device-root "$root")

"${q[@]}" devices >"$out/devices"
diff - "$out/devices" <<END
$root/dev/serial/by-id/$byid  ttyUSB0  Quendrix Drive Cable (Q1)
COM1: $root/dev/serial/by-id/$byid (Quendrix Drive Cable (Q1)), automatic
COM2: /dev/serial/by-id/usb-gone, as set in Port Settings, not present
COM3: none
COM4: none
END

"${q[@]}" identify 2>"$out/stderr" | matches -x "The Software Version is 913."
"${q[@]}" --port "$byid" identify 2>/dev/null | matches -x "The Software Version is 913."

status_is 1 "${q[@]}" --port COM2 identify 2>"$out/gone"
diff - "$out/gone" <<END
Warning: Create COM2 Fails!
  Device: /dev/serial/by-id/usb-gone
  Reason: the device is not there (was the adapter unplugged?)
  Remedy: plug the adapter in and pick COM2 again, or choose the device in COM > Port Settings... (quendrix-cli: --port or --com)
END

exec 9<>"$dev"
flock -n 9
status_is 1 "${q[@]}" identify 2>"$out/busy"
has_lines "$out/busy" "Warning: Create COM1 Fails!" "  Remedy: another program holds the port.*"
exec 9>&-

status_is 2 "${q[@]}" --port usb-nothing-here identify 2>/dev/null
echo "devices and the COM mapping over a pseudo-terminal: ok"
