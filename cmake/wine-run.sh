#!/bin/sh
# Runs a Windows program under wine64 in the build's own prefix, with no display, no Mono or
# Gecko prompts and no debug chatter. The prefix is created on first use.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$here/build/win64/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=/usr/lib/wine/wine64

if [ ! -f "$WINEPREFIX/.mirelskan-ready" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
  touch "$WINEPREFIX/.mirelskan-ready"
fi

exec "$wine" "$@"
