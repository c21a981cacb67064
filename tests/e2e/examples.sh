#!/usr/bin/env bash
# Every settings file in examples/ loads in Hostwell without a warning and is
# valid against hostwell.xsd, and every whole settings file the manual shows
# (a ```xml block) is the text of one of them.
#   examples.sh <folder of the built programs> <source folder> <build folder>
set -eu
bin="$1"
source="$2"
build="$3"
# Under the build folder, drive H:, whose folders only this account may change:
# elsewhere the write check would warn about the folders above.
dir="$(mktemp -d -p "$build" examples.XXXXXX)"
server="$WINEPREFIX/drive_c/Tools/server.exe"
trap 'rm -rf "$dir" "$(dirname "$server")"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

python3 - "$source" <<'PYTHON' || fail "the manual shows a settings file that is not in examples/"
import glob, re, sys
source = sys.argv[1]
examples = {open(name, encoding="utf-8").read() for name in glob.glob(source + "/examples/*.xml")}
shown = 0
for document in [source + "/README.md"] + glob.glob(source + "/docs/*.md"):
    text = open(document, encoding="utf-8").read()
    for block in re.findall(r"^```xml\n(.*?)^```$", text, re.S | re.M):
        shown += 1
        if block not in examples:
            sys.exit(f"{document}: {block.splitlines()[:3]}")
if shown == 0:
    sys.exit("no settings file shown")
PYTHON

# The programs the examples name: the bundled example server beside them, and
# the C:\Tools\server.exe of the manual's examples.
cp "$source"/examples/*.xml "$source"/examples/*.env "$source/examples/hostwell.xsd" "$bin/ExampleServer.exe" "$dir/"
mkdir -p "$(dirname "$server")"
cp "$bin/hwtestprog.exe" "$server"

count=0
for example in "$dir"/*.xml; do
    name="$(basename "$example")"
    xmllint --noout --schema "$dir/hostwell.xsd" "$example" || fail "$name is not valid against hostwell.xsd"
    status=0
    wine "$bin/Hostwell.exe" validate-settings /debug "/settings=$(winepath -w "$example" 2>/dev/null)" \
        </dev/null >"$dir/out.txt" 2>&1 || status=$?
    # validate-settings shows each level with a line of its own, "[?] WARN".
    warnings="$(tr -d '\r' <"$dir/out.txt" | grep -F '[Warn]' | grep -vF '[Warn] [?] WARN' || true)"
    [ "$status" -eq 0 ] || { cat "$dir/out.txt"; fail "validate-settings of $name ended with $status"; }
    [ -z "$warnings" ] || fail "validate-settings of $name warned: $warnings"
    count=$((count + 1))
done
echo "PASSED: $count examples"
