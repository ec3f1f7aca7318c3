#!/usr/bin/env bash
# Builds the release (preset win64) and writes build/release/Velmor-<version>-win64.zip with
# Velmor_Setup.exe, UnInstall.exe, SHA256SUMS, THIRD-PARTY-NOTICES.txt (the copyright files of the
# Debian packages whose code is linked into the programs) and Velmor.spdx.json (an SPDX 2.3 bill of
# materials: the programs with their digests, the toolchain packages with their versions); see
# scripts/release-lib.sh. The version is the one common/Version.h holds for both programs (their
# version blocks and window labels show it; scripts/check-release.sh reads the blocks back). With
# VELMOR_SIGN_PKCS12 and VELMOR_SIGN_PASSWORD set, both programs are signed first (see
# scripts/sign.sh); without them they ship unsigned.
#   bash scripts/release.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

source scripts/release-lib.sh
zip_name=$(velmor_release_zip_name)

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

zip_path=$out/$zip_name
velmor_release_pack "$stage" build/win64 "$zip_path"
echo "release: $zip_path"
cat "$stage/SHA256SUMS"
