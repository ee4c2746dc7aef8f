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

# Processes and PSS in MiB of a process and all its descendants, as the service benchmark counts.
tree_memory() {
  python3 -c 'import sys; sys.path.insert(0, "bench"); from service_bench import memory
processes, _, pss = memory(int(sys.argv[1])); print(processes - 1, round(pss))' "$1"
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
  set -- $(tree_memory $pid)
  echo "all pairs at once ($(echo $codes | wc -w)): $2 MiB"
  kill $pid; wait $pid 2>/dev/null || true
fi
printf '%-8s %10s  %s\n' pair "PSS (MiB)" programs
for code in $codes; do
  : >"$log"
  "$service" --listen 127.0.0.1:0 --pairs "$code" 2>"$log" &
  pid=$!
  until grep -q 'ready on\|cannot\|no language' "$log"; do sleep 0.1; done
  set -- $(tree_memory $pid)
  printf '%-8s %10s  %s\n' "$code" "$2" "$1"
  kill $pid; wait $pid 2>/dev/null || true
done
