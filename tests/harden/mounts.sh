#!/usr/bin/env bash
# Mounts for the disk-fault tests (CI runs as root, so file permissions
# prove nothing): a 1 MiB tmpfs that fills up, and a read-only tmpfs that
# holds an empty folder and a folder with an old file. Fails loudly when
# mounting is not permitted.
#   mounts.sh setup|cleanup <folder>
set -uo pipefail
folder="$2"
case "$1" in
  setup)
    "$0" cleanup "$folder"
    mkdir -p "$folder/small" "$folder/readonly" || exit 1
    if ! mount -t tmpfs -o size=1m tmpfs "$folder/small"; then
      echo "FAIL: cannot mount a tmpfs at $folder/small: the disk-fault tests need mounts" >&2
      exit 1
    fi
    mount -t tmpfs -o size=1m tmpfs "$folder/readonly" && mkdir "$folder/readonly/existing" &&
      mkdir "$folder/readonly/kept" && echo old >"$folder/readonly/kept/old.txt" &&
      mount -o remount,ro "$folder/readonly" || { echo "FAIL: cannot make the read-only mount" >&2; exit 1; }
    ;;
  cleanup)
    for mount in "$folder/small" "$folder/readonly"; do
      if mountpoint -q "$mount"; then umount "$mount" || umount -l "$mount"; fi
    done
    ;;
esac
