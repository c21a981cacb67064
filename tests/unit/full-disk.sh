#!/usr/bin/env bash
# Runs the full-disk tests of the unit test program on a 256 KiB tmpfs that they
# fill themselves. Mounting needs root; without it they run unmounted and skip.
set -eu
exe="$1"
dir="$(mktemp -d)"
if mount -t tmpfs -o size=256k tmpfs "$dir" 2>/dev/null; then
    trap 'umount -l "$dir"; rmdir "$dir"' EXIT
    HOSTWELL_FULL_DISK="$(winepath -w "$dir" 2>/dev/null)"
    export HOSTWELL_FULL_DISK
else
    rmdir "$dir"
fi
wine "$exe" --gtest_filter='RollFileWriterOnAFullDisk.*' </dev/null
