#!/usr/bin/env bash
# What an unattended run of a package costs beyond its command, for a
# silent installer: a program of 3 s that never looks at its message queue
# (the launcher tests' helper), in a %temp% package that deletes its files
# after the command, started with /Q. Wall time of the whole run, stubs
# alternated run by run.
#   bash bench/silent_command.sh [runs] [stub...]
# Without stubs the 64-bit tree's own; name an older vuvuzu64.exe beside it
# to compare. Times the 64-bit build natively: a time under the i386
# emulator would measure the emulator. Expects the tree built.
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
use_tree 64
ensure_prefix
runs="${1:-5}"
shift || true
stubs=("${@:-$build64/vuvuzu64.exe}")

work="$(mktemp -d /tmp/vuv-silent-XXXXXX)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/payload"
cp "$build64/tests/launch/launch_helper.exe" "$work/payload/setup.exe"
for i in "${!stubs[@]}"; do
  "$build64/host/vuvpack" build --stub "${stubs[$i]}" --dir "$work/payload" -o "$work/silent$i.exe" \
    --destination '%temp%' --no-dialog --overwrite-all --delete-after-run --command setup.exe >/dev/null
done

export VUV_HELPER_SILENT=1 VUV_HELPER_LIFE=3000
wineserver -p 2>/dev/null || true
wine "$work/silent0.exe" /Q  # the first start of a prefix pays for its services
for run in $(seq "$runs"); do
  for i in "${!stubs[@]}"; do
    start=$(date +%s.%N)
    code=0
    wine "$work/silent$i.exe" /Q || code=$?
    end=$(date +%s.%N)
    printf '%s\trun %d\t%.2f s\texit %d\n' "${stubs[$i]}" "$run" "$(echo "$end - $start" | bc)" "$code"
  done
done
