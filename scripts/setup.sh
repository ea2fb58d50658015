#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the program need,
# including the cross compiler for the Windows build, wine to test it and
# NSIS for its installer.
# Idempotent: does nothing and prints nothing when all are present.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev
  qt6-base-dev qt6-qpa-plugins
  xvfb xauth xdotool python3
  fonts-dejavu-core
  g++-mingw-w64-x86-64-posix
  wine wine64 fonts-wine
  dpkg-dev desktop-file-utils lintian
  nsis
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
else
  sudo=(sudo)
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
