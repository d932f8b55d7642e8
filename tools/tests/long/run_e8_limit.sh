#!/usr/bin/env bash
# The long check of the E8 limit: a folder just past 1 GiB packed with LZX
# and extracted by cabextract, 7zz and gcab, one at a time. Needs about
# 3 GiB of temporary disk where the tool's tests keep their files.
#   bash tools/tests/long/run_e8_limit.sh <the tools' build folder>
set -euo pipefail
build="${1:?the tools build folder, e.g. build-tools}"
cmake --build "$build" -j2 --target e8_limit_long_test
exec "$build/tests/e8_limit_long_test"
