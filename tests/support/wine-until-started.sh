#!/usr/bin/env bash
# Runs a test program under Wine. On a loaded machine Wine now and then ends a
# new process while it starts, with exit code 0 (a parent's CreateProcess then
# fails with 1359); a test program that ended before it wrote a single line is
# run again, at most twice, and fails if it never writes one. One that wrote
# anything, passed or failed, is not run again.
set -u
output="$(mktemp)"
trap 'rm -f "$output"' EXIT
for attempt in 1 2 3; do
    wine "$@" 2>&1 | tee "$output"
    status=${PIPESTATUS[0]}
    [ -s "$output" ] && exit "$status"
    echo "Wine ended $1 before it wrote a line (exit code $status, attempt $attempt of 3)"
done
exit 1
