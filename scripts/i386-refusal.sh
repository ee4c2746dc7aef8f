#!/usr/bin/env bash
# Exits 0 when this kernel runs i386 code; otherwise prints why not, in one line, and exits 1.
# The install, the Wine tests and the demo all give this line when they leave 32-bit Wine out.
# MIRELSKAN_I386_PROBE names a program to run in place of the probe (for the install's tests).

# A tiny i386 program that only exits 0: whether it runs is whether this kernel runs i386 code.
# Bash, unlike sh, never retries a binary it cannot execute as a script.
write_probe() {
  printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0'
  printf '\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\135\0\0\0\135\0\0\0'
  printf '\5\0\0\0\0\20\0\0\270\1\0\0\0\61\333\315\200'
}

probe="${MIRELSKAN_I386_PROBE:-}" own=""
if [ -z "$probe" ]; then
  own=$(mktemp) && write_probe >"$own" && chmod +x "$own" && probe=$own
fi
output=$("$probe" 2>&1)
status=$?
[ -z "$own" ] || rm -f "$own"
[ $status -eq 0 ] && exit 0
output=${output##*: }
echo "this kernel does not run i386 code (${output:-its test program failed})"
exit 1
