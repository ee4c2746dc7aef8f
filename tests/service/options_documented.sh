#!/bin/sh
# Every option the service's --help lists is in its manual page and in the options file the unit
# reads, so an operator finds each where the package points.
# usage: options_documented.sh BINARY MANUAL_PAGE OPTIONS_FILE
set -u
binary=$1 manual=$2 options=$3
help=$("$binary" --help) || { echo "$binary --help failed"; exit 1; }
# The options column: "  --name VALUE  help" and "  -h,--help  help"; help lines are indented more.
listed=$(printf '%s\n' "$help" | sed -n 's/^  -[^ ]*\(--[a-z0-9-]*\).*/\1/p; s/^  \(--[a-z0-9-]*\).*/\1/p')
[ -n "$listed" ] || { echo "--help lists no option:"; printf '%s\n' "$help"; exit 1; }
# roff writes each - of an option as \-.
page=$(sed 's/\\-/-/g' "$manual")
missing=0
for option in $listed; do
  if ! printf '%s\n' "$page" | grep -q -e "$option\\b"; then
    echo "$option is not in $manual"
    missing=1
  fi
  # --help and --version end the program at once: no option of a unit.
  case $option in --help | --version) continue ;; esac
  if ! grep -q -e "$option\\b" "$options"; then
    echo "$option is not in $options"
    missing=1
  fi
done
[ $missing -eq 0 ] && echo "$(printf '%s\n' "$listed" | wc -l) options, each documented"
exit $missing
