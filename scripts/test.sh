#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
BUILD_DIR=$build "$root/scripts/build.sh" "$@"
cd "$build"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j"${JOBS:-2}" --timeout 300
