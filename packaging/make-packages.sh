#!/usr/bin/env bash
# Makes the release packages of a Hostwell build from its installed files:
# hostwell-<version>-win64.zip, hostwell-<version>-win64.msi, SHA256SUMS and
# the manifests of the Windows package managers (winget/, scoop/).
#   make-packages.sh <version> <build folder> <output folder>
# With HOSTWELL_SIGN_PFX (a PKCS#12 file) and HOSTWELL_SIGN_PASSWORD set, the
# binaries and the MSI are signed (Authenticode, SHA-256), time-stamped by
# the RFC 3161 server of HOSTWELL_SIGN_TIMESTAMP_URL when that is set.
# HOSTWELL_RELEASE_URL is the address the packages will be downloaded from.
set -euo pipefail
version="$1"
build="$2"
mkdir -p "$3"
out="$(cd "$3" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
name="hostwell-$version-win64"
placeholder="https://example.invalid/SET-HOSTWELL_RELEASE_URL/$version"
url="${HOSTWELL_RELEASE_URL:-$placeholder}"
url="${url%/}"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage" --strip >/dev/null

signing=""
if [ -n "${HOSTWELL_SIGN_PFX:-}" ] && [ -n "${HOSTWELL_SIGN_PASSWORD:-}" ]; then
    signing=yes
    # The password goes to osslsigncode in a file, not on its command line.
    (umask 077 && printf '%s' "$HOSTWELL_SIGN_PASSWORD" >"$stage.pass")
    trap 'rm -rf "$stage" "$stage.pass"' EXIT
else
    echo "HOSTWELL_SIGN_PFX and HOSTWELL_SIGN_PASSWORD are not set: the release is not signed"
fi
sign() {
    [ -n "$signing" ] || return 0
    local timestamp=()
    [ -n "${HOSTWELL_SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$HOSTWELL_SIGN_TIMESTAMP_URL")
    osslsigncode sign -pkcs12 "$HOSTWELL_SIGN_PFX" -readpass "$stage.pass" -h sha256 -n Hostwell \
        "${timestamp[@]}" -in "$1" -out "$1.signed" >/dev/null
    mv "$1.signed" "$1"
}

rm -rf "$out/$name.zip" "$out/$name.msi" "$out/SHA256SUMS" "$out/winget" "$out/scoop"
cd "$stage"
sign Hostwell.exe
sign Corvane.Breakline64.dll
zip -q -X -r "$out/$name.zip" *
# A new product code for every build, named in the winget manifest. wixl
# looks for the files the source names in the current folder.
product_code="{$(tr a-f A-F </proc/sys/kernel/random/uuid)}"
wixl -a x64 -D Version="$version" -D ProductCode="$product_code" -o "$out/$name.msi" "$here/Hostwell.wxs"
sign "$out/$name.msi"
cd "$out"
sha256sum "$name.zip" "$name.msi" >SHA256SUMS
[ -n "$signing" ] && echo "Signed Hostwell.exe, Corvane.Breakline64.dll and $name.msi"
[ "$url" = "$placeholder" ] && echo "HOSTWELL_RELEASE_URL is not set: the manifests name the placeholder $url"

hash_of() { sha256sum "$1" | cut -d' ' -f1; }
bash "$here/write-manifests.sh" "$version" "$url" "$name" "$product_code" "$(hash_of "$name.msi")" \
    "$(hash_of "$name.zip")" "$out"
