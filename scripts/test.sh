#!/usr/bin/env bash
# Builds every preset and runs every test: native unit and service tests (also under ASan and
# UBSan), the checks of the shipped 32-bit DLL, and the end-to-end tests under Wine.
set -uo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh || exit 1

log=$(mktemp)

run_preset() {
  echo "== preset $1"
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" || { unbuilt="$unbuilt $1"; return 1; }
  ctest --preset "$1" --output-on-failure -j2 2>&1 | tee -a "$log"
  local ran=$?
  # ctest keeps a skipped test's output, its reason, only in its log.
  grep '^skipped: ' "build/$1/Testing/Temporary/LastTest.log" | sort -u | sed "s/^/$1 /"
  return $ran
}

# The win32 preset has a script of its own: its Wine suites may run in the emulated guest.
run_win32() {
  echo "== preset win32"
  if [ -n "$image_build" ]; then
    wait "$image_build" || { cat "$image_log"; echo "the guest's image did not build"; return 1; }
    cat "$image_log"
  fi
  scripts/win32-tests.sh 2>&1 | tee -a "$log"
  local ran=${PIPESTATUS[0]}
  [ "$ran" -ne 3 ] || unbuilt="$unbuilt win32"
  return "$ran"
}

status=0
unbuilt=""
win32_why=$(scripts/win32-tests.sh --refusal)
image_log=$(mktemp)
image_build=""
trap 'rm -f "$log" "$image_log"; [ -z "$image_build" ] || kill "$image_build" 2>/dev/null' EXIT
if [ -n "$win32_why" ]; then
  # Mostly downloads and unpacking: it goes on beside the compilers of the other presets. The
  # image is built, and checked, as a first run of the guest on a new machine gets it.
  scripts/guest/run-in-guest.sh --prepare >"$image_log" 2>&1 &
  image_build=$!
fi
for preset in linux linux-sanitize fuzz win32 win64; do
  if [ "$preset" = win32 ]; then
    run_win32 || { echo "preset win32 FAILED"; status=1; }
  else
    run_preset "$preset" || { echo "preset $preset FAILED"; status=1; }
  fi
done
win32_way="directly"
[ -z "$win32_why" ] || win32_way="in the emulated guest"

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
echo "total: $passed passed, $failed failed, $skipped skipped; 32-bit Wine suites ran $win32_way"
exit $status
