#!/usr/bin/env bash
# Builds the plug-in, the host stand-in and the translation service, starts the service on
# localhost:80 in a private network namespace, loads the 64-bit DLL in plugin-host under Wine,
# runs one /xtrn command and shows its result.
#   scripts/demo.sh                          # /xtrn fr_en Un petit test de traduction
#   scripts/demo.sh /xtrn en_es Good morning, my friends
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${MIRELSKAN_IN_NETNS:-}" ]; then
  ./scripts/install-deps.sh
  for preset in linux win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >/dev/null
  done
  exec tests/wine/in-netns.sh "$0" "$@"
fi

command="${*:-/xtrn fr_en Un petit test de traduction}"
/usr/lib/wine/wineserver -k 2>/dev/null || true

build/linux/translation-service --listen localhost:80 2>/tmp/mirelskan-service.log &
service=$!
trap 'kill $service 2>/dev/null; wait $service 2>/dev/null || true' EXIT

for _ in $(seq 1 300); do
  if (exec 3<>/dev/tcp/127.0.0.1/80) 2>/dev/null; then break; fi
  kill -0 $service 2>/dev/null || { echo "the translation service did not start:"; cat /tmp/mirelskan-service.log; exit 1; }
  sleep 0.1
done

echo "$command"
./cmake/wine-run.sh build/win64/plugin-host.exe "build/win64/Mirelskan Plugin.dll" "$command" |
  grep -v '^published'
/usr/lib/wine/wineserver -w
