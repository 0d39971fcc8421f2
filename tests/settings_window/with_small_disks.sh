#!/usr/bin/env bash
# Runs a test inside a mount namespace of its own with two small file systems:
# PERIODIX_FULL_DISK (a 64 KiB tmpfs) and PERIODIX_READ_ONLY (a read-only
# tmpfs holding old.ptm). Nothing is mounted outside the namespace.
set -euo pipefail
if [ -z "${PERIODIX_IN_MOUNTNS:-}" ]; then
  export PERIODIX_IN_MOUNTNS=1
  if [ "$(id -u)" -eq 0 ]; then
    exec unshare --mount --propagation private -- "$0" "$@"
  else
    exec unshare --mount --map-root-user -- "$0" "$@"
  fi
fi
base=$(mktemp -d)
trap 'umount "$base/full" "$base/ro" 2>/dev/null || true; rm -rf "$base"' EXIT
mkdir -p "$base/full" "$base/ro"
mount -t tmpfs -o size=64k tmpfs "$base/full"
mount -t tmpfs -o size=64k tmpfs "$base/ro"
printf 'TimeLeft\r\n1st Half\r\n20:00\r\n2nd Half\r\n20:00\r\nOvertime\r\nAsk me\r\n' >"$base/ro/old.ptm"
mount -o remount,ro "$base/ro"
PERIODIX_FULL_DISK="$base/full" PERIODIX_READ_ONLY="$base/ro" "$@"
