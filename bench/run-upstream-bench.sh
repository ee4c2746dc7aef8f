#!/bin/sh
# The service forwarding to Apertium-APy against APy itself, one command: builds the service,
# installs Debian's apertium-apy if it is missing (the upstream the service forwards to here)
# and runs bench/upstream_bench.py on loopback ports. Arguments go to it (--requests N).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh >&2
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target translation-service >&2
exec python3 bench/upstream_bench.py --service build/linux/translation-service "$@"
