#!/bin/sh
# The zip for Windows holds the DLL, its README and the licence, in one folder, and nothing else.
# usage: zip_contents.sh ZIP
set -u
zip=$1
[ -f "$zip" ] || { echo "no zip at $zip"; exit 1; }
expected='Mirelskan-1.0.0-win32/LICENSE.txt
Mirelskan-1.0.0-win32/Mirelskan Plugin.dll
Mirelskan-1.0.0-win32/README.txt'
found=$(unzip -Z1 "$zip" | grep -v '/$' | LC_ALL=C sort)
if [ "$found" != "$expected" ]; then
  echo "the zip holds:"
  echo "$found"
  echo "expected:"
  echo "$expected"
  exit 1
fi
echo "$zip holds the DLL, README.txt and LICENSE.txt"
