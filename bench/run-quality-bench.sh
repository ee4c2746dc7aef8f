#!/bin/sh
# The translations' quality in chrF against the human translations of the gettext catalogs on
# this machine, the service beside bare apertium on the same lines, one command: builds the
# service and runs bench/quality_bench.py, which starts it on free loopback ports. Arguments go
# to quality_bench.py (--lines N, --codes CODE...).
#   bench/run-quality-bench.sh [--lines N] [--codes CODE...]
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh >&2
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target translation-service >&2
exec python3 bench/quality_bench.py --service build/linux/translation-service "$@"
