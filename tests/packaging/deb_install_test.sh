#!/usr/bin/env bash
# Installs the built .deb with apt-get into a fresh Debian 12 root (a copy of the cached one
# debian_root.sh makes), runs the service there as its unit would -- options from the
# installed options file, the unit's ExecStart, an unprivileged user with only
# CAP_NET_BIND_SERVICE, in a private network namespace -- and translates through it; then
# upgrades over an edited conffile, removes and purges the package, and looks for anything of
# it left behind. Nothing is built here.
# usage: deb_install_test.sh DEB SERVICE_READY_PY   (as root)
set -u

name=mirelskan-translation-service
unit=$name.service
options=/etc/default/$name
# What a request for en_es answers between the page's markers.
request='/tr?trtext=I+have+a+black+dog&lp=en_es'
translation='<td bgcolor=white class=s><div style=padding:10px;>Tengo un perro negro</div></td>'
# The options line the test writes into the conffile; the service must show it read it.
edited='TRANSLATION_SERVICE_OPTIONS="--listen 127.0.0.1:80 --pairs en_es"'
# A uid in the range systemd's DynamicUser= takes from.
dynamic_uid=61184

fail() {
  echo "FAIL: $*"
  exit 1
}

# Progress with the seconds since the start, which show where a slow run spends them.
say() { echo "[${SECONDS}s] $*"; }

# Runs inside the private network namespace: the service from the root, as the unit starts
# it, then the requests, then the stop.
if [ "${1:-}" = --in-netns ]; then
  root=$2 ready=$3 environment_file=$4 exec_start=$5
  ip link set lo up || fail "cannot bring up lo in the namespace"
  chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin \
    setpriv --reuid=$dynamic_uid --regid=$dynamic_uid --clear-groups --no-new-privs \
    --inh-caps=-all,+net_bind_service --ambient-caps=-all,+net_bind_service \
    --bounding-set=-all,+net_bind_service \
    /bin/sh -c "set -a; [ ! -r '$environment_file' ] || . '$environment_file'; exec $exec_start" &
  service=$!
  trap 'kill $service 2>/dev/null; wait $service 2>/dev/null' EXIT
  health=$(python3 "$ready" http://127.0.0.1:80 --pid $service --seconds 180) ||
    fail "the service did not become ready"
  echo "/health: $health"
  case $health in
    *'"codes": ["en_es"]'*) ;;
    *) fail "/health does not show the pairs of the edited options file (--pairs en_es)" ;;
  esac
  page=$(curl -sS --max-time 30 "http://127.0.0.1:80$request") || fail "GET $request failed"
  case $page in
    *"$translation"*) echo "GET $request: Tengo un perro negro" ;;
    *) fail "GET $request did not answer the translation: $page" ;;
  esac
  kill -TERM $service
  wait $service || fail "the service did not stop cleanly on SIGTERM (status $?)"
  trap - EXIT
  exit 0
fi

[ $# -eq 2 ] || { echo "usage: $0 DEB SERVICE_READY_PY"; exit 2; }
deb=$(realpath "$1")
ready=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
[ "$(id -u)" -eq 0 ] || { echo "needs root for chroot, mounts and network namespaces"; exit 77; }
# In a mount namespace of its own, the test's mounts go when it ends, even when it is killed.
if [ -z "${DEB_INSTALL_TEST_OWN_MOUNTS:-}" ]; then
  DEB_INSTALL_TEST_OWN_MOUNTS=1 exec unshare -m --propagation private "$0" "$@"
fi
[ -f "$deb" ] || fail "no package at $deb: cmake --build --preset linux --target package"
for tool in debootstrap unshare ip curl chroot dpkg-deb python3; do
  command -v $tool >/dev/null || fail "$tool is not installed (scripts/install-deps.sh)"
done

base=$("$here/debian_root.sh") || fail "could not make the Debian 12 root"
say "Debian 12 root: $base"
archives=$(dirname "$base")/deb-archives
work=$(mktemp -d)
root=$work/root
cleanup() {
  umount "$root/proc" 2>/dev/null
  # Downloads are kept for the next run; the root is not.
  mkdir -p "$archives"
  cp -n "$root"/var/cache/apt/archives/*.deb "$archives"/ 2>/dev/null
  umount "$work" 2>/dev/null
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT
# In memory: copying the root and throwing it away cost seconds on a disk others are using.
mount -t tmpfs -o size=4g,mode=0755 mirelskan-deb-test "$work" || fail "cannot mount a tmpfs"
cp -a "$base" "$root" || fail "cannot copy $base"
cp --dereference /etc/resolv.conf "$root/etc/resolv.conf"
cp -n "$archives"/*.deb "$root/var/cache/apt/archives/" 2>/dev/null
# The copy is thrown away after the run: dpkg need not wait for each file to reach the disk.
echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/test-unsafe-io"
say "copied the root"
mount -t proc proc "$root/proc" || fail "cannot mount /proc in the root"

in_root() {
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C \
    DEBIAN_FRONTEND=noninteractive "$@"
}

# apt-get with its output kept, shown only when it fails.
apt_in_root() {
  local log=$work/apt.log
  in_root apt-get -q -y "$@" >"$log" 2>&1 || { tail -n 30 "$log"; fail "apt-get $*"; }
}

cp "$deb" "$root/tmp/"
package=/tmp/$(basename "$deb")
apt_in_root install "$package"
say "installed $(in_root dpkg-query -W -f='${Package} ${Version}' $name)"

# What the package put in place, and the enable link its postinst made without systemd.
for path in /usr/bin/translation-service /lib/systemd/system/$unit $options \
  /usr/share/man/man8/translation-service.8.gz /usr/share/doc/$name/copyright \
  /usr/share/doc/$name/changelog.Debian.gz \
  /etc/systemd/system/multi-user.target.wants/$unit; do
  # -L too: the enable link points into the root, not into this machine.
  [ -e "$root$path" ] || [ -L "$root$path" ] || fail "$path is missing after the installation"
done
in_root dpkg-query -W -f='${Conffiles}' $name | grep -q " $options " ||
  fail "$options is not a conffile"

# The unit's own lines say how the service starts.
unit_file=$root/lib/systemd/system/$unit
environment_file=$(sed -n 's/^EnvironmentFile=-\{0,1\}//p' "$unit_file")
exec_start=$(sed -n 's/^ExecStart=//p' "$unit_file")
[ "$environment_file" = "$options" ] || fail "the unit reads '$environment_file', not $options"
sed -i "s|^TRANSLATION_SERVICE_OPTIONS=.*|$edited|" "$root$options"
say "starting the service as its unit does, in a private network namespace"
unshare -n "$0" --in-netns "$root" "$ready" "$environment_file" "$exec_start" ||
  fail "the service as the unit starts it"

# An upgrade keeps the edited conffile: the same package with a higher version.
upgrade=$work/upgrade
dpkg-deb -R "$deb" "$upgrade" || fail "cannot unpack $deb"
version=$(sed -n 's/^Version: //p' "$upgrade/DEBIAN/control")
sed -i "s/^Version: .*/Version: $version+upgrade1/" "$upgrade/DEBIAN/control"
dpkg-deb -b "$upgrade" "$root/tmp/upgrade.deb" >/dev/null || fail "cannot build the upgrade"
apt_in_root install /tmp/upgrade.deb
[ "$(in_root dpkg-query -W -f='${Version}' $name)" = "$version+upgrade1" ] ||
  fail "the upgrade was not installed"
grep -qxF "$edited" "$root$options" || fail "the upgrade lost the edit of $options"
[ -z "$(find "$root/etc/default" -name "$name.dpkg-*")" ] || fail "dpkg left a .dpkg-* copy"
say "upgraded to $version+upgrade1; $options kept as edited"

# A removal takes the program and the unit, keeps the options and the enable state, and masks
# the unit; a purge takes the rest.
apt_in_root remove $name
for path in /usr/bin/translation-service /lib/systemd/system/$unit; do
  [ ! -e "$root$path" ] || fail "$path is still there after the removal"
done
[ -e "$root$options" ] || fail "the removal took $options (a conffile stays until purge)"
[ "$(readlink "$root/etc/systemd/system/$unit")" = /dev/null ] ||
  fail "the removal did not mask $unit"
apt_in_root purge $name
rm -f "$root$package" "$root/tmp/upgrade.deb"
# Debian's own records of what happened (logs, dpkg's and apt's state) may name the package.
left=$(cd "$root" && find . -xdev \( -path ./proc -o -path ./var/log -o -path ./var/lib/dpkg \
  -o -path ./var/lib/apt -o -path ./var/cache/apt \) -prune -o \
  \( -iname "*mirelskan*" -o -name "translation-service*" \) -print)
[ -z "$left" ] || fail "left after the purge: $left"
in_root dpkg-query -W -f='${Status}' $name 2>/dev/null | grep -q "installed" &&
  fail "dpkg still lists $name as installed"
mentions=$(grep -rl mirelskan "$root/etc" "$root/var/lib/systemd" 2>/dev/null)
[ -z "$mentions" ] || fail "files that still name the package after the purge: $mentions"
say "removed and purged: nothing of $name left"
