#!/usr/bin/env bash
# Makes the release packages of a Hostwell build from its installed files:
# hostwell-<version>-win64.zip, hostwell-<version>-win64.msi and SHA256SUMS.
#   make-packages.sh <version> <build folder> <output folder>
set -euo pipefail
version="$1"
build="$2"
mkdir -p "$3"
out="$(cd "$3" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
name="hostwell-$version-win64"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage" --strip >/dev/null

rm -f "$out/$name.zip" "$out/$name.msi" "$out/SHA256SUMS"
cd "$stage"
zip -q -X "$out/$name.zip" *
# wixl looks for the files the source names in the current folder.
wixl -a x64 -D Version="$version" -o "$out/$name.msi" "$here/Hostwell.wxs"
cd "$out"
sha256sum "$name.zip" "$name.msi" >SHA256SUMS
