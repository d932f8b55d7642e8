#!/usr/bin/env bash
# Plants what anyone could make in the shared temporary folder before a
# run: the private folder's fixed name (of the package planted.exe), with a
# program of the package's name in it and a symbolic link that leads out
# of it, and the names ".1" to ".999" after it (a thousand names in all).
# From the Unix side: this Wine makes no symbolic links of its own.
# "clean" removes it all again, and any folder a run made beside them.
set -euo pipefail
prefix=$1 victim=$2
planted="$prefix/drive_c/users/$(id -un)/Temp/~planted.exe"
rm -rf "$planted" "$planted".* "$victim"
[ "${3:-}" = clean ] && exit 0
mkdir -p "$planted"
printf 'the planted program' >"$planted/setup.exe"
printf 'a file the link leads to' >"$victim"
ln -s "$victim" "$planted/readme.txt"
for number in $(seq 999); do mkdir "$planted.$number"; done
