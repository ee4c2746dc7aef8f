#!/bin/sh
# The service benchmark, one command: builds the service, the load helper, the 32-bit plug-in,
# its host and the minimal WinINet client and runs bench/service_bench.py inside a
# private network namespace. Arguments go to service_bench.py (--rounds N --seconds S
# --wine-runs N).
set -eu
cd "$(dirname "$0")/.."
if [ -z "${MIRELSKAN_IN_NETNS:-}" ]; then
  ./scripts/install-deps.sh
  # Standard output is the table's alone.
  cmake --preset linux >/dev/null
  cmake --build --preset linux -j2 --target translation-service service_bench >&2
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 -j2 --target plugin_host mirelskan_plugin wininet_client >&2
  exec tests/wine/in-netns.sh "$0" "$@"
fi
# The shipped 32-bit DLL, in the 32-bit host, under Wine's 32-bit loader.
export WINEARCH=win32
exec python3 bench/service_bench.py \
  --service build/linux/translation-service --load build/linux/service_bench \
  --wine-run cmake/wine-run.sh --host build/win32/plugin-host.exe \
  --dll "build/win32/Mirelskan Plugin.dll" --client build/win32/wininet-client.exe "$@"
