#!/usr/bin/env bash
# Builds every preset and runs every test: native unit and service tests (also under ASan and
# UBSan), the checks of the shipped 32-bit DLL, and the end-to-end tests under Wine.
set -uo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh || exit 1

log=$(mktemp)
trap 'rm -f "$log"' EXIT

run_preset() {
  echo "== preset $1"
  cmake --preset "$1" >/dev/null &&
    cmake --build --preset "$1" &&
    ctest --preset "$1" --output-on-failure -j2 2>&1 | tee -a "$log"
}

status=0
for preset in linux linux-sanitize fuzz win32 win64; do
  run_preset "$preset" || { echo "preset $preset FAILED"; status=1; }
done

passed=0
failed=0
while IFS=: read -r bad total; do
  failed=$((failed + bad))
  passed=$((passed + total - bad))
done < <(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1:\2/p' "$log")
[ "$failed" -eq 0 ] || status=1
echo "total: $passed passed, $failed failed"
exit $status
