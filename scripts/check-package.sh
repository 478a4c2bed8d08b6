#!/usr/bin/env bash
# Checks the Debian package that `make package` built in BUILD_DIR: lintian
# finds no error, the desktop entry and the AppStream metainfo validate, and
# the program unpacked into a scratch root starts from there against the
# simulated instrument in a folder without cal_data, works in the per-user
# folder filled from the packaged factory files, and its screenshot shows a
# trace.
# Usage: check-package.sh BUILD_DIR
set -euo pipefail
build_dir="$(cd "$1" && pwd)"
deb="$(ls -t "$build_dir"/ostra_*.deb | head -1)"
app_id=com.marlune.Ostra
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
echo "== $deb"

lintian --fail-on error --tag-display-limit 0 "$deb" 2>/dev/null || fail "lintian reports errors"

root="$tmp/root"
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$app_id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
  fail "AppStream metainfo"
for f in usr/bin/ostra lib/udev/rules.d/70-ostra.rules usr/share/doc/ostra/README.md \
  usr/share/ostra/cal_data/config.def usr/share/icons/hicolor/scalable/apps/$app_id.svg \
  usr/share/icons/hicolor/{48x48,128x128,256x256}/apps/$app_id.png; do
  [ -f "$root/$f" ] || fail "$f is not in the package"
done
version="$(dpkg-deb -f "$deb" Version)"
grep -q "release version=\"$version\"" "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
  fail "the metainfo's release is not the package version $version"
dpkg-deb -f "$deb" Depends | grep -q qt6-qpa-plugins || fail "no dependency on qt6-qpa-plugins"

mkdir "$tmp/start" "$tmp/home"
cd "$tmp/start"
env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$tmp/home" QT_QPA_PLATFORM=offscreen \
  "$root/usr/bin/ostra" --simulate --screenshot "$tmp/shot.png" >"$tmp/out" 2>&1 ||
  { cat "$tmp/out"; fail "the unpacked program failed"; }
[ -z "$(ls -A "$tmp/start")" ] || fail "files written into the start folder"
grep -q "factory files copied from $root/usr/share/ostra/cal_data" "$tmp/out" ||
  { cat "$tmp/out"; fail "the packaged factory files were not used"; }
[ -f "$tmp/home/.local/share/Ostra/cal_data/config.dat" ] || fail "no per-user settings"
# The trace is drawn in pure red; a sweep across the chart is hundreds of pixels.
red="$(convert "$tmp/shot.png" -fill black +opaque "rgb(255,0,0)" -fill white \
  -opaque "rgb(255,0,0)" -format "%[fx:round(mean*w*h)]" info:)"
[ "$red" -ge 400 ] || fail "the screenshot shows no trace ($red trace pixels)"
echo "PASS: $(basename "$deb") (version $version): lintian, desktop entry, metainfo," \
  "started unpacked with a trace of $red pixels"
