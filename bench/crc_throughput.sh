#!/usr/bin/env bash
# Throughput of the package CRC pass on a 200 MB package.
#   bash bench/crc_throughput.sh [megabytes]
# Builds, writes image + header + random data into /tmp, checks the CRC the
# program computes against Python's zlib, and prints MB/s (1 MB = 10^6
# bytes). The first run reads from the page cache like every later one: the
# file has just been written. Times the 64-bit build natively: a time under
# the i386 emulator would measure the emulator.
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
megabytes="${1:-200}"
configure_and_build 64
use_tree 64
ensure_prefix

package="$(mktemp /tmp/vuv-crc-XXXXXX.exe)"
trap 'rm -f "$package"' EXIT
# Image: the module itself; header: 996 bytes; then the covered range.
image="$build64/vuvuzu64.exe"
header_offset="$(stat -c %s "$image")"
{
  cat "$image"
  head -c 996 /dev/zero
  head -c "$((megabytes * 1000000))" /dev/urandom
} >"$package"
expected="$(python3 -c "
import sys, zlib
with open(sys.argv[1], 'rb') as f:
    f.seek(int(sys.argv[2]) + 996)
    crc = 0
    while True:
        block = f.read(1 << 20)
        if not block: break
        crc = zlib.crc32(block, crc)
print('%08X' % crc)" "$package" "$header_offset")"

start_session >/dev/null 2>&1
echo "package: $megabytes MB behind a $header_offset-byte image; zlib crc $expected"
for run in 1 2 3; do
  out="$(wine "$build64/bench/crc_throughput.exe" "Z:${package//\//\\}" "$header_offset" 2>/dev/null | tr -d '\r')"
  echo "run $run:"
  echo "$out"
  [ "$(echo "$out" | grep -c "CheckPackageCrc.* crc $expected")" = 2 ] || { echo "CRC differs from zlib" >&2; exit 1; }
done
