#!/usr/bin/env bash
# Installs the Debian packages the project needs, and nothing more.
#
#   scripts/setup.sh         everything the build and every test need: the
#                            Linux build with its tests, the cross compilers
#                            for the 64-bit and 32-bit Windows builds, wine for
#                            both widths (wine32 from the i386 architecture),
#                            NSIS for the installer, PostgreSQL and the ODBC
#                            drivers of PostgreSQL and SQLite for the records'
#                            database tests, QEMU, and the real-driver
#                            suite's guest kernel, fetched once
#                            (tests/drivers/fetch-guest.sh), Emscripten and
#                            Chromium for the page, and the page's test
#                            packages from npm (npm ci in tests/web)
#   scripts/setup.sh --run   only what building and running the Linux
#                            programs and the simulator needs
#   scripts/setup.sh --web   and what building and serving the page needs
#                            (Emscripten, node)
#
# Idempotent: does nothing and prints nothing when all are present. What the
# distribution cannot provide is named, and nothing is installed.
set -euo pipefail

run_packages=(
  cmake g++ make pkg-config unixodbc-dev
  qt6-base-dev qt6-qpa-plugins
  xvfb xauth fonts-dejavu-core
)
test_packages=(
  libgtest-dev
  xdotool python3 tmux
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine wine64 wine32:i386 fonts-wine
  dpkg-dev desktop-file-utils lintian appstream
  nsis
  qemu-system-x86 busybox-static cpio
  emscripten chromium
  postgresql odbc-postgresql libsqliteodbc
)
# The page's tests run on node with puppeteer-core from npm (tests/web), and
# drive the system's Chromium: npm never downloads a browser for them.
command -v node >/dev/null || test_packages+=(nodejs)
command -v npm >/dev/null || test_packages+=(npm)

packages=("${run_packages[@]}")
fetch_guest=$(dirname "$0")/../tests/drivers/fetch-guest.sh
web_tests=$(cd "$(dirname "$0")/../tests/web" && pwd)
if [ "${1:-}" = --run ]; then
  fetch_guest=true
elif [ "${1:-}" = --web ]; then
  fetch_guest=true
  packages+=(emscripten)
  command -v node >/dev/null || packages+=(nodejs)
else
  packages+=("${test_packages[@]}")
fi

# The last steps: the page's npm packages, as package-lock.json pins them
# (again only when it changed), and the real-driver suite's guest kernel.
finish() {
  if [ -z "${1:-}" ] && { [ ! -f "$web_tests/node_modules/.package-lock.json" ] ||
    [ "$web_tests/package-lock.json" -nt "$web_tests/node_modules/.package-lock.json" ]; }; then
    echo "setup: installing the page's test packages (npm ci in tests/web)"
    (cd "$web_tests" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
  fi
  exec "$fetch_guest"
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && finish "$@"

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
else
  sudo=(sudo)
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# wine32 comes from Debian's i386 architecture.
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
  ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update -qq
unavailable=()
for p in "${missing[@]}"; do
  apt-cache show "$p" >/dev/null 2>&1 || unavailable+=("$p")
done
if [ ${#unavailable[@]} -gt 0 ]; then
  echo "setup: this system's package archive does not have ${unavailable[*]};" \
    "the project needs them (Debian 12 has them all)" >&2
  exit 1
fi
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
finish "$@"
