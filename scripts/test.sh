#!/usr/bin/env bash
# Builds every preset and runs every test: native unit and service tests (also under ASan and
# UBSan), the checks of the shipped 32-bit DLL, and the end-to-end tests under Wine.
set -uo pipefail
cd "$(dirname "$0")/.."
# What the emulated guest's image is built with comes first: the image, mostly one process
# unpacking packages, builds beside the rest of the install, which is another.
./scripts/install-deps.sh --guest || exit 1

log=$(mktemp)

# ctest keeps a skipped test's output, its reason, only in its log.
skip_reasons() { grep '^skipped: ' "build/$1/Testing/Temporary/LastTest.log" | sort -u | sed "s/^/$1 /"; }

# Compilers run at a lower priority: the emulated guest, which the image's build and the suites
# in the background boot, is the longest chain of the run, and under TCG it slows down as much as
# the compilers take its CPU (its pipelines then miss their start-up bound). The compilers take
# what it leaves.
build_preset() {
  echo "== preset $1"
  cmake --preset "$1" >/dev/null && nice -n 10 cmake --build --preset "$1" ||
    { unbuilt="$unbuilt $1"; return 1; }
}

# Tests a built preset; further arguments go to ctest. Beside the guest (niceness set), at the
# compilers' priority.
niceness=0
test_preset() {
  local preset=$1
  shift
  nice -n "$niceness" ctest --preset "$preset" --output-on-failure -j2 "$@" 2>&1 | tee -a "$log"
  local ran=$?
  skip_reasons "$preset"
  return $ran
}

run_preset() { build_preset "$1" && test_preset "$@"; }

# Steps that run in the background, beside the presets built meanwhile: the emulated guest's
# suites leave a core mostly idle. Each writes a log of its own, which joins the others' once it
# is waited for.
declare -A background_pid background_log

# start_in_background NAME COMMAND...
start_in_background() {
  local name=$1
  shift
  background_log[$name]=$(mktemp)
  "$@" >"${background_log[$name]}" 2>&1 &
  background_pid[$name]=$!
}

# Waits for the step NAME and prints its output; its status, 0 for a step never started.
finish_in_background() {
  local name=$1 ran
  [ -n "${background_pid[$name]:-}" ] || return 0
  wait "${background_pid[$name]}"
  ran=$?
  tee -a "$log" <"${background_log[$name]}"
  rm -f "${background_log[$name]}"
  unset "background_pid[$name]" "background_log[$name]"
  return $ran
}

# The package's systemd suite (the linux preset's label systemd) waits for the guest's image, then
# for the emulated guest: it runs once the rest of the linux preset's tests are done with the
# build folder, with the .deb they made.
run_systemd_suite() {
  echo "== preset linux, its systemd suite"
  ctest --preset linux -L systemd -FA deb --output-on-failure
  local ran=$?
  skip_reasons linux
  return $ran
}

# The win32 preset has a script of its own: its Wine suites may run in the emulated guest.
# Exits 3 when the preset did not build.
run_win32() {
  echo "== preset win32"
  scripts/win32-tests.sh
}

# The emulated guest's image, which the linux preset's systemd suite always boots and the win32
# preset's Wine suites where this machine cannot run them. It is built, and checked, as a first
# run of the guest on a new machine gets it, in a process group of its own, which the end of this
# script stops whole.
start_image() {
  setsid scripts/guest/run-in-guest.sh --prepare >"$image_log" 2>&1 &
  image_build=$!
}

# The image's build is this shell's child: only here can it be waited for.
wait_for_image() {
  local built
  [ -n "$image_build" ] || return 0
  wait "$image_build"
  built=$?
  image_build=""
  cat "$image_log"
  [ "$built" -eq 0 ] || { echo "the guest's image did not build"; return 1; }
}

image_log=$(mktemp)
image_build=""
trap 'rm -f "$log" "$image_log" "${background_log[@]}"
  [ -z "$image_build" ] || kill -- "-$image_build" 2>/dev/null
  for pid in "${background_pid[@]}"; do kill "$pid" 2>/dev/null; done' EXIT
start_image
./scripts/install-deps.sh || exit 1
status=0
unbuilt=""
win32_why=$(scripts/win32-tests.sh --refusal)
run_preset linux -LE systemd || { echo "preset linux FAILED"; status=1; }
[[ " $unbuilt " == *" linux "* ]] || start_in_background systemd run_systemd_suite
# The sanitizers' build goes on beside the systemd suite, their tests only after it: those would
# take the guest's CPU as the compilers, at their lower priority, do not.
build_preset linux-sanitize
sanitize_built=$?
finish_in_background systemd || { echo "the linux preset's systemd suite FAILED"; status=1; }
if [ "$sanitize_built" -ne 0 ] || ! test_preset linux-sanitize; then
  echo "preset linux-sanitize FAILED"
  status=1
fi
if wait_for_image; then
  start_in_background win32 run_win32
  niceness=10
else
  echo "preset win32 FAILED"
  status=1
fi
for preset in fuzz win64; do
  run_preset "$preset" || { echo "preset $preset FAILED"; status=1; }
done
finish_in_background win32
ran=$?
[ "$ran" -ne 3 ] || unbuilt="$unbuilt win32"
[ "$ran" -eq 0 ] || { echo "preset win32 FAILED"; status=1; }
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
