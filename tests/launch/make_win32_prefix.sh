#!/usr/bin/env bash
# Creates the 32-bit Wine prefix of this build folder once (WINEARCH=win32);
# later runs find it ready and return at once.
set -euo pipefail
source "$(dirname "$0")/../../scripts/env.sh"
export WINEPREFIX="$1"
export WINEARCH=win32
ensure_prefix
