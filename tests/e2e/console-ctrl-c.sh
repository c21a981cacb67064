#!/usr/bin/env bash
# Ctrl+C in the console: SIGINT to Hostwell's Wine process arrives as
# CTRL_C_EVENT. Hostwell must stop the program (with no stop command: exit
# code 42 for it and for the process it started) and end with 0.
set -eu
bin="$1"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
win() { winepath -w "$1" 2>/dev/null; }
cat >"$dir/app.xml" <<XML
<hostwell><name>CtrlC</name><description>d</description><execution>
<program>$(win "$bin/hwtestprog.exe")</program>
<arguments>grandchild $(win "$dir/grandchild.pid") text started ignore-ctrl sleep 600000</arguments>
</execution></hostwell>
XML
wine "$bin/Hostwell.exe" console "/settings=$(win "$dir/app.xml")" >"$dir/out.txt" 2>&1 </dev/null &
wrapper=$!
for _ in $(seq 1 300); do
    grep -q '^started' "$dir/out.txt" 2>/dev/null && break
    sleep 0.1
done
pid="$(pgrep -f "Hostwell.exe console /settings=$(win "$dir/app.xml" | sed 's/\\/\\\\/g')" | head -n 1)"
[ -n "$pid" ] || { echo "Hostwell's process not found"; cat "$dir/out.txt"; exit 1; }
kill -INT "$pid"
status=0
wait "$wrapper" || status=$?
tr -d '\r' <"$dir/out.txt" >"$dir/lines.txt"
cat "$dir/lines.txt"
fail() { echo "FAILED: $*"; exit 1; }
[ "$status" -eq 0 ] || fail "exit code $status"
grep -qx 'Console Control event recieved: 0' "$dir/lines.txt" || fail "no console control line"
grep -qx 'Service process will be killed, exit code would be 42' "$dir/lines.txt" || fail "no kill line"
grep -qx 'Process exited with code: 42' "$dir/lines.txt" || fail "exit code not 42"
grandchild="$(cat "$dir/grandchild.pid")"
state="$(wine "$bin/hwtestprog.exe" pid-state "$grandchild" </dev/null 2>/dev/null | tr -d '\r')"
[ "$state" = gone ] || fail "grandchild $grandchild is $state"
echo "PASSED"
