#!/usr/bin/env bash
# Builds the plug-in, the host stand-in and the translation service, starts the service on
# localhost:80 in a private network namespace, loads the shipped 32-bit DLL in the 32-bit
# plugin-host under Wine's 32-bit loader, runs one /xtrn command and shows its result. On a
# machine that cannot execute 32-bit code it says so and runs the 64-bit build instead.
#   scripts/demo.sh                          # /xtrn fr_en Un petit test de traduction
#   scripts/demo.sh /xtrn en_es Good morning, my friends
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${MIRELSKAN_IN_NETNS:-}" ]; then
  ./scripts/install-deps.sh
  export WINEARCH=win32
  python3 tests/wine/runnable.py /usr/lib/wine/wine || {
    [ $? -eq 77 ] || exit 1
    echo "running the 64-bit build instead, which is not the DLL users get"
    WINEARCH=win64
  }
  for preset in linux "$WINEARCH"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >/dev/null
  done
  exec tests/wine/in-netns.sh "$0" "$@"
fi

command="${*:-/xtrn fr_en Un petit test de traduction}"
build="build/$WINEARCH"
# Only this build's Wine server, and one started inside the namespace, whose sockets it opens.
export WINEPREFIX="$PWD/$build/wineprefix"
/usr/lib/wine/wineserver -k 2>/dev/null || true
/usr/lib/wine/wineserver -w 2>/dev/null || true

service="" service_log="" host_log=""
stop() {
  if [ -n "$service" ]; then kill $service 2>/dev/null; wait $service 2>/dev/null || true; fi
  rm -f "$service_log" "$host_log"
}
trap stop EXIT
service_log=$(mktemp)
host_log=$(mktemp)
build/linux/translation-service --listen localhost:80 2>"$service_log" &
service=$!

for _ in $(seq 1 300); do
  if (exec 3<>/dev/tcp/127.0.0.1/80) 2>/dev/null; then break; fi
  kill -0 $service 2>/dev/null || { echo "the translation service did not start:"; cat "$service_log"; exit 1; }
  sleep 0.1
done

echo "running $build/Mirelskan Plugin.dll ($WINEARCH) in $build/plugin-host.exe," \
  "Wine prefix $WINEPREFIX"
echo "$command"
./cmake/wine-run.sh "$build/plugin-host.exe" "$build/Mirelskan Plugin.dll" "$command" |
  grep -v '^published' | tee "$host_log"
/usr/lib/wine/wineserver -w

# The result buffer as the host would show it.
python3 - "$host_log" <<'PY'
import re, sys
for line in open(sys.argv[1], "rb"):
    found = re.match(rb'result \d+ "(.*)"$', line.rstrip(b"\n"))
    if found:
        text = re.sub(rb'\\(x[0-9a-fA-F]{2}|.)', lambda m: {b"n": b"\n", b"r": b"\r", b"t": b"\t"}.get(
            m.group(1), bytes([int(m.group(1)[1:], 16)]) if m.group(1)[:1] == b"x" else m.group(1)), found.group(1))
        print("\ntranslation:")
        sys.stdout.write(text.decode("cp1252", "replace"))
PY
