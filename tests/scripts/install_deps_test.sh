#!/usr/bin/env bash
# The install's decisions, with apt-get, apt-cache, dpkg and dpkg-query stood in for, so no
# package is installed and no network is needed: each case checks the commands the script ran,
# its exit status and what it said.
set -u
here=$(cd "$(dirname "$0")" && pwd)
script="$here/../../scripts/install-deps.sh"
passed=0 failed=0

# run_case [ARGUMENT]: runs the script in a fresh state; $status, $said and $ran hold what it did.
run_case() {
  STATE=$(mktemp -d)
  export STATE
  printf '%s\n' $ABSENT >"$STATE/absent"
  : >"$STATE/log"
  declare -p UPDATE_FAILS SKEWED STILL_SKEWED NEVER REMOVES 2>/dev/null |
    sed 's/^declare -. //' >"$STATE/case"
  said=$(PATH="$here/stand-ins:$PATH" MIRELSKAN_I386_PROBE="$PROBE" MIRELSKAN_DEPS_CACHE="$CACHE" \
    "$script" "$@" 2>&1)
  status=$?
  ran=$(cat "$STATE/log")
  still_absent=$(paste -sd ' ' "$STATE/absent")
  rm -rf "$STATE"
}

check() {  # check CASE DESCRIPTION CONDITION...
  local case=$1 what=$2
  shift 2
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED %s: %s\n  said: %s\n  ran: %s\n' "$case" "$what" "$said" "$ran"
  fi
}
has() { [[ "$1" == *"$2"* ]]; }
lacks() { ! has "$@"; }
# shellcheck disable=SC2053 # the pattern is a glob
like() { [[ "$1" == $2 ]]; }  # like TEXT GLOB

kernel_refuses="$here/stand-ins/i386-refused"
# Each case remembers refusals in a folder of its own, which the next case's reset_case removes.
CACHE=""
trap 'rm -rf "$CACHE"' EXIT
reset_case() {
  UPDATE_FAILS="" SKEWED="" STILL_SKEWED="" NEVER="" REMOVES="" PROBE=/bin/true
  ABSENT="wine32:i386"
  rm -rf "$CACHE"
  CACHE=$(mktemp -d)
}
stamp() { cat "$CACHE/wine32-refused" 2>/dev/null; }
# refused_at SECONDS_AGO REASON: a refusal as an earlier run remembers it.
refused_at() { printf '%s\n%s\n' $(($(date +%s) - $1)) "$2" >"$CACHE/wine32-refused"; }
in_guest="the 32-bit Wine tests and the demo will run in an emulated guest"
breaks="Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages."

reset_case
UPDATE_FAILS=yes PROBE=$kernel_refuses ABSENT="apertium-es-pt wine32:i386"
run_case
check mirror-sync "exits 0" [ "$status" -eq 0 ]
check mirror-sync "updates twice, a wait between" \
  has "$ran" $'apt-get -q update\nsleep 10\napt-get -q update\napt-get -q install -y apertium-es-pt'
check mirror-sync "installs from the lists that arrived" [ "$still_absent" = "wine32:i386" ]
check mirror-sync "gives apt's reason" has "$said" "File has unexpected size (374820 != 376004)"
check mirror-sync "adds no i386 architecture" lacks "$ran" "--add-architecture"

reset_case
SKEWED=yes
run_case
check skewed-i386 "exits 0" [ "$status" -eq 0 ]
check skewed-i386 "adds the architecture, then tries as it stands" has "$ran" \
  $'dpkg --add-architecture i386\napt-get -q update\napt-get -q install -y --no-install-recommends wine32:i386'
check skewed-i386 "installs with both liblzma5 at the i386 candidate" has "$ran" \
  "apt-get -q install -y --no-install-recommends --allow-downgrades wine32:i386 liblzma5:amd64=5.4.1-1+deb12u1 liblzma5:i386=5.4.1-1+deb12u1"
check skewed-i386 "wine32 installed, nothing else absent" [ -z "$still_absent" ]
check skewed-i386 "says why it tried again" has "$said" "generated breaks"

reset_case
SKEWED=yes REMOVES=wine64
run_case
check would-remove "exits 0" [ "$status" -eq 0 ]
check would-remove "refuses in one line" has "$said" \
  "not installing wine32:i386: apt would remove wine64; the 32-bit Wine tests and the demo will run in an emulated guest"
check would-remove "runs only the simulation of the second way" \
  [ "$(grep -c -- --allow-downgrades <<<"$ran")" -eq 1 ]

reset_case
PROBE=$kernel_refuses
run_case
check no-i386-kernel "exits 0" [ "$status" -eq 0 ]
check no-i386-kernel "runs no apt-get or dpkg" [ -z "$ran" ]
check no-i386-kernel "says why in one line" [ "$said" = "install-deps: not installing wine32:i386: this kernel does not run i386 code (Exec format error); the 32-bit Wine tests and the demo will run in an emulated guest" ]

reset_case
NEVER=apertium-es-pt PROBE=$kernel_refuses ABSENT="cmake apertium-es-pt wine32:i386"
run_case
check never-installable "exits 1" [ "$status" -eq 1 ]
check never-installable "names the package and apt's reason" has "$said" \
  "cannot install apertium-es-pt: Unable to locate package apertium-es-pt"
check never-installable "blames no other package" lacks "$said" "cannot install cmake"

reset_case
SKEWED=yes STILL_SKEWED=yes UPDATE_FAILS=yes
run_case
check refused "exits 0" [ "$status" -eq 0 ]
check refused "gives apt's reason and when it tries again" has "$said" \
  "cannot install wine32:i386: $breaks; $in_guest (next try after "
digit="[0-9]"
check refused "remembers the time and apt's reason" \
  like "$(stamp)" "$digit$digit$digit$digit$digit$digit$digit$digit$digit$digit"$'\n'"$breaks"
# The same machine, a minute later.
run_case
check refusal-remembered "exits 0" [ "$status" -eq 0 ]
check refusal-remembered "runs no apt-get or dpkg" [ -z "$ran" ]
check refusal-remembered "says so in one line" like "$said" \
  "install-deps: not installing wine32:i386 (tried 0 min ago: $breaks; next try after $digit$digit$digit$digit-$digit$digit-$digit$digit $digit$digit:$digit$digit); $in_guest"
check refusal-remembered "keeps the stamp" has "$(stamp)" "$breaks"

reset_case
refused_at $((3 * 3600 + 60)) "apt would remove wine64"
ABSENT="apertium-es-pt wine32:i386"
run_case
check refused-3h-ago "installs the others" [ "$still_absent" = "wine32:i386" ]
check refused-3h-ago "does not try wine32" lacks "$ran" "wine32"
check refused-3h-ago "says when it tried" has "$said" \
  "install-deps: not installing wine32:i386 (tried 3 h ago: apt would remove wine64; next try after "

reset_case
refused_at $((25 * 3600)) "$breaks"
SKEWED=yes
run_case
check refused-yesterday "tries again" has "$ran" \
  $'dpkg --add-architecture i386\napt-get -q update\napt-get -q install -y --no-install-recommends wine32:i386'
check refused-yesterday "installs wine32" [ -z "$still_absent" ]
check refused-yesterday "forgets the refusal" [ -z "$(stamp)" ]

reset_case
refused_at -3600 "$breaks"
run_case
check stamp-from-the-future "tries again" has "$ran" "apt-get -q install -y --no-install-recommends wine32:i386"
check stamp-from-the-future "forgets the refusal at once" [ -z "$(stamp)" ]

# The guest's tools first, while the image's build waits on them: wine32 is the full run's.
reset_case
ABSENT="qemu-system-x86 apertium-es-pt wine32:i386"
run_case --guest
check guest-only "exits 0" [ "$status" -eq 0 ]
check guest-only "installs only the guest's tools" \
  [ "$ran" = $'apt-get -q update\napt-get -q install -y qemu-system-x86' ]
check guest-only "leaves the rest for the full run" \
  [ "$still_absent" = "apertium-es-pt wine32:i386" ]
run_case --guests
check unknown-argument "exits 2" [ "$status" -eq 2 ]
check unknown-argument "runs no apt-get or dpkg" [ -z "$ran" ]

echo "install-deps: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
