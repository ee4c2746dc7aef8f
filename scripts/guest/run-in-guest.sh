#!/usr/bin/env bash
# Runs a command inside the emulated guest (build-image.sh), in the checkout at its own path,
# and exits with the command's status; its output streams here as it comes.
#
#   run-in-guest.sh [--seconds N] [--program PATH]... [--stdin] -- COMMAND...
#   run-in-guest.sh --accelerator    prints how the guest would run here: kvm or tcg
#   run-in-guest.sh --prepare [--program PATH]...
#                                    builds the image or finds it built, checks it and prints
#                                    its folder; boots nothing
#
# --seconds bounds the whole guest run, boot included (default 1500): a guest still running then
# is killed with a message. --program names a native program the command starts, whose libraries
# the image must hold. The guest has no network device; the checkout (this one) is shared
# read-only, and the guest is stopped whatever happens: its end, the time limit, ^C. --stdin
# hands our standard input to the command.
# MIRELSKAN_GUEST_ACCEL=kvm uses KVM instead of software emulation.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
checkout=$(cd "$here/../.." && pwd)
# TCG, whose CPU model must leave SMAP out: with it, QEMU 7.2's TCG faults the guest kernel on
# the return from a 32-bit system call and every 32-bit process dies. KVM only when asked for:
# nested under another hypervisor, as on the machines here, its guest hung before the kernel.
accelerator() {
  if [ "${MIRELSKAN_GUEST_ACCEL:-}" = kvm ]; then
    echo "-accel kvm -cpu host,-arch-capabilities"
  else
    echo "-accel tcg,thread=multi -cpu max,smap=off"
  fi
}

seconds=1500
programs=()
image=""
snapshot=on
pass_stdin=""
prepare=""
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --program) programs+=("$2"); shift 2 ;;
    --stdin) pass_stdin=yes; shift ;;
    # For build-image.sh: boot the image in DIR and keep what the command writes to its disk.
    --image) image=$2; shift 2 ;;
    --writable) snapshot=off; shift ;;
    --accelerator) accelerator | cut -d' ' -f2 | cut -d, -f1; exit 0 ;;
    --prepare) prepare=yes; shift ;;
    --) shift; break ;;
    *) echo "usage: run-in-guest.sh [--seconds N] [--program PATH]... [--stdin] -- COMMAND..." >&2
      exit 2 ;;
  esac
done
[ $# -gt 0 ] || [ -n "$prepare" ] || { echo "run-in-guest.sh: no command" >&2; exit 2; }

say() { echo "guest: $*" >&2; }

# The image's folder, as build-image.sh names it on its standard output: one line, a folder that
# holds a whole image. Anything else is the builder's fault, said so rather than booted.
built_image() {
  local said file
  said=$("$here/build-image.sh" "${programs[@]}") || return 1
  if [[ "$said" == /* && "$said" != *$'\n'* && -f "$said/ready" ]]; then
    for file in vmlinuz initrd.img root.img; do
      [ -s "$said/$file" ] || { say "the image in $said has no $file; delete that folder to" \
        "build it anew"; return 1; }
    done
    echo "$said"
    return 0
  fi
  say "build-image.sh did not name a folder holding a ready image on its standard output;" \
    "it printed:"
  printf '%s\n' "$said" | head -n 5 | sed 's/^/  /' >&2
  return 1
}

[ -n "$image" ] || image=$(built_image) || exit 1
if [ -n "$prepare" ]; then
  echo "$image"
  exit 0
fi
results=$(mktemp -d)
qemu_pid=""
stop_guest() {
  [ -n "$qemu_pid" ] && kill -KILL "$qemu_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$results"
}
trap stop_guest EXIT
trap 'say "interrupted; stopping the guest"; exit 130' INT TERM

# With --stdin, what comes on our standard input (read to its end first) becomes the command's;
# otherwise it reads nothing, so that a caller's input left open cannot hold the guest up.
if [ -n "$pass_stdin" ]; then
  cat >"$results/stdin"
  echo "exec </mnt/results/stdin" >"$results/command.sh"
else
  echo "exec </dev/null" >"$results/command.sh"
fi
printf '%q ' "$@" >>"$results/command.sh"
echo >>"$results/command.sh"
cp "$here/guest-init.sh" "$results/init.sh"
: >"$results/output.log"

# shellcheck disable=SC2046 # the accelerator's words
qemu-system-x86_64 $(accelerator) -smp 2 -m 6144 -nodefaults -nographic -no-reboot \
  -serial "file:$results/console.log" -monitor none \
  -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
  -append "root=/dev/vda rw console=ttyS0 panic=-1 quiet init=/sbin/mirelskan-guest-init mirelskan.src=$checkout" \
  -drive "file=$image/root.img,if=virtio,format=raw,snapshot=$snapshot" \
  -virtfs "local,path=$checkout,mount_tag=src,security_model=none,readonly=on" \
  -virtfs "local,path=$results,mount_tag=results,security_model=none" &
qemu_pid=$!
say "started ($(accelerator | cut -d' ' -f2 | cut -d, -f1)), up to $seconds s"

# The output as it comes, until the guest ends or its time is up.
tail -n +1 -f --pid="$qemu_pid" "$results/output.log" &
tail_pid=$!
deadline=$((SECONDS + seconds))
while kill -0 "$qemu_pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 1; done
if kill -0 "$qemu_pid" 2>/dev/null; then
  kill -KILL "$qemu_pid"
  wait "$qemu_pid" 2>/dev/null
  wait "$tail_pid" 2>/dev/null
  say "the guest did not finish within $seconds s: killed it. Its console's end:"
  tail -n 20 "$results/console.log" >&2
  exit 124
fi
wait "$qemu_pid" 2>/dev/null
wait "$tail_pid" 2>/dev/null
qemu_pid=""
if [ ! -s "$results/status" ]; then
  say "the guest stopped before the command ended. Its console's end:"
  tail -n 20 "$results/console.log" >&2
  exit 1
fi
say "done in $SECONDS s"
exit "$(cat "$results/status")"
