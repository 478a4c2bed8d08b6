#!/usr/bin/env bash
# Runs the fuzz targets of a fuzz build, each for SECONDS: first its saved
# regression inputs (fuzz/regressions/<name>/), then libFuzzer from its seed
# folders. New inputs collect in BUILD_DIR/corpus/<name> (kept between runs),
# crashes in BUILD_DIR/findings/<name>/; the run fails when any target fails.
# Usage: fuzz/run.sh BUILD_DIR SECONDS [NAME...]
set -uo pipefail
build="$1"
seconds="$2"
shift 2
top="$(cd "$(dirname "$0")/.." && pwd)"
failed=()
ran=0
for bin in "$build"/fuzz/fuzz_*; do
  case "$bin" in *.seeds | *.max_len) continue ;; esac
  [ -f "$bin" ] && [ -x "$bin" ] || continue
  name="${bin##*/fuzz_}"
  if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$name"; then continue; fi
  ran=$((ran + 1))
  corpus="$build/corpus/$name"
  findings="$build/findings/$name"
  log="$build/fuzz_$name.log"
  mkdir -p "$corpus" "$findings"
  seeds=()
  [ -f "$bin.seeds" ] && mapfile -t seeds <"$bin.seeds"
  regressions="$top/fuzz/regressions/$name"
  if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
    if ! "$bin" "$regressions"/* >"$log" 2>&1; then
      echo "== $name: a saved regression input fails again (see $log)"
      tail -n 30 "$log"
      failed+=("$name")
      continue
    fi
  fi
  "$bin" -max_total_time="$seconds" -max_len="$(cat "$bin.max_len" 2>/dev/null || echo 4096)" \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$corpus" "${seeds[@]}" >"$log" 2>&1
  status=$?
  runs="$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$')"
  cov="$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)"
  if [ "$status" -ne 0 ]; then
    echo "== $name: FAILED after ${runs:-?} runs; the input is in $findings (log: $log)"
    grep -A 30 -m 1 'ERROR:\|runtime error\|check failed\|deadly signal\|timeout' "$log" | head -n 40
    failed+=("$name")
  else
    echo "== $name: ${runs:-?} runs in ${seconds}s, ${cov:-cov: ?}, corpus $(ls "$corpus" | wc -l) inputs"
  fi
done
if [ "$ran" -eq 0 ]; then
  echo "No fuzz targets in $build/fuzz: build them first (cmake --preset fuzz && cmake --build --preset fuzz)."
  exit 1
fi
if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzz targets that failed: ${failed[*]}"
  echo "Keep each failing input in fuzz/regressions/<name>/ and add a test of the mend."
  exit 1
fi
