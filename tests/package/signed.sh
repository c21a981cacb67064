#!/usr/bin/env bash
# A release signed with a throwaway self-signed certificate: the binaries and
# the MSI verify, the signed Hostwell.exe runs and carries its application
# manifest, and the package managers' manifests name the files, their hashes,
# the version and the MSI's product code.
set -eu
version="$1"
build="$2"
root="$(cd "$(dirname "$0")/../.." && pwd)"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
name="hostwell-$version-win64"
url="https://downloads.example.com/hostwell/$version"

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/key.pem" -out "$dir/cert.pem" -days 2 \
    -subj "/CN=Hostwell package test" 2>/dev/null || fail "openssl could not make a certificate"
openssl pkcs12 -export -inkey "$dir/key.pem" -in "$dir/cert.pem" -out "$dir/sign.pfx" -passout pass:'te st$1' ||
    fail "openssl could not write the PKCS#12 file"
HOSTWELL_SIGN_PFX="$dir/sign.pfx" HOSTWELL_SIGN_PASSWORD='te st$1' HOSTWELL_RELEASE_URL="$url/" \
    bash "$root/packaging/make-packages.sh" "$version" "$build" "$dir/dist" >"$dir/made.txt" ||
    fail "make-packages.sh failed: $(cat "$dir/made.txt")"
grep -q "^Signed Hostwell.exe, Corvane.Breakline64.dll and $name.msi$" "$dir/made.txt" ||
    fail "make-packages.sh said: $(cat "$dir/made.txt")"
dist="$dir/dist"
(cd "$dist" && sha256sum --check --strict --quiet SHA256SUMS) || fail "SHA256SUMS is not of the signed files"

unzip -q "$dist/$name.zip" -d "$dir/zip"
for file in "$dir/zip/Hostwell.exe" "$dir/zip/Corvane.Breakline64.dll" "$dist/$name.msi"; do
    osslsigncode verify -CAfile "$dir/cert.pem" -in "$file" >"$dir/verify.txt" 2>&1 ||
        fail "$(basename "$file") does not verify: $(cat "$dir/verify.txt")"
done
wine "$dir/zip/Hostwell.exe" help </dev/null >"$dir/help.txt" 2>&1 || fail "the signed Hostwell.exe help failed"
[ "$(head -n 1 "$dir/help.txt" | tr -d '\r')" = "Corvane Hostwell v$version" ] ||
    fail "the signed Hostwell.exe help printed: $(cat "$dir/help.txt")"

# The application manifest, read back from the resources.
wrestool -x --raw -t 24 -n 1 "$dir/zip/Hostwell.exe" >"$dir/app.manifest" || fail "Hostwell.exe has no manifest"
xpath() { xmllint --xpath "$1" "$dir/app.manifest" 2>/dev/null; }
supported="$(xpath "//*[local-name()='supportedOS']/@Id" | tr ' ' '\n' | grep -c Id=)" ||
    fail "the manifest names no supported Windows: $(cat "$dir/app.manifest")"
[ "$supported" = 4 ] || fail "the manifest names $supported Windows versions, not 7, 8, 8.1 and 10/11"
xpath "//*[local-name()='supportedOS']/@Id" | grep -q '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' ||
    fail "the manifest does not name Windows 7"
xpath "//*[local-name()='supportedOS']/@Id" | grep -q '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' ||
    fail "the manifest does not name Windows 10 and 11"
[ "$(xpath "string(//*[local-name()='requestedExecutionLevel']/@level)")" = asInvoker ] ||
    fail "the manifest does not ask to run asInvoker"

# winget: every manifest names the version; the installer the MSI, its hash and its product code.
winget="$dist/winget/Corvane.Hostwell"
for manifest in "$winget.yaml" "$winget.installer.yaml" "$winget.locale.en-US.yaml"; do
    grep -qx "PackageVersion: $version" "$manifest" || fail "$(basename "$manifest") lacks the version"
done
msi_hash="$(sha256sum "$dist/$name.msi" | cut -d' ' -f1)"
product_code="$(msiinfo export "$dist/$name.msi" Property | tr -d '\r' | awk '$1 == "ProductCode" { print $2 }')"
[ -n "$product_code" ] || fail "the MSI has no ProductCode"
grep -qx "    InstallerUrl: $url/$name.msi" "$winget.installer.yaml" || fail "the installer manifest's address"
grep -qx "    InstallerSha256: ${msi_hash^^}" "$winget.installer.yaml" || fail "the installer manifest's hash"
grep -qx "    ProductCode: '$product_code'" "$winget.installer.yaml" ||
    fail "the installer manifest does not name $product_code: $(cat "$winget.installer.yaml")"
grep -qx "InstallerType: msi" "$winget.installer.yaml" || fail "the installer type is not msi"

# Scoop, read as JSON.
zip_hash="$(sha256sum "$dist/$name.zip" | cut -d' ' -f1)"
python3 - "$dist/scoop/hostwell.json" "$version" "$url/$name.zip" "$zip_hash" <<'CHECK' || fail "the Scoop manifest"
import json, sys
manifest = json.load(open(sys.argv[1], encoding="utf-8"))
package = manifest["architecture"]["64bit"]
expected = (sys.argv[2], sys.argv[3], sys.argv[4], "Hostwell.exe")
found = (manifest["version"], package["url"], package["hash"], manifest["bin"])
if found != expected:
    sys.exit("found %s, not %s" % (found, expected))
CHECK
echo "PASSED"
