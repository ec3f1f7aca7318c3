#!/usr/bin/env bash
# Builds the release (preset win64) and writes build/release/Velmor-<version>-win64.zip with
# Velmor_Setup.exe, UnInstall.exe and SHA256SUMS. The version is the ProductVersion of the programs'
# version blocks. With VELMOR_SIGN_PKCS12 and VELMOR_SIGN_PASSWORD set, both programs are signed
# first (see scripts/sign.sh); without them they ship unsigned.
#   bash scripts/release.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# Fixed file times in the zip: the commit's time, so one commit gives one archive.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}
export SOURCE_DATE_EPOCH

version_of() {
  sed -n 's/^[[:space:]]*VALUE "ProductVersion", "\([^"]*\)".*/\1/p' "$1"
}
version=$(version_of setup/Velmor_Setup.rc)
if [[ -z $version || $version != "$(version_of uninstall/UnInstall.rc)" ]]; then
  echo "release: the two version blocks name different versions" >&2
  exit 1
fi

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target Velmor_Setup UnInstall

out=build/release
stage=$out/stage
rm -rf "$stage"
mkdir -p "$stage"
cp build/win64/setup/Velmor_Setup.exe build/win64/uninstall/UnInstall.exe "$stage/"

if [[ -n ${VELMOR_SIGN_PKCS12:-} ]]; then
  bash scripts/sign.sh "$stage/Velmor_Setup.exe" "$stage/UnInstall.exe"
else
  echo "release: no VELMOR_SIGN_PKCS12: the programs are not signed"
fi

(cd "$stage" && sha256sum Velmor_Setup.exe UnInstall.exe >SHA256SUMS)
touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
zip_path=$out/Velmor-$version-win64.zip
rm -f "$zip_path"
(cd "$stage" && zip -X -q "../$(basename "$zip_path")" Velmor_Setup.exe UnInstall.exe SHA256SUMS)
echo "release: $zip_path"
cat "$stage/SHA256SUMS"
