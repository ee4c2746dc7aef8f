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

# Why this machine cannot run Wine's 32-bit loader itself, or nothing when it can. Then the
# win32 Wine suites run in the emulated guest (scripts/guest/), which MIRELSKAN_WIN32_IN_GUEST=1
# asks for anyway.
win32_refusal() {
  local refusal
  if [ "${MIRELSKAN_WIN32_IN_GUEST:-}" = 1 ]; then
    echo "asked for with MIRELSKAN_WIN32_IN_GUEST=1"
  elif ! refusal=$(scripts/i386-refusal.sh); then
    echo "$refusal"
  elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "Wine's 32-bit loader (wine32:i386) is not installed"
  fi
}

# The win32 preset with its Wine suites in the guest: the rest of its tests run here.
run_win32_in_guest() {
  local accelerator scale
  accelerator=$(scripts/guest/run-in-guest.sh --accelerator)
  # Measured: KVM about as fast as this machine; TCG several times slower.
  scale=2
  [ "$accelerator" = kvm ] || scale=5
  echo "== preset win32, its Wine suites in the emulated guest ($accelerator): $win32_why"
  wait "$image_build"
  local built=$?
  cat "$image_log"
  [ $built -eq 0 ] || { echo "the guest's image did not build"; return 1; }
  cmake --preset win32 -DMIRELSKAN_WINE_TIME_SCALE=$scale >/dev/null && cmake --build --preset win32 ||
    { unbuilt="$unbuilt win32"; return 1; }
  ctest --preset win32 -LE wine --output-on-failure -j2 2>&1 | tee -a "$log"
  local ran=$?
  scripts/guest/run-in-guest.sh --seconds 1200 --program build/linux/translation-service \
    --program build/linux/libretranslate-stand-in -- \
    ctest --preset win32 -L wine --output-on-failure 2>&1 | tee -a "$log"
  local guest=${PIPESTATUS[0]}
  [ "$ran" -eq 0 ] && [ "$guest" -eq 0 ]
}

status=0
unbuilt=""
win32_why=$(win32_refusal)
image_log=$(mktemp)
image_build=""
trap 'rm -f "$log" "$image_log"; [ -z "$image_build" ] || kill "$image_build" 2>/dev/null' EXIT
if [ -n "$win32_why" ]; then
  # Mostly downloads and unpacking: it goes on beside the compilers of the other presets.
  scripts/guest/build-image.sh >"$image_log" 2>&1 &
  image_build=$!
fi
win32_way="directly"
for preset in linux linux-sanitize fuzz win32 win64; do
  if [ "$preset" = win32 ] && [ -n "$win32_why" ]; then
    win32_way="in the emulated guest"
    run_win32_in_guest || { echo "preset win32 FAILED"; status=1; }
    continue
  fi
  [ "$preset" != win32 ] || cmake --preset win32 -DMIRELSKAN_WINE_TIME_SCALE=1 >/dev/null
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
echo "total: $passed passed, $failed failed, $skipped skipped; 32-bit Wine suites ran $win32_way"
exit $status
