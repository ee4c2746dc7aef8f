#!/bin/sh
# The unit as the .deb ships it: systemd-analyze verify has no complaint, and the exposure
# systemd-analyze security finds is no higher than the hardening gave it (lower is better).
# usage: deb_unit_check.sh DEB MAX_EXPOSURE
set -u
deb=$1
max_exposure=$2
unit=mirelskan-translation-service.service
command -v systemd-analyze >/dev/null || { echo "systemd-analyze is not installed"; exit 1; }
[ -f "$deb" ] || { echo "no package at $deb"; exit 1; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root" || { echo "cannot unpack $deb"; exit 1; }
[ -f "$root/lib/systemd/system/$unit" ] || { echo "no /lib/systemd/system/$unit in $deb"; exit 1; }
# The unit names its program where it will be; here that is inside the unpacked package.
sed "s|^ExecStart=|ExecStart=$root|" "$root/lib/systemd/system/$unit" >"$root/$unit"

# verify also looks up the unit's Documentation= page: the one in the package.
complaints=$(MANPATH=$root/usr/share/man systemd-analyze verify "$root/$unit" 2>&1)
status=$?
if [ $status -ne 0 ] || [ -n "$complaints" ]; then
  echo "systemd-analyze verify (exit $status):"
  echo "$complaints"
  exit 1
fi
echo "systemd-analyze verify: no complaint"

# systemd-analyze shows the exposure from 0 to 10 with one decimal, and takes the threshold in
# tenths.
tenths=$(echo "$max_exposure" | awk '{ printf "%d", $1 * 10 + 0.5 }')
report=$(systemd-analyze security --offline=yes --threshold="$tenths" "$root/$unit" 2>&1)
status=$?
if [ $status -ne 0 ]; then
  echo "$report"
  echo "exposure above $max_exposure (exit $status)"
  exit 1
fi
echo "$report" | grep 'Overall exposure'

