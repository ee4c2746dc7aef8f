#!/bin/sh
# lintian on the built package: any error or warning fails. Overrides travel in the package,
# each with its reason beside it.
# usage: deb_lintian.sh DEB
set -u
deb=$1
command -v lintian >/dev/null || { echo "lintian is not installed (scripts/install-deps.sh)"; exit 1; }
[ -f "$deb" ] || { echo "no package at $deb"; exit 1; }
out=$(lintian --display-info --show-overrides "$deb" 2>&1)
status=$?
echo "$out"
# 1 is lintian finding errors, which the lines below name; more is lintian failing to run.
[ $status -le 1 ] || { echo "lintian failed to run (exit $status)"; exit 1; }
if echo "$out" | grep -qE '^[EW]: '; then
  echo "lintian reports errors or warnings"
  exit 1
fi
echo "lintian: no error, no warning"
