#!/usr/bin/env bash
# The guest's image builder prints its folder and nothing else on standard output, which
# run-in-guest.sh boots: its slow steps (debootstrap, the chroot's apt, mkfs.ext4, the boot that
# makes the Wine prefix) are stood in for by tools that write to standard output on purpose, so a
# build runs in seconds, and any step whose output reached standard output shows here. The
# stand-in chroot's notes show too what the root is set up with before its install.
set -u
here=$(cd "$(dirname "$0")" && pwd)
guest="$here/../../scripts/guest"
export PATH="$here/guest-stand-ins:$PATH"
passed=0 failed=0

# run_case NAME COMMAND...: runs COMMAND against the cache in $cache; $status, $out and $err hold
# what it did.
run_case() {
  name=$1
  shift
  out=$(MIRELSKAN_GUEST_CACHE=$cache "$@" 2>"$cache.err")
  status=$?
  err=$(cat "$cache.err")
}

check() {  # check DESCRIPTION CONDITION...
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED %s: %s\n  exit %s; stdout: %s\n  stderr: %s\n' "$name" "$what" "$status" \
      "$out" "$(tail -n 5 <<<"$err")"
  fi
}
has() { [[ "$1" == *"$2"* ]]; }
# One line: the folder of a finished image in the cache.
names_image() { [[ "$out" =~ ^$cache/guest-[0-9a-f]{16}$ ]] && [ -f "$out/ready" ]; }

new_cache() {
  [ -z "${cache:-}" ] || rm -rf "$cache" "$cache.err"
  cache=$(mktemp -d)
}
trap 'rm -rf "$cache" "$cache.err"' EXIT

# A newcomer's first run: nothing cached, the image built on the way to the boot.
new_cache
run_case first-run "$guest/run-in-guest.sh" -- true
check "exits with the command's status" [ "$status" -eq 0 ]
check "boots the image it built" has "$err" "guest: done in"
check "shows the command's output" has "$out" "the command ran (stand-in)"

run_case cached "$guest/build-image.sh"
check "exits 0" [ "$status" -eq 0 ]
check "prints only the image's folder" names_image
image=$out

run_case prepare "$guest/run-in-guest.sh" --prepare
check "prints the folder build-image.sh named" [ "$out" = "$image" ]

new_cache
STANDIN_LOG=$cache.log run_case build "$guest/build-image.sh"
check "exits 0" [ "$status" -eq 0 ]
check "prints only the image's folder" names_image
check "says it built" has "$err" "guest image: built in"
in_root=$(sed -n 's/^chroot: //p; s/^initramfs: /initramfs /p' "$cache.log" | cut -d' ' -f1-3)
check "sets the initramfs's modules before the install makes it" \
  has "$in_root" $'initramfs MODULES=list COMPRESS=gzip\napt-get -q install'
check "makes apt's index after the clean, which deletes it" \
  has "$in_root" $'apt-get clean\napt-cache gencaches'
rm -f "$cache.log"

rm -f -- "$cache"/guest-*/root.img
run_case incomplete "$guest/run-in-guest.sh" --prepare
check "exits 1" [ "$status" -eq 1 ]
check "prints no folder" [ -z "$out" ]
check "names what the image lacks" has "$err" "has no root.img; delete that folder"

new_cache
STANDIN_FAIL=debootstrap run_case build-fails "$guest/run-in-guest.sh" -- true
check "exits 1" [ "$status" -eq 1 ]
check "prints nothing on standard output" [ -z "$out" ]
check "shows debootstrap's reason" has "$err" "E: Failed getting release file (stand-in)"
check "leaves no image behind" [ -z "$(find "$cache" -maxdepth 1 -name 'guest-*')" ]

echo "guest image: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
