#!/bin/sh
# The udev rule picks out the instrument's FTDI bridge by the program's own
# test (vendor 0403 and "VECTOR" in the product string, any letter case) and
# no other FTDI adapter; it unbinds the serial driver from that one only.
# Usage: udev_rule.sh RULES_FILE
set -euf  # no file-name expansion: the patterns are globs
rules="$1"
fail() {
  echo "FAIL: $*"
  exit 1
}
# Every product pattern of the rule, applied with the shell's glob, which
# udev's matching shares.
patterns="$(grep -o 'ATTRS\?{product}=="[^"]*"' "$rules" | sed 's/.*=="\(.*\)"/\1/')"
[ "$(echo "$patterns" | wc -l)" -eq 2 ] || fail "expected two product tests: $patterns"
matches() {
  case "$2" in $1) return 0 ;; esac
  return 1
}
for p in $patterns; do
  for product in "OSTRA VECTOR NETWORK ANALYSER" "Ostra Vector Network Analyser" "vector"; do
    matches "$p" "$product" || fail "'$p' misses the instrument '$product'"
  done
  for product in "FT232R USB UART" "USB <-> Serial" "VECT0R" ""; do
    if matches "$p" "$product"; then fail "'$p' takes the adapter '$product'"; fi
  done
done
# Both rules are tied to the vendor, and the unbind to the serial driver.
[ "$(grep -c 'ATTRS\?{idVendor}=="0403"' "$rules")" -eq 2 ] || fail "a rule without the vendor"
grep -q 'TAG+="uaccess", MODE="0660", GROUP="plugdev"' "$rules" || fail "no access for the user"
grep 'unbind' "$rules" | grep -q 'drivers/ftdi_sio/unbind' || fail "unbinds from another driver"
grep -B2 'unbind' "$rules" | grep -q 'DRIVER=="ftdi_sio"' || fail "unbinds without ftdi_sio bound"
echo "PASS: the rule takes the instrument and leaves other FTDI adapters"
