#!/bin/sh
# Installs the linux build into a scratch root as `cmake --install` would on a machine, checks
# that the installed service runs, and has systemd check its unit: any complaint fails.
# usage: check_installed_unit.sh BUILD_DIR
set -u
build=$1
if ! command -v systemd-analyze >/dev/null 2>&1; then
  echo "systemd-analyze is not installed: cannot check the unit"
  exit 77
fi
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" >/dev/null || { echo "cmake --install failed"; exit 1; }
unit=$(find "$root" -name mirelskan-translation-service.service -path '*/lib/systemd/system/*')
[ -n "$unit" ] || { echo "no unit installed under lib/systemd/system"; exit 1; }
binary=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$unit")
"$root$binary" --version | grep -q '^translation-service ' ||
  { echo "the unit's ExecStart $binary was not installed"; exit 1; }
# The unit names its binary where it will be; here that is inside the scratch root.
# verify also looks up the unit's Documentation= page, which the install put there too.
sed "s|^ExecStart=|ExecStart=$root|" "$unit" >"$root/mirelskan-translation-service.service"
complaints=$(MANPATH=$root/usr/share/man systemd-analyze verify \
  "$root/mirelskan-translation-service.service" 2>&1)
status=$?
if [ $status -ne 0 ] || [ -n "$complaints" ]; then
  echo "systemd-analyze verify (exit $status):"
  echo "$complaints"
  exit 1
fi
echo "unit and binary installed; systemd-analyze verify has no complaint"
