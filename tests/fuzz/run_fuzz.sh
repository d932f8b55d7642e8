#!/usr/bin/env bash
# The long run of the cabinet fuzz harness, under a supervisor that
# restarts it after a crash or a hang with the case after the one it was
# running (from the harness's state file).
#   bash tests/fuzz/run_fuzz.sh <case count> [work folder]
# Faults end up in <work folder>/faults.txt, each with its case file.
set -euo pipefail
source "$(dirname "$0")/../../scripts/env.sh"
total="${1:-100000}"
work="${2:-$build/fuzz-long}"
mkdir -p "$work"
# A prefix of its own: Wine's desktop belongs to the display of the first
# program in a prefix, and the GUI tests of the test command use another.
export WINEPREFIX="$build/wineprefix-fuzz"
ensure_prefix
start_session
harness="$build/tests/fuzz/cabinet_fuzz.exe"
seeds=("Z:$build/tests/extract/fixtures/mszip.cab")
for seed in lzx21-fast lzx21-default lzx21-best lzx15; do seeds+=("Z:$build/tests/fuzz/seeds/$seed.exe"); done
next=0
if [ -f "$work/state.txt" ]; then next=$(($(cat "$work/state.txt") + 1)); fi
first=$next
started=$(date +%s)
batch=5000
while [ "$next" -lt "$total" ]; do
  count=$((total - next < batch ? total - next : batch))
  status=0
  "$build/wine-run" "$harness" "Z:$work" "$next" "$count" "${seeds[@]}" &
  runner=$!
  # A harness stuck beyond its own time bound (a case may leave it unable
  # to record anything) is ended from outside: its state file stops moving.
  last="$(cat "$work/state.txt" 2>/dev/null || true)"
  still=0
  while kill -0 "$runner" 2>/dev/null; do
    sleep 5
    now="$(cat "$work/state.txt" 2>/dev/null || true)"
    if [ "$now" = "$last" ]; then still=$((still + 5)); else still=0; last="$now"; fi
    if [ "$still" -ge 90 ]; then
      grep -q " $now\b" "$work/faults.txt" 2>/dev/null || echo "hang $now unrecorded" >>"$work/faults.txt"
      cp "$work/case/fuzz.cab" "$work/case-$now-stuck.cab" 2>/dev/null || true
      wineserver -k 2>/dev/null || true
      still=0
    fi
  done
  wait "$runner" || status=$?
  case "$status" in
    0 | 1) next=$((next + count)) ;;  # 1: faults recorded, the batch ran to its end
    5)
      echo "batch $next+$count: too few cases extracted" >>"$work/faults.txt"
      next=$((next + count))
      ;;
    *)
      index=$(cat "$work/state.txt")
      # A fault the harness could not record itself (Wine may end the
      # process before its exception filter runs).
      grep -q " $index " "$work/faults.txt" 2>/dev/null || echo "crash $index unrecorded status $status" >> "$work/faults.txt"
      next=$((index + 1))
      ;;
  esac
done
elapsed=$(($(date +%s) - started))
ran=$((total - first))
echo "$ran cases in ${elapsed}s ($(awk "BEGIN{printf \"%.1f\", $ran/($elapsed>0?$elapsed:1)}") per second)"
if [ -s "$work/faults.txt" ]; then echo "faults:"; cat "$work/faults.txt"; exit 1; fi
echo "no faults"
