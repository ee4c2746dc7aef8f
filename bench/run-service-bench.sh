#!/bin/sh
# Builds the translation service and its benchmark with the linux preset and runs it.
# Arguments go to the benchmark (--warm N --cold N --clients N --seconds S).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target translation-service service_bench
exec build/linux/service_bench "$@"
