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
cd "$build"
cpack -G DEB >/dev/null
ls -t "$build"/varnomiksal_*.deb | head -n 1
