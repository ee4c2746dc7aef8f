#!/bin/sh
# The service benchmark, one command: builds the service, the load helper, the plug-in, its host
# and the minimal WinINet client, installs Debian's apertium-apy (the peer service it is
# measured against; the product does not need it) and runs bench/service_bench.py inside a
# private network namespace. Arguments go to service_bench.py (--rounds N --seconds S
# --wine-runs N).
set -eu
cd "$(dirname "$0")/.."
if [ -z "${MIRELSKAN_IN_NETNS:-}" ]; then
  ./scripts/install-deps.sh
  if ! dpkg-query -W -f='${Status}' apertium-apy 2>/dev/null | grep -q "ok installed"; then
    sudo_=""
    [ "$(id -u)" -eq 0 ] || sudo_=sudo
    $sudo_ apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y -q apertium-apy
  fi
  cmake --preset linux >/dev/null
  cmake --build --preset linux --target translation-service service_bench
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 --target plugin_host mirelskan_plugin wininet_client
  exec tests/wine/in-netns.sh "$0" "$@"
fi
exec python3 bench/service_bench.py \
  --service build/linux/translation-service --load build/linux/service_bench \
  --wine-run cmake/wine-run.sh --host build/win64/plugin-host.exe \
  --dll "build/win64/Mirelskan Plugin.dll" --client build/win64/wininet-client.exe "$@"
