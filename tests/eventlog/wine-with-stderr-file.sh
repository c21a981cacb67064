#!/usr/bin/env bash
# Runs a test program under Wine with its Unix standard error in a temporary
# file, whose Windows path the program finds in HOSTWELL_TEST_STDERR. Wine
# writes its debug channels, and so the Event Log records, to that stream,
# and every program the test starts inherits it.
set -u
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
HOSTWELL_TEST_STDERR="$(winepath -w "$log" 2>/dev/null)"
export HOSTWELL_TEST_STDERR
wine "$@" 2>"$log"
status=$?
# A failed run shows what went to the stream.
[ "$status" -eq 0 ] || cat "$log" >&2
exit "$status"
