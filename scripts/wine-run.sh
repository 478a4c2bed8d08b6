#!/bin/sh
# Runs a Windows console program under wine, headless: a wine prefix of its
# own below the build tree (made on the first run), no debug output.
# Usage: wine-run.sh PROGRAM.exe [ARGS...]
set -eu
: "${WINEPREFIX:=${OSTRA_WINEPREFIX:-${TMPDIR:-/tmp}/ostra-wine-$(id -u)}}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # Tests run two at a time: one of them makes the prefix.
  flock "$WINEPREFIX/.made" sh -c \
    '[ -f "$WINEPREFIX/system.reg" ] || { wineboot --init; wineserver -w; } >/dev/null 2>&1 || true'
fi
exec wine "$@"
