#!/usr/bin/env bash
# The zip of a release holds exactly the release files, SHA256SUMS matches both
# packages, and the binaries are stripped and linked for address space
# randomisation (64-bit) and no-execute data; Hostwell.exe keeps its DLL
# search to System32.
set -eu
dist="$1"
version="$2"
objdump="$3"
here="$(cd "$(dirname "$0")" && pwd)"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
name="hostwell-$version-win64"

[ "$(cut -d' ' -f3 "$dist/SHA256SUMS")" = "$name.zip
$name.msi" ] || fail "SHA256SUMS names: $(cat "$dist/SHA256SUMS")"
(cd "$dist" && sha256sum --check --strict SHA256SUMS) || fail "checksums"
# Made without a release address, the manifests say so.
grep -q '"url": "https://example.invalid/SET-HOSTWELL_RELEASE_URL/' "$dist/scoop/hostwell.json" ||
    fail "the Scoop manifest of an unset HOSTWELL_RELEASE_URL: $(cat "$dist/scoop/hostwell.json")"

unzip -q "$dist/$name.zip" -d "$dir"
diff <(cd "$dir" && find . -type f | sed 's#^\./##' | LC_ALL=C sort) "$here/release-files.txt" ||
    fail "file list of $name.zip"
for binary in Hostwell.exe Corvane.Breakline64.dll; do
    ! "$objdump" -f "$dir/$binary" | grep -E 'HAS_SYMS|HAS_DEBUG' || fail "$binary is not stripped"
    characteristics="$("$objdump" -p "$dir/$binary")"
    for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
        grep -qw "$flag" <<<"$characteristics" || fail "$binary lacks $flag"
    done
done
# Its DLL search is limited to System32: a DLL planted beside it is never loaded.
"$objdump" -p "$dir/Hostwell.exe" | grep -qw SetDefaultDllDirectories ||
    fail "Hostwell.exe does not import SetDefaultDllDirectories"
unzip -l "$dir/Corvane.Breakline.jar" | grep -q 'com/corvane/launcher/util/WindowsConsoleHandler.class' ||
    fail "Corvane.Breakline.jar lacks WindowsConsoleHandler"
echo "PASSED"
