#!/usr/bin/env bash
# Plants what anyone could make in the shared temporary folder before a
# run: the private folder's fixed name (of the package planted.exe), with a
# program of the package's name in it and a symbolic link that leads out
# of it. From the Unix side: this Wine makes no symbolic links of its own.
# "clean" removes it all again.
set -euo pipefail
prefix=$1 victim=$2
planted="$prefix/drive_c/users/$(id -un)/Temp/~planted.exe"
rm -rf "$planted" "$planted.1" "$victim"
[ "${3:-}" = clean ] && exit 0
mkdir -p "$planted"
printf 'the planted program' >"$planted/setup.exe"
printf 'a file the link leads to' >"$victim"
ln -s "$victim" "$planted/readme.txt"
