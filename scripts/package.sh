#!/usr/bin/env bash
# Builds the Debian package of the programs into build/ (or $BUILD_DIR):
# varnomiksal_<version>_<arch>.deb, then prints its path. Install it with
#   sudo apt-get install ./build/varnomiksal_<version>_<arch>.deb
# Extra arguments go to the CMake configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target varnomiksal varnomiksal-cli package_files
# The package's time stamps are the last commit's, so that a rebuild of one
# commit makes the same package byte for byte.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH
cd "$build"
cpack -G DEB >/dev/null
ls -t "$build"/varnomiksal_*.deb | head -n 1
