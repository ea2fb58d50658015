#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the program need,
# including the cross compilers for the 64-bit and 32-bit Windows builds,
# wine for both widths (wine32 from the i386 architecture) to test them and
# NSIS for its installer, and fetches the real-driver suite's guest kernel
# once (tests/drivers/fetch-guest.sh).
# Idempotent: does nothing and prints nothing when all are present.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev
  qt6-base-dev qt6-qpa-plugins
  xvfb xauth xdotool python3 tmux
  fonts-dejavu-core
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine wine64 wine32:i386 fonts-wine
  dpkg-dev desktop-file-utils lintian appstream
  nsis
  qemu-system-x86 busybox-static cpio
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
fetch_guest=$(dirname "$0")/../tests/drivers/fetch-guest.sh
[ ${#missing[@]} -eq 0 ] && exec "$fetch_guest"

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
else
  sudo=(sudo)
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# wine32 comes from Debian's i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
exec "$fetch_guest"
