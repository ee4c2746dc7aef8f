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

health=$(mktemp)
trap 'rm -f "$health"' EXIT
# Starts the service with the given options (as $pid) and waits until it is ready.
start() {
  port=$(scripts/service_ready.py --free-port)
  "$service" --listen "127.0.0.1:$port" "$@" 2>/dev/null &
  pid=$!
  scripts/service_ready.py "http://127.0.0.1:$port" --pid $pid >"$health"
}

codes="$*"
if [ -z "$codes" ]; then
  start
  codes=$(python3 -c 'import json, sys
print(" ".join(c for e in json.load(open(sys.argv[1]))["engines"] for c in e["codes"]))' "$health")
  set -- $(tree_memory $pid)
  echo "all pairs at once ($(echo $codes | wc -w)): $2 MiB"
  kill $pid; wait $pid 2>/dev/null || true
fi
printf '%-8s %10s  %s\n' pair "PSS (MiB)" programs
for code in $codes; do
  start --pairs "$code" || true
  set -- $(tree_memory $pid)
  printf '%-8s %10s  %s\n' "$code" "$2" "$1"
  kill $pid; wait $pid 2>/dev/null || true
done
