#!/bin/sh
# The whole program with --driver ftdi, finding the libftdi1 stand-in by its
# usual name on the library path: the log says which library was loaded and
# from where, the instrument opens and the window shows a swept trace.
# Usage: sweep_through_libftdi1.sh PROGRAM STAND_IN_DIR
set -eu
program="$1"
lib_dir="$2"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*"
  cat "$tmp/out" 2>/dev/null || true
  cat "$log" 2>/dev/null || true
  exit 1
}
mkdir "$tmp/start" "$tmp/home"
log="$tmp/home/Documents/Ostra data/ostra_log.txt"
cd "$tmp/start"
env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$tmp/home" QT_QPA_PLATFORM=offscreen \
  LD_LIBRARY_PATH="$lib_dir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
  "$program" --driver ftdi --screenshot "$tmp/shot.png" --quit-after 5000 >"$tmp/out" 2>&1 ||
  fail "the program failed"
grep -q "USB library libftdi1.so.2 loaded from $lib_dir/libftdi1.so.2" "$log" ||
  fail "the log does not say which library was loaded from where"
grep -q "OSTRA VECTOR NETWORK ANALYSER \[OS000417\] is open" "$log" || fail "not opened"
grep -q "USB Communication error" "$log" && fail "a USB error was logged"
# The trace is drawn in pure red: a sweep across the chart is hundreds of pixels.
red="$(convert "$tmp/shot.png" -fill black +opaque "rgb(255,0,0)" -fill white \
  -opaque "rgb(255,0,0)" -format "%[fx:round(mean*w*h)]" info:)"
[ "$red" -ge 400 ] || fail "the window shows no trace ($red trace pixels)"
echo "PASS: swept through $lib_dir/libftdi1.so.2 ($red trace pixels)"
