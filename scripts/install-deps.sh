#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; quick when all are there.
# A package index that fails to download (a mirror in the middle of a sync) is a warning: apt
# installs from the lists that arrived. Only a package that cannot be installed ends the run.
# Wine's 32-bit loader is installed only where the kernel runs i386 code; where apt refuses it
# (a mirror out of step), it is tried again a day later.
#   install-deps.sh           all of them
#   install-deps.sh --guest   only what builds the emulated guest's image, whose build can then
#                             go on while the rest installs
set -u

# The image's builder runs debootstrap, mkfs.ext4 and, for the Wine prefix it makes, the guest.
guest_packages="debootstrap qemu-system-x86 qemu-utils e2fsprogs"
packages="$guest_packages
  cmake ninja-build g++ pkgconf perl googletest libgtest-dev libgmock-dev python3
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils wine64
  libmicrohttpd-dev libcurl4-openssl-dev nlohmann-json3-dev libsystemd-dev
  libcli11-dev libgumbo-dev
  apertium apertium-eng-spa apertium-fr-es apertium-spa-ita cg3 apertium-es-pt
  apertium-apy
  iproute2 util-linux chromium systemd
  clang libclang-rt-14-dev clang-format
  libcld2-dev lttoolbox-dev libxml2-dev libicu-dev gettext
  libhunspell-dev hunspell-de-de hunspell-nl hunspell-it hunspell-pt-pt
  libhiredis-dev prometheus-cpp-dev
  redis-server nginx-light prometheus lintian
  dpkg-dev curl unzip man-db nodejs"
# Its recommends would add about 700 MB of i386 libraries (sound, graphics, printing) that the
# tests never load.
win32_loader="wine32:i386"
win32_skipped="the 32-bit Wine tests and the demo will run in an emulated guest"
retry_wait=10
# A refusal of wine32:i386 is remembered for a day: where a mirror's i386 index is out of step,
# each try costs about a minute (the indexes again, then the aligned versions) and fails the
# same way until the mirror has caught up. MIRELSKAN_DEPS_CACHE names another folder for it;
# with no folder at all (no home), nothing is remembered.
refusal_stamp=""
if [ -n "${MIRELSKAN_DEPS_CACHE:-}${XDG_CACHE_HOME:-}${HOME:-}" ]; then
  refusal_stamp="${MIRELSKAN_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/mirelskan}/wine32-refused"
fi
retry_after=$((24 * 3600))

say() { echo "install-deps: $*"; }

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

apt_get() { as_root env DEBIAN_FRONTEND=noninteractive apt-get -q "$@"; }

is_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }

missing_of() {
  local installed package
  installed=$(dpkg-query -W -f='${Package} ${Status}\n' "$@" 2>/dev/null |
    sed -n 's/ .* installed$//p')
  for package in "$@"; do
    grep -qxF "$package" <<<"$installed" || printf '%s ' "$package"
  done
}

# apt's own reasons, the lines it starts with "E:".
apt_errors() { sed -n 's/^E: //p' "$1"; }

update_indexes() {
  local out
  out=$(mktemp)
  if ! apt_get update >"$out" 2>&1; then
    say "warning: package indexes failed to download; trying again in $retry_wait s"
    sleep "$retry_wait"
    if ! apt_get update >"$out" 2>&1; then
      say "warning: going on with the package lists that did arrive; apt said:"
      apt_errors "$out" | sed 's/^/  /'
    fi
  fi
  rm -f "$out"
}

# Installs the packages named, or says which of them cannot be installed and why, and fails.
install_packages() {
  local out package
  out=$(mktemp)
  if apt_get install -y "$@" >"$out" 2>&1; then
    rm -f "$out"
    return 0
  fi
  for package in "$@"; do
    apt_get install -s -y "$package" >"$out" 2>&1 ||
      say "cannot install $package: $(apt_errors "$out" | head -n 3 | paste -sd ' ')"
  done
  rm -f "$out"
  return 1
}

# The libraries wine32:i386 needs that are "Multi-Arch: same" and installed for amd64 at another
# version than the i386 candidate: such a library needs one version on both architectures, which
# apt cannot find when the two architectures' indexes are out of step (one of them missing its
# security update). Prints "name:amd64=V name:i386=V" for each, V being the i386 candidate.
aligned_versions() {
  local closure same
  closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
    --no-breaks --no-replaces --no-enhances "$win32_loader" |
    sed -n 's/^\([^ <][^ ]*\):i386$/\1/p' | sort -u)
  [ -n "$closure" ] || return 0
  # shellcheck disable=SC2086 # one word per package
  same=$(dpkg-query -W -f='${Package} ${Architecture} ${Multi-Arch} ${Status}\n' $closure \
    2>/dev/null | awk '$2 == "amd64" && $3 == "same" && / installed$/ { print $1 }')
  [ -n "$same" ] || return 0
  # shellcheck disable=SC2086
  apt-cache policy $(for p in $same; do echo "$p:amd64 $p:i386"; done) | awk '
    /^[^ ].*:$/ {
      name = substr($0, 1, length($0) - 1)
      if (name !~ /:/) name = name ":amd64"  # apt leaves the native architecture unnamed
    }
    /^  Installed:/ { installed[name] = $2 }
    /^  Candidate:/ { candidate[name] = $2 }
    END {
      for (name in candidate) {
        if (name !~ /:i386$/) continue
        base = substr(name, 1, length(name) - 5)
        v = candidate[name]
        if (v != "(none)" && installed[base ":amd64"] != v) print base ":amd64=" v, name "=" v
      }
    }'
}

when() { date -d "@$1" '+%Y-%m-%d %H:%M'; }

# Notes when wine32:i386 was refused and apt's reason; prints " (next try after TIME)", or
# nothing where the stamp cannot be written: that only costs a try on the next run.
remember_refusal() {
  local now
  [ -n "$refusal_stamp" ] || return 0
  now=$(date +%s)
  mkdir -p "$(dirname "$refusal_stamp")" 2>/dev/null &&
    printf '%s\n%s\n' "$now" "$1" 2>/dev/null >"$refusal_stamp.new" &&
    mv -f "$refusal_stamp.new" "$refusal_stamp" 2>/dev/null || return 0
  echo " (next try after $(when $((now + retry_after))))"
}

# Prints why wine32:i386 is not tried this time when it was refused less than a day ago.
remembered_refusal() {
  local tried reason age
  [ -f "$refusal_stamp" ] || return 1
  { read -r tried && IFS= read -r reason; } <"$refusal_stamp" || return 1
  [[ "$tried" =~ ^[0-9]+$ ]] || return 1
  age=$(($(date +%s) - tried))
  # A stamp from the future (a clock set back) says nothing of today's mirror.
  [ "$age" -ge 0 ] && [ "$age" -lt "$retry_after" ] || return 1
  if [ "$age" -lt 3600 ]; then age="$((age / 60)) min"; else age="$((age / 3600)) h"; fi
  echo "not installing $win32_loader (tried $age ago: $reason;" \
    "next try after $(when $((tried + retry_after)))); $win32_skipped"
}

# Installs wine32:i386 as it stands, or else with its libraries' versions aligned; never when
# apt would remove a package to do so. A refusal is remembered, an install forgets it.
install_win32_loader() {
  local out pins removals reason
  out=$(mktemp)
  if apt_get install -y --no-install-recommends "$win32_loader" >"$out" 2>&1; then
    rm -f "$out" "$refusal_stamp"
    return 0
  fi
  say "$win32_loader did not install as it stands ($(apt_errors "$out" | tail -n 1));" \
    "trying again with its libraries at one version on both architectures"
  pins=$(aligned_versions)
  # shellcheck disable=SC2086 # one word per pin
  apt_get install -s -y --no-install-recommends --allow-downgrades "$win32_loader" $pins \
    >"$out" 2>&1
  removals=$(sed -n 's/^Remv \([^ ]*\).*/\1/p' "$out" | paste -sd ' ')
  if [ -n "$removals" ]; then
    reason="apt would remove $removals"
    say "not installing $win32_loader: $reason; $win32_skipped$(remember_refusal "$reason")"
  elif ! apt_get install -y --no-install-recommends --allow-downgrades "$win32_loader" $pins \
    >"$out" 2>&1; then
    reason=$(apt_errors "$out" | tail -n 1)
    reason=${reason:-apt-get install failed}
    say "cannot install $win32_loader: $reason; $win32_skipped$(remember_refusal "$reason")"
  else
    rm -f "$refusal_stamp"
  fi
  rm -f "$out"
}

main() {
  local missing refusal want_win32=""
  case "$*" in
    "" | --guest) ;;
    *) echo "usage: install-deps.sh [--guest]" >&2; return 2 ;;
  esac
  if [ "${1:-}" = --guest ]; then
    packages=$guest_packages
  else
    # Debian's nodejs leaves npm to a package of its own; other builds of node bring it along.
    command -v npm >/dev/null || packages="$packages npm"
  fi
  # shellcheck disable=SC2086 # one word per package
  missing=$(missing_of $packages)
  if [ "${1:-}" != --guest ] && ! is_installed "$win32_loader"; then
    if ! refusal=$("$(dirname "$0")/i386-refusal.sh"); then
      say "not installing $win32_loader: $refusal; $win32_skipped"
    elif refusal=$(remembered_refusal); then
      say "$refusal"
    else
      want_win32=yes
    fi
  fi
  [ -n "$missing$want_win32" ] || return 0
  say "installing: $missing${want_win32:+$win32_loader}"
  if [ -n "$want_win32" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  update_indexes
  if [ -n "$missing" ]; then
    # shellcheck disable=SC2086
    install_packages $missing || return 1
  fi
  [ -z "$want_win32" ] || install_win32_loader
  # shellcheck disable=SC2086
  missing=$(missing_of $packages)
  if [ -n "$missing" ]; then
    say "these packages are not installed after all: $missing"
    return 1
  fi
}

main "$@"
