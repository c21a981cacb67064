#!/usr/bin/env bash
# The MSI of a release under Wine's msiexec: it replaces an older release in
# place, installs the zip's files under Program Files\Hostwell, the installed
# Hostwell.exe runs, and uninstalling leaves neither files nor a registration.
set -eu
dist="$1"
version="$2"
build="$3"
root="$(cd "$(dirname "$0")/../.." && pwd)"
dir="$(mktemp -d)"
installed="$WINEPREFIX/drive_c/Program Files/Hostwell"
new="$(winepath -w "$dist/hostwell-$version-win64.msi" 2>/dev/null)"
old="$(winepath -w "$dir/hostwell-1.0.0-win64.msi" 2>/dev/null)"
msiexec() { wine msiexec "$@" /qn </dev/null >/dev/null 2>&1; }
cleanup() {
    msiexec /x "$new" || true
    msiexec /x "$old" || true
    rm -rf "$dir"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; exit 1; }
# The DisplayVersion of every registered Hostwell.
registered() {
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s </dev/null 2>/dev/null |
        tr -d '\r' | awk '/^HKEY/ { shown = 0 }
                          $1 == "DisplayName" { shown = ($3 == "Hostwell") }
                          $1 == "DisplayVersion" && shown { print $3 }'
}

# The same files under an older version, as an administrator would have them.
bash "$root/packaging/make-packages.sh" 1.0.0 "$build" "$dir" >/dev/null
msiexec /i "$old" || fail "msiexec /i of version 1.0.0 failed"
[ "$(registered)" = 1.0.0 ] || fail "after installing 1.0.0 registered: $(registered)"

msiexec /i "$new" || fail "msiexec /i of version $version failed"
[ "$(registered)" = "$version" ] || fail "after the upgrade registered: $(registered)"
unzip -q "$dist/hostwell-$version-win64.zip" -d "$dir/zip"
diff -r "$dir/zip" "$installed" || fail "the installed files differ from the zip's"
wine "$installed/Hostwell.exe" help </dev/null >"$dir/help.txt" 2>&1 || fail "Hostwell.exe help failed"
[ "$(head -n 1 "$dir/help.txt" | tr -d '\r')" = "Corvane Hostwell v$version" ] ||
    fail "Hostwell.exe help printed: $(cat "$dir/help.txt")"

msiexec /x "$new" || fail "msiexec /x failed"
[ ! -e "$installed" ] || fail "left behind: $(ls -A "$installed")"
[ -z "$(registered)" ] || fail "still registered: $(registered)"
echo "PASSED"
