#!/usr/bin/env bash
# Configures, builds and tests the win32 preset: the DLL users get. Its Wine suites (ctest label
# wine) run here where this machine can run Wine's 32-bit loader, and in the emulated guest
# (scripts/guest/) where it cannot or MIRELSKAN_WIN32_IN_GUEST=1 asks for it; its other tests
# always run here. Exits 0 when every test passed, 3 when the preset did not build, 1 otherwise.
#   win32-tests.sh --refusal   prints why the suites would go to the guest, or nothing
set -uo pipefail
cd "$(dirname "$0")/.."

refusal() {
  local why
  if [ "${MIRELSKAN_WIN32_IN_GUEST:-}" = 1 ]; then
    echo "asked for with MIRELSKAN_WIN32_IN_GUEST=1"
  elif ! why=$(scripts/i386-refusal.sh); then
    echo "$why"
  elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "Wine's 32-bit loader (wine32:i386) is not installed"
  fi
}

# The suites' time limits, multiplied for emulation: measured, TCG is several times slower
# than this machine; KVM about as fast.
time_scale() {
  case "$1" in
    "") echo 1 ;;
    *) [ "$(scripts/guest/run-in-guest.sh --accelerator)" = kvm ] && echo 2 || echo 5 ;;
  esac
}

build() {
  cmake --preset win32 -DMIRELSKAN_WINE_TIME_SCALE="$(time_scale "$1")" >/dev/null &&
    cmake --build --preset win32
}

in_guest() {
  local here guest
  ctest --preset win32 -LE wine --output-on-failure -j2
  here=$?
  scripts/guest/run-in-guest.sh --seconds 1200 --program build/linux/translation-service \
    --program build/linux/libretranslate-stand-in -- ctest --preset win32 -L wine --output-on-failure
  guest=$?
  [ "$here" -eq 0 ] && [ "$guest" -eq 0 ]
}

main() {
  local why
  why=$(refusal)
  if [ "${1:-}" = --refusal ]; then
    [ -z "$why" ] || echo "$why"
    return 0
  fi
  build "$why" || { echo "win32: the preset did not build"; return 3; }
  if [ -z "$why" ]; then
    ctest --preset win32 --output-on-failure -j2 || return 1
    return 0
  fi
  echo "win32: its Wine suites in the emulated guest ($(scripts/guest/run-in-guest.sh --accelerator)): $why"
  in_guest || return 1
}

main "$@"
