#!/usr/bin/env bash
# Writes the manifests of the Windows package managers for a release:
# winget's version, installer and default-locale manifests under winget/ and
# Scoop's scoop/hostwell.json.
#   write-manifests.sh <version> <download address> <package name> <MSI product code>
#                      <MSI SHA-256> <zip SHA-256> <output folder>
set -euo pipefail
version="$1"
url="$2"
name="$3"
product_code="$4"
msi_hash="$5"
zip_hash="$6"
out="$7"
id="Corvane.Hostwell"
schema="1.9.0"
description="Runs a program as a Windows service: started, stopped, logged and restarted"

mkdir -p "$out/winget" "$out/scoop"
header() { echo "# yaml-language-server: \$schema=https://aka.ms/winget-manifest.$1.$schema.schema.json"; }

{
    header version
    echo "PackageIdentifier: $id"
    echo "PackageVersion: $version"
    echo "DefaultLocale: en-US"
    echo "ManifestType: version"
    echo "ManifestVersion: $schema"
} >"$out/winget/$id.yaml"

{
    header installer
    echo "PackageIdentifier: $id"
    echo "PackageVersion: $version"
    echo "InstallerType: msi"
    echo "Scope: machine"
    echo "UpgradeBehavior: install"
    echo "Installers:"
    echo "  - Architecture: x64"
    echo "    InstallerUrl: $url/$name.msi"
    echo "    InstallerSha256: ${msi_hash^^}"
    echo "    ProductCode: '$product_code'"
    echo "ManifestType: installer"
    echo "ManifestVersion: $schema"
} >"$out/winget/$id.installer.yaml"

{
    header defaultLocale
    echo "PackageIdentifier: $id"
    echo "PackageVersion: $version"
    echo "PackageLocale: en-US"
    echo "Publisher: Corvane"
    echo "PackageName: Hostwell"
    echo "License: MIT"
    echo "ShortDescription: $description"
    echo "Commands:"
    echo "  - Hostwell"
    echo "ManifestType: defaultLocale"
    echo "ManifestVersion: $schema"
} >"$out/winget/$id.locale.en-US.yaml"

cat >"$out/scoop/hostwell.json" <<SCOOP
{
    "version": "$version",
    "description": "$description",
    "homepage": "$url",
    "license": "MIT",
    "architecture": {
        "64bit": {
            "url": "$url/$name.zip",
            "hash": "$zip_hash"
        }
    },
    "bin": "Hostwell.exe"
}
SCOOP
