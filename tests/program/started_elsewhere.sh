#!/bin/sh
# The program as a user starts it from a folder without cal_data (a home
# folder, a desktop menu): it works in the per-user folder, filled from the
# factory copies shipped beside it, logs which folder it uses, and writes
# nothing into the folder it was started from nor into the source tree.
# Usage: started_elsewhere.sh PROGRAM SOURCE_DIR
set -eu
program="$1"
source_dir="$2"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*"
  cat "$tmp/out" 2>/dev/null || true
  exit 1
}
listing() { ls -la --time-style=full-iso "$source_dir/cal_data"; }

mkdir "$tmp/start" "$tmp/home"
before="$(listing)"
cd "$tmp/start"
env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$tmp/home" QT_QPA_PLATFORM=offscreen \
  "$program" --simulate --instant --quit-after 6000 >"$tmp/out" 2>&1 || fail "the program failed"

[ -z "$(ls -A "$tmp/start")" ] || fail "files written into the start folder: $(ls -A "$tmp/start")"
per_user="$tmp/home/.local/share/Ostra"
[ -f "$per_user/cal_data/config.def" ] || fail "no factory copies in $per_user/cal_data"
[ -f "$per_user/cal_data/config.dat" ] || fail "no settings saved in $per_user/cal_data"
log="$tmp/home/Documents/Ostra data/ostra_log.txt"
grep -q "Application folder set to $per_user" "$log" || fail "the log does not name the folder"
grep -q " is open" "$log" || fail "the instrument was not opened"
[ "$(listing)" = "$before" ] || fail "the source tree's cal_data changed"
echo "PASS: worked in $per_user"
