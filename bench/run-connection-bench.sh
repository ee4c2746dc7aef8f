#!/bin/sh
# What a connection costs the service against nginx's fixed answer, one command: builds the
# service and runs bench/connection_bench.py on loopback ports. Arguments go to it (--rounds N
# --slow-kib N).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh >&2
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target translation-service fresh_pages >&2
exec python3 bench/connection_bench.py --build build/linux "$@"
