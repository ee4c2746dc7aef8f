#!/bin/sh
# Runs one fuzz target from its seeds for a bounded time. New inputs go to a scratch corpus, so
# each run starts from the seeds alone and the tree's seeds are only read; a finding is kept
# under the findings prefix and fails the run.
set -eu
target=$1
seconds=$2
seeds=$3
findings=$4
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$findings" "$corpus" "$seeds"
