#!/bin/sh
# Installs the Debian packages the build, the tests and the demo need; quick when all are there.
set -e
packages="cmake ninja-build g++ pkgconf perl googletest libgtest-dev libgmock-dev python3
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils wine64
  libcpp-httplib-dev apertium apertium-eng-spa apertium-fr-es apertium-spa-ita cg3 apertium-es-pt
  iproute2 util-linux clang libclang-rt-14-dev"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
sudo_=""
[ "$(id -u)" -eq 0 ] || sudo_=sudo
$sudo_ apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y -q $missing
