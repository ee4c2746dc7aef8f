#!/bin/sh
# What the emulated guest runs once the image's first process has mounted the results share at
# /mnt/results: mounts the rest of what the host shares, runs the command the host left there,
# writes its output and exit status back, and powers the guest off. It comes with each run, so a
# change here needs no new image.
#   mirelskan.src=PATH on the kernel's command line: where the checkout is on the host; it is
#   mounted at the same path so the build's absolute paths hold, read-only beneath a layer in
#   memory that takes what the suites write (their Wine prefix, ctest's logs).
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
# The Wine prefix made when the image was built (build-image.sh); cmake/wine-run.sh copies it.
export MIRELSKAN_WINEPREFIX_TEMPLATE=/var/lib/mirelskan/wineprefix-win32

power_off() {
  sync
  echo o >/proc/sysrq-trigger
  sleep 60
}

# Booted with systemd as the first process (run-in-guest.sh --systemd), this runs as one of its
# services: the system's own file systems are systemd's to mount.
if [ "$(cat /proc/1/comm)" != systemd ]; then
  mountpoint -q /sys || mount -t sysfs sys /sys
  mountpoint -q /dev || mount -t devtmpfs dev /dev
  mkdir -p /dev/pts /dev/shm
  mount -t devpts devpts /dev/pts
  mount -t tmpfs tmpfs /dev/shm
  mount -t tmpfs tmpfs /tmp
  mount -t tmpfs tmpfs /run
fi
modprobe overlay

src=$(sed -n 's/.*mirelskan\.src=\([^ ]*\).*/\1/p' /proc/cmdline)
mkdir -p /mnt/src /mnt/layer "$src"
# Uncached, so that the host reads the output as it is written.
exec >/mnt/results/output.log 2>&1
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,ro,cache=loose src /mnt/src &&
  mount -t tmpfs -o size=2g layer /mnt/layer &&
  mkdir /mnt/layer/upper /mnt/layer/work &&
  mount -t overlay overlay \
    -o "lowerdir=/mnt/src,upperdir=/mnt/layer/upper,workdir=/mnt/layer/work" "$src" || {
  echo "guest: the checkout did not mount at $src"
  echo 1 >/mnt/results/status
  power_off
}
ip link set lo up
hostname mirelskan-guest

# bash: the host writes the command with its own quoting (printf %q).
cd "$src" && bash /mnt/results/command.sh
echo $? >/mnt/results/status
power_off
