#!/usr/bin/env bash
# Prints the directory of a Debian 12 root (debootstrap, variant minbase, from this machine's
# Debian mirror, package lists fetched), building it first when the cache has none. The cache
# lives outside the source tree, in ${XDG_CACHE_HOME:-$HOME/.cache}/mirelskan, one root per
# recipe; a root is built in a temporary directory and renamed only once complete, so a failed
# or interrupted build is never used. Callers copy the root: it is never changed in place.
# usage: debian_root.sh  (as root; progress on stderr, the root's path on stdout)
set -eu

suite=bookworm
cache=${XDG_CACHE_HOME:-$HOME/.cache}/mirelskan

say() { echo "debian_root: $*" >&2; }

# The URIs of this machine's Debian archive and its security archive, from one-line (.list)
# and deb822 (.sources) files alike.
configured_uris() {
  local file
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
    /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    sed -n -e 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\([^[:space:]]\+\).*/\2/p' \
      -e 's/^URIs:[[:space:]]*//p' "$file" | tr ' ' '\n'
  done
}
mirror=$(configured_uris | grep -m1 -E '/debian/?$' || true)
security=$(configured_uris | grep -m1 -E '/debian-security/?$' || true)
[ -n "$mirror" ] || { say "no Debian mirror in /etc/apt/sources.list*"; exit 1; }

# Everything the root depends on; the ISO week makes a root at most a week old, so its package
# lists still name what the mirror holds.
recipe="suite=$suite variant=minbase mirror=$mirror security=$security week=$(date -u +%G-%V)
$(cat "$0")"
hash=$(printf '%s' "$recipe" | sha256sum | cut -c1-16)
root=$cache/deb-root-$hash
if [ -d "$root" ]; then
  echo "$root"
  exit 0
fi

mkdir -p "$cache"
building=$(mktemp -d "$cache/deb-root-building.XXXXXX")
trap 'rm -rf --one-file-system "$building"' EXIT
say "building $root from $mirror (first run only)"
debootstrap --variant=minbase "$suite" "$building/root" "$mirror" >"$building/log" 2>&1 || {
  tail -n 20 "$building/log" >&2
  say "debootstrap failed"
  exit 1
}
{
  echo "deb $mirror $suite main"
  echo "deb $mirror $suite-updates main"
  [ -z "$security" ] || echo "deb $security $suite-security main"
} >"$building/root/etc/apt/sources.list"
cp --dereference /etc/resolv.conf "$building/root/etc/resolv.conf"
chroot "$building/root" apt-get -q update >"$building/log" 2>&1 || {
  tail -n 20 "$building/log" >&2
  say "apt-get update in the new root failed"
  exit 1
}
chroot "$building/root" apt-get clean
mv "$building/root" "$root"
# Roots of older recipes are no use any more.
find "$cache" -maxdepth 1 -name "deb-root-*" ! -name "deb-root-building.*" ! -path "$root" \
  -exec rm -rf --one-file-system {} +
echo "$root"
