#!/usr/bin/env bash
# Installs the Debian packages the build and the Wine test bed need, and only those that are missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang-format libgtest-dev libgmock-dev googletest
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine64 wine fonts-wine
  xvfb x11-apps x11-utils imagemagick
  fonts-ipafont-gothic fonts-ipafont-mincho fonts-liberation2 fonts-dejavu-core
  python3 python3-pefile openssl osslsigncode zip
)

missing=()
for p in "${packages[@]}"; do
  # dpkg -s reports removed-but-configured packages too; require the "installed" state.
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -q --no-install-recommends "${missing[@]}"
