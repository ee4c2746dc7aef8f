#!/bin/sh
# Remembered answers and nginx in front, one command: builds the service and the LibreTranslate
# stand-in, installs Redis and nginx if they are missing, and runs bench/cache_bench.py on
# loopback ports. Arguments go to it (--rounds N, --draws N).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh >&2
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target translation-service libretranslate-stand-in >&2
exec python3 bench/cache_bench.py --build build/linux "$@"
