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
  grep -v '^published' | tee /tmp/mirelskan-host.log
/usr/lib/wine/wineserver -w

# The result buffer as the host would show it.
python3 - /tmp/mirelskan-host.log <<'PY'
import re, sys
for line in open(sys.argv[1], "rb"):
    found = re.match(rb'result \d+ "(.*)"$', line.rstrip(b"\n"))
    if found:
        text = re.sub(rb'\\(x[0-9a-fA-F]{2}|.)', lambda m: {b"n": b"\n", b"r": b"\r", b"t": b"\t"}.get(
            m.group(1), bytes([int(m.group(1)[1:], 16)]) if m.group(1)[:1] == b"x" else m.group(1)), found.group(1))
        print("\ntranslation:")
        sys.stdout.write(text.decode("cp1252", "replace"))
PY
