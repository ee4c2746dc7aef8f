#!/bin/sh
# Says where the release's packages are, after its tests.
# usage: where.sh FILE...
echo
echo "The release:"
for file in "$@"; do
  if [ -f "$file" ]; then
    echo "  $file ($(wc -c <"$file") bytes)"
  else
    echo "  $file: MISSING"
  fi
done
