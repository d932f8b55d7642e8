#!/usr/bin/env bash
# check_imports.sh OBJDUMP EXE...: fails when an executable imports the
# theme library, statically or delay-loaded. Every executable must show its
# KERNEL32 import, which proves the table was read at all.
set -u
objdump="$1"
shift
status=0
for exe in "$@"; do
  dlls="$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')"
  if ! grep -qix 'kernel32.dll' <<<"$dlls"; then
    echo "$exe: no import table read"
    status=1
  fi
  if grep -qi 'uxtheme' <<<"$dlls"; then
    echo "$exe imports the theme library:"
    echo "$dlls"
    status=1
  fi
done
exit $status
