#!/usr/bin/env bash
# What the demo and the chat prompt share: installs what is missing, builds the plug-in, its host
# and the translation service, starts the service on localhost:80 in a private network namespace
# and runs scripts/plugin_console.py there, with the shipped 32-bit DLL in the 32-bit plugin-host
# under Wine's 32-bit loader. Where this machine cannot run that loader, it runs it in the emulated
# guest (scripts/guest/) with --vm, or with --vm-when-needed; otherwise the 64-bit build here, and
# says so. Its other arguments go to the console.
set -euo pipefail
cd "$(dirname "$0")/.."

# Builds what the console runs, not the presets' tests: the service, and the DLL with its host
# in the Windows preset named.
build_for_console() {
  cmake --preset linux >/dev/null
  cmake --build --preset linux --target translation-service >/dev/null
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" --target mirelskan_plugin plugin_host >/dev/null
}

if [ -z "${MIRELSKAN_IN_NETNS:-}" ] && [ -z "${MIRELSKAN_IN_GUEST:-}" ]; then
  vm=""
  case "${1:-}" in --vm | --vm-when-needed) vm=$1; shift ;; esac
  ./scripts/install-deps.sh >&2
  export WINEARCH=win32
  why=$(scripts/win32-tests.sh --refusal)
  if [ -n "$why" ] || [ "$vm" = --vm ]; then
    if [ -n "$vm" ]; then
      echo "running the 32-bit DLL in the emulated guest: ${why:-asked for with --vm}" >&2
      # Its image, the first time minutes of unpacking, builds beside the compilers; its own
      # process group, stopped whole if they fail.
      setsid scripts/guest/run-in-guest.sh --prepare >/dev/null &
      image=$!
      trap 'kill -- "-$image" 2>/dev/null' EXIT
      build_for_console win32
      wait "$image"
      trap - EXIT
      # The chat's piped commands go with it (--vm); the demo's come as arguments.
      stdin=""
      [ "$vm" != --vm ] || [ -t 0 ] || stdin=--stdin
      exec scripts/guest/run-in-guest.sh --program build/linux/translation-service $stdin -- \
        env MIRELSKAN_IN_GUEST=1 WINEARCH=win32 scripts/run-console.sh "$@"
    fi
    echo "running the 64-bit DLL, not the 32-bit one users get: $why (--vm runs it in an" \
      "emulated guest)" >&2
    WINEARCH=win64
  fi
  build_for_console "$WINEARCH"
fi
[ -n "${MIRELSKAN_IN_NETNS:-}" ] || exec tests/wine/in-netns.sh "$0" "$@"

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
# Emulated, the pipelines take minutes rather than seconds to load their dictionaries.
build/linux/translation-service --listen localhost:80 ${MIRELSKAN_IN_GUEST:+--start-seconds 300} \
  2>"$service_log" &
service=$!
python3 scripts/service_ready.py http://localhost:80 --pid $service \
  ${MIRELSKAN_IN_GUEST:+--seconds 400} >/dev/null || {
  echo "the translation service did not start:" >&2; cat "$service_log" >&2; exit 1; }

echo "running $build/Mirelskan Plugin.dll ($WINEARCH) in $build/plugin-host.exe" >&2
python3 scripts/plugin_console.py --wine-run ./cmake/wine-run.sh --host "$build/plugin-host.exe" \
  --dll "$build/Mirelskan Plugin.dll" --service-log "$service_log" \
  --service http://localhost:80 "$@"
