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
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" || { unbuilt="$unbuilt $1"; return 1; }
  ctest --preset "$1" --output-on-failure -j2 2>&1 | tee -a "$log"
  local ran=$?
  # ctest keeps a skipped test's output, its reason, only in its log.
  grep '^skipped: ' "build/$1/Testing/Temporary/LastTest.log" | sort -u | sed "s/^/$1 /"
  return $ran
}

status=0
unbuilt=""
for preset in linux linux-sanitize fuzz win32 win64; do
  run_preset "$preset" || { echo "preset $preset FAILED"; status=1; }
done

passed=0
failed=0
while IFS=: read -r bad total; do
  failed=$((failed + bad))
  passed=$((passed + total - bad))
done < <(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1:\2/p' "$log")
# ctest counts a skipped test as passed and lists it under "did not run".
skipped=$(grep -c '^[[:space:]]*[0-9]* - .* (Skipped)$' "$log")
passed=$((passed - skipped))
# A preset that does not build ran none of its tests: count it as a failure of its own.
for preset in $unbuilt; do echo "preset $preset did not build"; failed=$((failed + 1)); done
[ "$failed" -eq 0 ] || status=1
echo "total: $passed passed, $failed failed, $skipped skipped"
exit $status
