#!/usr/bin/env bash
# Configures and builds the project into build/ (or $BUILD_DIR).
# Extra arguments go to the CMake configure step (e.g. -DVARNO_SANITIZE=ON).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"${JOBS:-2}"
