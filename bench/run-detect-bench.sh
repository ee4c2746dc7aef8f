#!/bin/sh
# The language detection, one command: its accuracy on bench/detect-corpus.tsv beside CLD2
# alone (detect-bench), then what it costs a request and the memory it holds at rest
# (detect_cost.py, on a loopback port the system picks). Arguments go to detect_cost.py
# (--requests N). To rebuild the corpus: bench/build-detect-corpus.py > bench/detect-corpus.tsv
#   bench/run-detect-bench.sh [--requests N]
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh >&2
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target translation-service detect_bench >&2
build/linux/detect-bench
echo
python3 bench/detect_cost.py --service build/linux/translation-service "$@"
