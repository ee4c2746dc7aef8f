#!/bin/sh
# What keeping a chat line's spans costs, one command: builds the service, and in a temporary
# work tree the service as it was before it kept spans (BASELINE, a revision: by default the
# last one without them), and runs bench/span_bench.py on loopback ports. Arguments after the
# revision go to span_bench.py (--requests N).
#   bench/run-span-bench.sh [BASELINE] [--requests N]
set -eu
cd "$(dirname "$0")/.."
baseline_revision=232007f
case "${1:-}" in -*|"") ;; *) baseline_revision=$1; shift ;; esac
./scripts/install-deps.sh >&2
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target translation-service >&2
tree=$(mktemp -d)
trap 'git worktree remove --force "$tree"' EXIT
git worktree add --detach "$tree" "$baseline_revision" >&2
cmake -S "$tree" -B "$tree/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$tree/build" -j2 --target translation-service >&2
python3 bench/span_bench.py --service build/linux/translation-service \
  --baseline "$tree/build/translation-service" "$@"
