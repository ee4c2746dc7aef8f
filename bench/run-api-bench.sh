#!/bin/sh
# What the APIs other clients speak cost over /tr, one command: builds the service and runs
# bench/api_bench.py on a loopback port. Arguments go to it (--rounds N).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh >&2
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target translation-service >&2
exec python3 bench/api_bench.py --build build/linux "$@"
