#!/usr/bin/env bash
# Starts the program against the simulated instrument. Without a display it
# says so, runs the program offscreen for a few seconds, saves a screenshot of
# the main window and prints where it and the log file are.
set -euo pipefail
program="$1"
shift || true
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program" --simulate "$@"
fi
shot="$top/screenshots/main_window.png"
mkdir -p "$(dirname "$shot")"
echo "No display found: running the program offscreen for a few seconds instead."
# The program prints where the screenshot and the application log are.
status=0
QT_QPA_PLATFORM=offscreen "$program" --simulate --screenshot "$shot" --quit-after 8000 "$@" || status=$?
if [ "$status" -ne 0 ]; then
  echo "The program ended with status $status." >&2
fi
exit "$status"
