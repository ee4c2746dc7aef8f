#!/usr/bin/env bash
# Runs the plug-in end to end once: builds it, its host stand-in and the translation service,
# starts the service on localhost:80 in a private network namespace, loads the shipped 32-bit DLL
# into the 32-bit plugin-host under Wine and runs each command, shown as a chat user sees it.
#   scripts/demo.sh                                   # /xtrn fr_en Un petit test de traduction
#   scripts/demo.sh /xtrn en_es Good morning, my friends
#   scripts/demo.sh "/xtrn en_es How are you?" "/xtrn fr_en Bonjour" /xtrn
# Each argument that starts with / begins a command; the words after it belong to it.
set -euo pipefail
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
  sed -n '2,8s/^# \{0,1\}//p' "$0"
  exit 0
fi
commands=()
for word in "$@"; do
  if [[ "$word" == /* || ${#commands[@]} -eq 0 ]]; then
    commands+=("$word")
  else
    commands[-1]+=" $word"
  fi
done
[ ${#commands[@]} -gt 0 ] || commands=("/xtrn fr_en Un petit test de traduction")
runs=()
for command in "${commands[@]}"; do runs+=(--run "$command"); done
exec "$(dirname "$0")/run-console.sh" --vm-when-needed "${runs[@]}"
