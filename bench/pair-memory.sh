#!/bin/sh
# The memory each language pair holds: the translation service started with one pair at a time
# (--pairs CODE), its whole process tree measured once it is ready (proportional set size, so
# shared libraries count once). Prints one table.
#   bench/pair-memory.sh [CODE...]     # default: every pair the installed modes offer
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target translation-service >/dev/null
service=build/linux/translation-service

# The PSS of a process and all its descendants, in MiB.
tree_pss() {
  pids=$1
  all=$1
  while [ -n "$pids" ]; do
    children=""
    for pid in $pids; do
      children="$children $(cat /proc/"$pid"/task/*/children 2>/dev/null)"
    done
    pids=$(echo $children)
    all="$all $pids"
  done
  for pid in $all; do
    sed -n 's/^Pss: *\([0-9]*\) kB/\1/p' /proc/"$pid"/smaps_rollup 2>/dev/null
  done | awk '{ total += $1 } END { printf "%.0f", total / 1024 }'
}

log=$(mktemp)
trap 'rm -f "$log"' EXIT
codes="$*"
if [ -z "$codes" ]; then
  : >"$log"
  "$service" --listen 127.0.0.1:0 2>"$log" &
  pid=$!
  until grep -q 'ready on\|cannot\|no language' "$log"; do sleep 0.2; done
  codes=$(sed -n 's/.*pairs: //p' "$log")
  echo "all pairs at once ($(echo $codes | wc -w)): $(tree_pss $pid) MiB"
  kill $pid; wait $pid 2>/dev/null || true
fi
printf '%-8s %10s  %s\n' pair "PSS (MiB)" programs
for code in $codes; do
  : >"$log"
  "$service" --listen 127.0.0.1:0 --pairs "$code" 2>"$log" &
  pid=$!
  until grep -q 'ready on\|cannot\|no language' "$log"; do sleep 0.1; done
  programs=$(($(echo $(cat /proc/$pid/task/*/children) | wc -w)))
  printf '%-8s %10s  %s\n' "$code" "$(tree_pss $pid)" "$programs"
  kill $pid; wait $pid 2>/dev/null || true
done
