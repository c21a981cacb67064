#!/usr/bin/env bash
# Runs a test program under Wine. On a loaded machine Wine now and then ends a
# new process while it starts, with exit code 0 (a parent's CreateProcess then
# fails with 1359); a test program that ended before it wrote a single line is
# run again, at most twice, and fails if it never writes one. One that wrote
# anything, passed or failed, is not run again. Each such start is added to
# the file HOSTWELL_START_FAILURES names, when it names one, so that a run of
# the whole suite can list them.
set -u
output="$(mktemp)"
trap 'rm -f "$output"' EXIT
for attempt in 1 2 3; do
    wine "$@" 2>&1 | tee "$output"
    status=${PIPESTATUS[0]}
    if [ -s "$output" ]; then
        # GoogleTest's last lines are missing when the process was ended
        # during a test: say so rather than leave the output to stop short.
        grep -q '^\[==========\] Running ' "$output" && ! grep -q '^\[==========\] .* ran\.' "$output" &&
            echo "The test program ended with exit code $status before GoogleTest's summary: it was ended" \
                 "during the test (a crash, a stack overflow, which Wine ends with 0, or a kill)"
        exit "$status"
    fi
    echo "Wine ended $1 before it wrote a line (exit code $status, attempt $attempt of 3)"
    [ -n "${HOSTWELL_START_FAILURES:-}" ] && echo "$* (exit code $status)" >>"$HOSTWELL_START_FAILURES"
done
exit 1
