#!/usr/bin/env bash
# Builds the emulated guest the 32-bit Wine suites run in where this machine cannot run them
# itself: a Debian 12 root with its own kernel, Wine's 32-bit loader and what the suites' servers
# load, as an ext4 image, kernel and initrd. Prints the folder that holds them.
#
#   build-image.sh [PROGRAM...]   PROGRAMs: native programs the guest must run; the build fails,
#                                 naming the package, when one of their libraries is not in it
#
# The image is cached under ${MIRELSKAN_GUEST_CACHE:-~/.cache/mirelskan}/guest-HASH, HASH taken
# from this script and the package list, so a changed recipe builds anew. It is built in a
# temporary folder beside and renamed into place only once whole: a failed or partial build is
# never used.
set -euo pipefail
# Standard output carries the image's folder and nothing else (run-in-guest.sh reads it there):
# it is kept on fd 3 for the last line, and every step of the build, whatever tool it runs, writes
# to standard error. mkfs.ext4, for one, says "Creating regular file" on standard output.
exec 3>&1 1>&2
here=$(cd "$(dirname "$0")" && pwd)
cache=${MIRELSKAN_GUEST_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/mirelskan}
suite=bookworm
mirror=${MIRELSKAN_GUEST_MIRROR:-http://deb.debian.org/debian}

# What the guest itself needs: its kernel, Wine's 32-bit loader (its recommends would add
# sound, graphics and printing libraries the suites never load), the suites' interpreter and
# ctest, the network namespace tools, and the Apertium pairs the service translates with.
# The libraries of the service and of the suites' other native servers are named here: a program
# that links one more is refused with the package to add (missing_libraries). systemd, D-Bus and
# curl are for the package's suite, which boots the image with systemd as its first process and
# installs the .deb there without a network: its dependencies and recommends are all here.
base_packages="linux-image-amd64 initramfs-tools kmod python3 cmake iproute2 util-linux procps
  systemd-sysv dbus curl
  apertium apertium-eng-spa apertium-fr-es apertium-spa-ita cg3 apertium-es-pt
  libmicrohttpd12 libcurl4 libsystemd0 libcld2-0 liblttoolbox3 libhiredis0.14 libgumbo1
  libprometheus-cpp-core1.0 libhunspell-1.7-0 hunspell-de-de hunspell-nl hunspell-it
  hunspell-pt-pt"
i386_packages="wine32:i386"
# The image holds a Wine prefix made by this, copied for each run (wineboot takes minutes
# emulated): cmake/wine-run.sh takes it when MIRELSKAN_WINEPREFIX_TEMPLATE names it.
wine_run="$here/../../cmake/wine-run.sh"
prefix_template=/var/lib/mirelskan/wineprefix-win32

say() { echo "guest image: $*" >&2; }

# Fails, naming each, when a library that one of the programs loads comes from a package the
# image does not hold.
missing_libraries() {
  local installed=$1 library package status=0
  shift
  for library in $(for program in "$@"; do ldd "$program" | awk '/=> \// { print $3 }'; done | sort -u); do
    package=$(dpkg -S "$(readlink -f "$library")" 2>/dev/null | sed -n '1s/[:,].*//p')
    [ -z "$package" ] || grep -qxF "$package" "$installed" && continue
    say "the guest lacks $package ($library); add it to base_packages in $0"
    status=1
  done
  return $status
}

recipe() {
  echo "suite=$suite"
  echo "$1" | tr ' ' '\n'
  cat "$0" "$here/first-process.sh" "$wine_run"
}

# Only the release itself: the security suite's i386 index is often mid-sync on the mirrors, and
# the two architectures of a Multi-Arch library must come from one index to install together.
write_sources() {
  cat >"$1/etc/apt/sources.list" <<SOURCES
deb $mirror $suite main
SOURCES
}

# The guest boots from one virtio disk, so its initramfs needs only what mounts that: made so it
# takes 4 s, where Debian's default (every module any machine may boot from) took 64 s, twice in
# the install (the kernel's, then the trigger's), and an emulated boot unpacks 6 MB, not 36.
# Written before the install, which makes the initramfs, and kept: a later kernel's takes it too.
write_initramfs_config() {
  mkdir -p "$1/etc/initramfs-tools/conf.d" "$1/etc/initramfs-tools/hooks"
  # Minbase has no zstd, Debian's default; initramfs-tools would fall back to gzip with a warning.
  printf 'MODULES=list\nCOMPRESS=gzip\n' >"$1/etc/initramfs-tools/conf.d/mirelskan-guest"
  cat >"$1/etc/initramfs-tools/hooks/mirelskan-guest" <<'HOOK'
#!/bin/sh
# The root file system's disk and file system (run-in-guest.sh: root=/dev/vda, ext4).
[ "$1" = prereqs ] && exit 0
. /usr/share/initramfs-tools/hook-functions
manual_add_modules virtio_pci virtio_blk ext4
HOOK
  chmod 755 "$1/etc/initramfs-tools/hooks/mirelskan-guest"
}

in_root() { LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive chroot "$root" "$@"; }

mount_kernel_filesystems() {
  mount -t proc proc "$root/proc"
  mount -t sysfs sys "$root/sys"
  mount --bind /dev "$root/dev"
  mount --bind /dev/pts "$root/dev/pts"
}

unmount_kernel_filesystems() {
  local point
  for point in dev/pts dev sys proc; do
    mountpoint -q "$root/$point" && umount -l "$root/$point"
  done
  return 0
}

# The root is built in memory: dpkg's writes never wait for the disk, and it goes at once once
# the image holds it, where removing it from the disk took 80 s beside the compilers.
mount_root_in_memory() {
  mkdir -p "$root"
  mount -t tmpfs -o size=8g,mode=0755 mirelskan-guest-root "$root"
}

drop_root() {
  if mountpoint -q "$root"; then umount -l "$root"; fi
  rm -rf --one-file-system "$root"
}

build_root() {
  local packages=$1
  mount_root_in_memory
  say "debootstrap $suite into $root"
  debootstrap --variant=minbase --arch=amd64 "$suite" "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -n 20 "$work/debootstrap.log" >&2; return 1; }
  write_sources "$root"
  # debootstrap leaves these to the installer; the suites' servers listen on localhost.
  printf '127.0.0.1 localhost\n::1 localhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"
  echo mirelskan-guest >"$root/etc/hostname"
  mount_kernel_filesystems
  # Services a package would start belong to no one here.
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod +x "$root/usr/sbin/policy-rc.d"
  # A throwaway root: a failed build is never used, so dpkg need not sync each file it writes.
  mkdir -p "$root/etc/dpkg/dpkg.cfg.d"
  echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/mirelskan-unsafe-io"
  write_initramfs_config "$root"
  in_root dpkg --add-architecture i386
  in_root apt-get -q update >"$work/apt.log" 2>&1
  # shellcheck disable=SC2086 # one word per package
  in_root apt-get -q install -y --no-install-recommends $packages \
    >>"$work/apt.log" 2>&1 || { tail -n 30 "$work/apt.log" >&2; return 1; }
  in_root apt-get clean
  # The index apt builds from its lists on first use, made here at native speed: emulated, the
  # package suite's first apt-get spent 16 s on it.
  in_root apt-cache gencaches >>"$work/apt.log" 2>&1
  rm -f "$root/usr/sbin/policy-rc.d" "$root/etc/dpkg/dpkg.cfg.d/mirelskan-unsafe-io"
  install -m 755 "$here/first-process.sh" "$root/sbin/mirelskan-guest-init"
  unmount_kernel_filesystems
}

make_image() {
  local size_mib
  cp "$root"/boot/vmlinuz-* "$work/vmlinuz"
  cp "$root"/boot/initrd.img-* "$work/initrd.img"
  chmod 644 "$work/vmlinuz" "$work/initrd.img"
  # Room for the files and the Wine prefix (about 600 MiB) with a margin; the file is sparse, and
  # the suites' runs write to a copy-on-write snapshot, never to it.
  size_mib=$(($(du -sm "$root" | cut -f1) * 12 / 10 + 1024))
  # Even with -q it says "Creating regular file" for a new image; its errors go to standard error.
  mkfs.ext4 -q -F -L mirelskan-guest -d "$root" "$work/root.img" "${size_mib}M" >/dev/null
}

# Boots the new image once, with its disk writable, to make the Wine prefix in it. Made on the
# guest's disk itself, Wine's programs ended with status 53 (in memory they do not), so it is
# made in /tmp and copied, whole or not at all. Without it the image still serves: each run then
# makes its own.
make_wine_prefix() {
  say "making the Wine prefix in the guest (a few minutes, emulated)"
  if "$here/run-in-guest.sh" --image "$work" --writable --seconds 900 -- \
    env WINEARCH=win32 WINEPREFIX=/tmp/prefix sh -c \
    '"$0" cmd /c exit 0; test -f /tmp/prefix/.mirelskan-ready-2 && /usr/lib/wine/wineserver -w &&
      mkdir -p "${1%/*}" && { cp -a /tmp/prefix "$1.part" && mv "$1.part" "$1" || rm -rf "$1.part"; }' \
    "$wine_run" "$prefix_template" >"$work/prefix.log" 2>&1; then
    return 0
  fi
  tail -n 5 "$work/prefix.log" >&2
  say "no Wine prefix in the image: each run makes its own"
}

main() {
  local packages hash target
  packages="$base_packages $i386_packages"
  hash=$(recipe "$packages" | sha256sum | cut -c1-16)
  target="$cache/guest-$hash"
  if [ -f "$target/ready" ]; then
    missing_libraries "$target/packages.txt" "$@" || return 1
    echo "$target" >&3
    return 0
  fi
  mkdir -p "$cache"
  # One build at a time; one that waited here may find the image made meanwhile. A folder of a
  # build that was killed is only a leftover then.
  exec 9>"$cache/.guest.lock"
  flock 9
  if [ ! -f "$target/ready" ]; then
    find "$cache" -maxdepth 1 -name '.building-*' -exec rm -rf --one-file-system {} +
    # Nothing it starts gets the folder's line to write on.
    build "$hash" "$packages" 3>&-
  fi
  missing_libraries "$target/packages.txt" "$@" || return 1
  echo "$target" >&3
}

build() {
  local hash=$1 packages=$2
  work=$(mktemp -d "$cache/.building-XXXXXX")
  root="$work/root"
  trap 'unmount_kernel_filesystems 2>/dev/null; drop_root; rm -rf --one-file-system "$work"' EXIT
  trap 'exit 1' INT TERM
  say "building (recipe $hash; about 10 minutes the first time)"
  build_root "$packages"
  in_root dpkg-query -W -f='${Package}\n' >"$work/packages.txt"
  make_image
  # Its memory back before the guest boots.
  drop_root
  make_wine_prefix
  touch "$work/ready"
  # Older recipes' images are of no more use.
  find "$cache" -maxdepth 1 -name 'guest-*' ! -name "guest-$hash" -exec rm -rf --one-file-system {} +
  mv "$work" "$target"
  trap - EXIT
  say "built in $SECONDS s"
}

main "$@"
