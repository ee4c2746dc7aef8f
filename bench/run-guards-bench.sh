#!/bin/sh
# What the limits per client and the metrics cost a request, one command: builds the service,
# and in a temporary folder the service as it was before them (BASELINE, a revision: by default
# the last one without them), and runs bench/guards_bench.py on free loopback ports. Arguments
# after the revision go to guards_bench.py (--requests N).
#   bench/run-guards-bench.sh [BASELINE] [--requests N]
set -eu
cd "$(dirname "$0")/.."
baseline_revision=4cb58c8
case "${1:-}" in -*|"") ;; *) baseline_revision=$1; shift ;; esac
./scripts/install-deps.sh >&2
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target translation-service >&2
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
git archive "$baseline_revision" | tar -x -C "$tree"
cmake -S "$tree" -B "$tree/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$tree/build" -j2 --target translation-service >&2
python3 bench/guards_bench.py --service build/linux/translation-service \
  --baseline "$tree/build/translation-service" "$@"
