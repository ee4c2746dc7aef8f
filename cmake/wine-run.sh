#!/bin/sh
# Runs a Windows program under Wine in the build's own prefix, with no display, no Mono or
# Gecko prompts and no debug chatter. The prefix is created on first use.
#   WINEARCH=win32: Wine's 32-bit loader in a WINEARCH=win32 prefix under build/win32/
#   WINEARCH=win64 (the default): wine64 in a prefix under build/win64/
# WINELOADER and WINEPREFIX, when set, name the loader and the prefix instead.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEARCH="${WINEARCH:-win64}"
case "$WINEARCH" in
  win32) loader=/usr/lib/wine/wine ;;
  win64) loader=/usr/lib/wine/wine64 ;;
  *) echo "wine-run.sh: WINEARCH must be win32 or win64, not $WINEARCH" >&2; exit 2 ;;
esac
export WINELOADER="${WINELOADER:-$loader}"
export WINEPREFIX="${WINEPREFIX:-$here/build/$WINEARCH/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# A program that crashes must end at once with its backtrace on stderr: Wine's crash dialog would
# wait for a click that never comes.
# MIRELSKAN_WINEPREFIX_TEMPLATE names a prefix made so by this script, copied rather than made
# again: the emulated guest has one, where wineboot takes minutes.
template="${MIRELSKAN_WINEPREFIX_TEMPLATE:-}"
if [ ! -f "$WINEPREFIX/.mirelskan-ready-2" ] && [ "$WINEARCH" = win32 ] &&
  [ -f "$template/.mirelskan-ready-2" ]; then
  mkdir -p "$WINEPREFIX"
  cp -a "$template/." "$WINEPREFIX/"
fi
if [ ! -f "$WINEPREFIX/.mirelskan-ready-2" ]; then
  mkdir -p "$WINEPREFIX"
  # Its status is no verdict: emulated, it has said 53 for a prefix that then worked. The
  # registry edits below fail on a prefix that does not.
  "$WINELOADER" wineboot --init >/dev/null 2>&1 || echo "wine-run.sh: wineboot --init said $?" >&2
  "$WINELOADER" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  "$WINELOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
  touch "$WINEPREFIX/.mirelskan-ready-2"
fi

exec "$WINELOADER" "$@"
