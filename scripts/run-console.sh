#!/usr/bin/env bash
# What the demo and the chat prompt share: installs what is missing, builds the plug-in, its host
# and the translation service, starts the service on localhost:80 in a private network namespace
# and runs scripts/plugin_console.py there, with the shipped 32-bit DLL in the 32-bit plugin-host
# under Wine's 32-bit loader (the 64-bit build where this machine cannot execute 32-bit code, and
# it says so). Its arguments go to the console.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${MIRELSKAN_IN_NETNS:-}" ]; then
  ./scripts/install-deps.sh >&2
  export WINEARCH=win32
  runnable=0
  why=$(python3 tests/wine/runnable.py /usr/lib/wine/wine) || runnable=$?
  if [ $runnable -eq 77 ]; then
    echo "running the 64-bit DLL, not the 32-bit one users get: ${why#skipped: }" >&2
    WINEARCH=win64
  elif [ $runnable -ne 0 ]; then
    echo "$why" >&2
    exit 1
  fi
  for preset in linux "$WINEARCH"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >/dev/null
  done
  exec tests/wine/in-netns.sh "$0" "$@"
fi

build="build/$WINEARCH"
# Only this build's Wine server, and one started inside the namespace, whose sockets it opens.
export WINEPREFIX="$PWD/$build/wineprefix"
/usr/lib/wine/wineserver -k 2>/dev/null || true
/usr/lib/wine/wineserver -w 2>/dev/null || true

service="" service_log=""
stop() {
  if [ -n "$service" ]; then kill $service 2>/dev/null; wait $service 2>/dev/null || true; fi
  /usr/lib/wine/wineserver -w 2>/dev/null || true
  rm -f "$service_log"
}
trap stop EXIT
service_log=$(mktemp)
build/linux/translation-service --listen localhost:80 2>"$service_log" &
service=$!
python3 scripts/service_ready.py http://localhost:80 --pid $service >/dev/null || {
  echo "the translation service did not start:" >&2; cat "$service_log" >&2; exit 1; }

echo "running $build/Mirelskan Plugin.dll ($WINEARCH) in $build/plugin-host.exe" >&2
python3 scripts/plugin_console.py --wine-run ./cmake/wine-run.sh --host "$build/plugin-host.exe" \
  --dll "$build/Mirelskan Plugin.dll" --service-log "$service_log" \
  --service http://localhost:80 "$@"
