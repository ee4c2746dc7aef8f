#!/usr/bin/env bash
# A chat prompt: each line typed goes to the plug-in as the messaging host passes it, and what
# the plug-in answers is shown as a chat user sees it (result lines, [toast] lines, message boxes
# as framed blocks). /quit or the end of input ends it. Works through a pipe too:
#   printf '/xtrn en_es How are you?\n/quit\n' | scripts/chat.sh
# --vm runs the 32-bit DLL in the emulated guest where this machine cannot run it (commands from
# a pipe or a file only: the guest reads them before it starts).
set -euo pipefail
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
  sed -n '2,8s/^# \{0,1\}//p' "$0"
  exit 0
fi
case "$*" in
  "") ;;
  --vm) [ ! -t 0 ] || { echo "chat.sh --vm: pipe the commands in" >&2; exit 2; } ;;
  *) echo "usage: scripts/chat.sh [--vm]  (commands come from standard input)" >&2; exit 2 ;;
esac
exec "$(dirname "$0")/run-console.sh" "$@"
