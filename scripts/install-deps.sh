#!/bin/sh
# Installs the Debian packages the build, the tests and the demo need; quick when all are there.
set -e
packages="cmake ninja-build g++ pkgconf perl googletest libgtest-dev libgmock-dev python3
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils wine64
  libmicrohttpd-dev apertium apertium-eng-spa apertium-fr-es apertium-spa-ita cg3 apertium-es-pt
  iproute2 util-linux chromium systemd
  clang libclang-rt-14-dev"
# Wine's 32-bit loader, which runs the shipped DLL; its recommends would add about 700 MB of
# i386 libraries (sound, graphics, printing) that the tests never load.
lean_packages="wine32:i386"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
missing_lean=""
for p in $lean_packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" ||
    missing_lean="$missing_lean $p"
done
[ -z "$missing$missing_lean" ] && exit 0
echo "installing:$missing$missing_lean"
sudo_=""
[ "$(id -u)" -eq 0 ] || sudo_=sudo
if [ -n "$missing_lean" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo_ dpkg --add-architecture i386
fi
$sudo_ apt-get update -q
[ -z "$missing" ] || DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y -q $missing
[ -z "$missing_lean" ] ||
  DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y -q --no-install-recommends $missing_lean
